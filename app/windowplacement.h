#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <functional>

class QTimer;
class QWidget;

namespace tovel {

// Where the editor's windows open, all rectangles in screen coordinates, frames included.

// A window of `size` beside `anchor`: right of it, else left of it, else right or left of
// everything in keepClear and the anchor together; the first that lies wholly inside
// `available` and covers none of them, at the anchor's top (moved up as far as the bottom
// edge needs). Where none fits, at the anchor's right moved inside `available`. A window
// taller or wider than `available` is cut to it.
QRect placeBeside(const QRect &available, const QRect &anchor, const QList<QRect> &keepClear, const QSize &size);

// The parameter window, `size` wanted, beside the main window `main` and never over its
// `lists`: right of it, else left of it, else below it, at full size. Else cut to the largest
// room right of, left of or below `main` (its rows then scroll), if that room is at least
// `least`; else to the largest room beside `lists`, however small (over the main window's
// other controls).
// Always wholly inside `available`.
QRect placeParameters(const QRect &available, const QRect &main, const QRect &lists, const QSize &size,
                      const QSize &least);

// The main window moved sideways as little as it takes for a window `width` wide to fit
// beside it on `available`; as it is where one fits already, or where the screen is too narrow
// for both side by side. Always wholly inside `available`.
QRect roomBeside(const QRect &available, const QRect &main, int width);

// `r` moved inside `available`, and cut to it where it is larger.
QRect moveInside(const QRect &r, const QRect &available);

// A window of `size` centred over `over`, moved inside `available` (and cut to it).
QRect placeCentred(const QRect &available, const QRect &over, const QSize &size);

// The available geometry of the screen that shows `window` (the primary one while it is hidden).
QRect availableGeometryFor(const QWidget &window);

// The frame of `window` around its client area; before the window manager has framed it,
// the frame of `framed`, which it has (the same decorations).
QMargins frameMarginsOf(const QWidget &window, const QWidget &framed);

// Places a window once the window manager has framed it: the frame is known only after the
// window is mapped, and a manager may put a newly mapped window where it likes. Each time the
// program shows the window, `spot` (given the window's frame as now known) says where its frame
// goes, and may size the window; the window is moved there, again as the frame or the
// manager's placement arrives, until it stands there with its frame known or a moment has
// passed. Later moves are the player's.
class PlaceWhenFramed : public QObject {
    Q_OBJECT

public:
    PlaceWhenFramed(QWidget &window, std::function<QRect(const QMargins &frame)> spot);
    // Placing again now, as after a show (the window is already shown).
    void placeNow();
    bool placing() const { return m_placing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QWidget &m_window;
    std::function<QRect(const QMargins &)> m_spot;
    QTimer *m_deadline;
    QTimer *m_check;
    bool m_placing = false;
    bool m_inPlace = false; // moving or sizing from place(): its own events change nothing
    int m_moves = 0;
};

} // namespace tovel
