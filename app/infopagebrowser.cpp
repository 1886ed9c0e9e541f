#include "app/infopagebrowser.h"

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

QVariant InfoPageBrowser::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::HtmlResource && name.isLocalFile()) {
        QFile file(name.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return QString(); // an empty page

        return decodeInfoPage(file.readAll());
    }
    return QTextBrowser::loadResource(type, name);
}

} // namespace tovel
