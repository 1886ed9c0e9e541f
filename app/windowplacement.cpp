#include "app/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tovel {

namespace {

QRect cutAndMoveInside(QRect r, const QRect &available)
{
    r.setWidth(std::min(r.width(), available.width()));
    r.setHeight(std::min(r.height(), available.height()));
    r.moveLeft(std::clamp(r.left(), available.left(), available.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), available.top(), available.bottom() - r.height() + 1));
    return r;
}

bool coversNone(const QRect &r, const QList<QRect> &others)
{
    return std::none_of(others.cbegin(), others.cend(), [&r](const QRect &o) { return r.intersects(o); });
}

} // namespace

QRect placeBeside(const QRect &available, const QRect &anchor, const QList<QRect> &keepClear, const QSize &size)
{
    QList<QRect> occupied = keepClear;
    occupied.append(anchor);
    QRect all = anchor;
    for (const QRect &r : keepClear)
        all |= r;
    const int width = std::min(size.width(), available.width());
    const int height = std::min(size.height(), available.height());
    const int lefts[] = {anchor.right() + 1, anchor.left() - width, all.right() + 1, all.left() - width};
    for (const int left : lefts) {
        if (left < available.left() || left + width - 1 > available.right())
            continue;
        const QRect r = cutAndMoveInside(QRect(left, anchor.top(), width, height), available);
        if (coversNone(r, occupied))
            return r;
    }
    return cutAndMoveInside(QRect(anchor.right() + 1, anchor.top(), width, height), available);
}

QRect placeCentred(const QRect &available, const QRect &over, const QSize &size)
{
    QRect r(QPoint(), size);
    r.moveCenter(over.center());
    return cutAndMoveInside(r, available);
}

QRect availableGeometryFor(const QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins frameMarginsOf(const QWidget &window, const QWidget &framed)
{
    const auto margins = [](const QWidget &w) {
        const QRect frame = w.frameGeometry();
        const QRect client = w.geometry();
        return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                        frame.bottom() - client.bottom());
    };
    const QMargins own = margins(window);
    return window.isVisible() && !own.isNull() ? own : margins(framed);
}

} // namespace tovel
