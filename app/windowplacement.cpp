#include "app/windowplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <optional>

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

QRect moveInside(const QRect &r, const QRect &available)
{
    return cutAndMoveInside(r, available);
}

QRect placeParameters(const QRect &available, const QRect &main, const QRect &lists, const QSize &size,
                      const QSize &least)
{
    const int width = std::min(size.width(), available.width());
    const int height = std::min(size.height(), available.height());
    // Whole, at the main window's top (moved up as far as the bottom edge needs).
    for (const int left : {main.right() + 1, main.left() - width}) {
        if (left >= available.left() && left + width - 1 <= available.right())
            return cutAndMoveInside(QRect(left, main.top(), width, height), available);
    }
    if (main.bottom() + height <= available.bottom())
        return cutAndMoveInside(QRect(main.left(), main.bottom() + 1, width, height), available);

    // Cut to a room: each room, where the window goes in it, as near the main window as it can.
    struct Room {
        QRect area;
        QPoint at;
    };
    const auto cutInto = [&](const QList<Room> &rooms, const QSize &atLeast) -> std::optional<QRect> {
        std::optional<QRect> best;
        for (const Room &room : rooms) {
            const QRect area = room.area & available;
            if (area.isEmpty() || area.width() < atLeast.width() || area.height() < atLeast.height())
                continue;
            const QRect r = cutAndMoveInside(QRect(room.at, size), area);
            if (!best || r.width() * r.height() > best->width() * best->height())
                best = r;
        }
        return best;
    };
    const auto roomsAround = [&](const QRect &kept) {
        return QList<Room>{
            {QRect(QPoint(kept.right() + 1, available.top()), available.bottomRight()), QPoint(kept.right() + 1, main.top())},
            {QRect(available.topLeft(), QPoint(kept.left() - 1, available.bottom())), QPoint(kept.left() - size.width(), main.top())},
            {QRect(QPoint(available.left(), kept.bottom() + 1), available.bottomRight()), QPoint(main.left(), kept.bottom() + 1)},
        };
    };
    if (const std::optional<QRect> r = cutInto(roomsAround(main), least))
        return *r;
    // However small, the lists stay in sight.
    if (const std::optional<QRect> r = cutInto(roomsAround(lists), least.boundedTo(QSize(1, 1))))
        return *r;
    return cutAndMoveInside(QRect(main.right() + 1, main.top(), width, height), available);
}

QRect roomBeside(const QRect &available, const QRect &main, int width)
{
    QRect r = cutAndMoveInside(main, available);
    const bool fits = available.right() - r.right() >= width || r.left() - available.left() >= width;
    if (fits || r.width() + width > available.width())
        return r;
    const int leftwards = r.right() - (available.right() - width);
    const int rightwards = available.left() + width - r.left();
    r.translate(leftwards <= rightwards ? -leftwards : rightwards, 0);
    return r;
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

PlaceWhenFramed::PlaceWhenFramed(QWidget &window, std::function<QRect(const QMargins &)> spot)
    : QObject(&window), m_window(window), m_spot(std::move(spot)), m_deadline(new QTimer(this)),
      m_check(new QTimer(this))
{
    // Long enough for a window manager's framing and placement, short enough that a move by
    // the player soon after is never undone.
    constexpr int kFramingMs = 1500;
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(kFramingMs);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        m_placing = false;
        m_check->stop();
    });
    // The frame's size comes as a property of the window, with no event of its own: looked for.
    constexpr int kCheckMs = 40;
    m_check->setInterval(kCheckMs);
    connect(m_check, &QTimer::timeout, this, [this] {
        if (m_placing && m_window.isVisible())
            place();
    });
    window.installEventFilter(this);
}

void PlaceWhenFramed::placeNow()
{
    m_placing = true;
    m_moves = 0;
    m_deadline->start();
    m_check->start();
    place();
}

bool PlaceWhenFramed::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && !m_inPlace) {
        switch (event->type()) {
        case QEvent::Show:
            // A window restored from its icon stays where the player had it.
            if (!event->spontaneous())
                placeNow();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (m_placing)
                place();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PlaceWhenFramed::place()
{
    // A manager that keeps moving the window back is not fought for ever.
    constexpr int kMostMoves = 8;
    const QRect frame = m_window.frameGeometry();
    const QRect client = m_window.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    m_inPlace = true;
    const QRect spot = m_spot(margins);
    if (m_window.frameGeometry().topLeft() != spot.topLeft() && m_moves < kMostMoves) {
        ++m_moves;
        m_window.move(spot.topLeft());
    } else if (!margins.isNull()) {
        m_placing = false; // framed, and where it belongs
        m_deadline->stop();
        m_check->stop();
    }
    m_inPlace = false;
}

} // namespace tovel
