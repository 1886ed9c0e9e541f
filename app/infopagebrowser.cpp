#include "app/infopagebrowser.h"

#include "app/pedalstatetext.h"
#include "catalogue/infopagetext.h"

#include <QFile>
#include <QTextDocument>

namespace tovel {

InfoPageBrowser::InfoPageBrowser(QWidget *parent)
    : QTextBrowser(parent)
{
}

void InfoPageBrowser::showPage(const QUrl &url)
{
    // setSource ignores the address already shown; the file may have changed meanwhile.
    if (source() == url)
        reload();
    else
        setSource(url, QTextDocument::HtmlResource);
}

QString InfoPageBrowser::withPedalControlCodes(const QString &page)
{
    QString codes = QStringLiteral("<H4>Pedal controls in the parameter window</H4><P>");
    for (const QString &meaning : pedalControlMeanings())
        codes += meaning.toHtmlEscaped() + QStringLiteral("<BR>");
    codes += QStringLiteral("</P>");
    const qsizetype end = page.lastIndexOf(QStringLiteral("</body>"), -1, Qt::CaseInsensitive);
    return end < 0 ? page + codes : QString(page).insert(end, codes);
}

QVariant InfoPageBrowser::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::HtmlResource && name.isLocalFile()) {
        QFile file(name.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return QString(); // an empty page

        return withPedalControlCodes(decodeInfoPage(file.readAll()));
    }
    return QTextBrowser::loadResource(type, name);
}

} // namespace tovel
