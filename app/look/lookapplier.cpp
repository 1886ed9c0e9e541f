#include "app/look/lookapplier.h"

#include "look/lookresources.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace tovel {

namespace {

bool paintsOwnGround(const QWidget *w)
{
    const Qt::WindowType type = w->windowType();
    return w->isWindow() && type != Qt::Popup && type != Qt::ToolTip;
}

// A style sheet paints a window's ground (a picture, in one look) only on windows that ask for
// it; Qt asks by itself for plain QWidget windows, not for the editor's own window classes.
class WindowGrounds : public QObject {
public:
    using QObject::QObject;

    static void mark(QWidget *w)
    {
        if (paintsOwnGround(w))
            w->setAttribute(Qt::WA_StyledBackground);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Polish && watched->isWidgetType())
            mark(static_cast<QWidget *>(watched));
        return false;
    }
};

void watchWindowGrounds()
{
    static QPointer<WindowGrounds> filter; // gone with the application object
    if (filter)
        return;
    filter = new WindowGrounds(qApp);
    qApp->installEventFilter(filter);
    for (QWidget *w : QApplication::topLevelWidgets())
        WindowGrounds::mark(w);
}

} // namespace

bool applyLook(int n)
{
    const std::optional<QString> sheet = lookStyleSheet(n);
    if (!sheet)
        return false;
    watchWindowGrounds();
    qApp->setStyleSheet(*sheet);
    return true;
}

} // namespace tovel
