#include "app/tformfxinfo.h"

#include "app/infopagebrowser.h"
#include "app/windowplacement.h"

namespace tovel {

namespace {
constexpr QSize kClientSize(335, 480);
constexpr QRect kBrowserGeometry(8, 8, 319, 464);
} // namespace

tformFXInfo::tformFXInfo(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , WebBrowser1(new InfoPageBrowser(this))
{
    setObjectName(QStringLiteral("formFXInfo"));
    setFixedSize(kClientSize);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(kBrowserGeometry);
}

QString tformFXInfo::pagePath(const QString &programFolder, const QString &effectName)
{
    return programFolder + QLatin1Char('/') + effectName + QStringLiteral("-info.html");
}

void tformFXInfo::openBeside(const QWidget &besideWindow, const QString &programFolder,
                             const QString &effectName, const QWidget *keepClear)
{
    if (isVisible())
        close();
    // Right of besideWindow where the screen has room, else where it covers neither window.
    const QRect beside = besideWindow.frameGeometry();
    QList<QRect> clear;
    if (keepClear && keepClear->isVisible())
        clear.append(keepClear->frameGeometry());
    const QRect spot = placeBeside(availableGeometryFor(keepClear ? *keepClear : besideWindow), beside, clear,
                                   size().grownBy(frameMarginsOf(*this, besideWindow)));
    move(spot.topLeft());
    show();
    setWindowTitle(effectName);
    // From the path, not by gluing "file://" to it: a folder with '#' or '?' stays a folder.
    WebBrowser1->showPage(QUrl::fromLocalFile(pagePath(programFolder, effectName)));
}

QUrl tformFXInfo::pageUrl() const
{
    return WebBrowser1->source();
}

} // namespace tovel
