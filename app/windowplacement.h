#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

namespace tovel {

// Where the editor's windows open, all rectangles in screen coordinates, frames included.

// A window of `size` beside `anchor`: right of it, else left of it, else right or left of
// everything in keepClear and the anchor together; the first that lies wholly inside
// `available` and covers none of them, at the anchor's top (moved up as far as the bottom
// edge needs). Where none fits, at the anchor's right moved inside `available`. A window
// taller or wider than `available` is cut to it.
QRect placeBeside(const QRect &available, const QRect &anchor, const QList<QRect> &keepClear, const QSize &size);

// A window of `size` centred over `over`, moved inside `available` (and cut to it).
QRect placeCentred(const QRect &available, const QRect &over, const QSize &size);

// The available geometry of the screen that shows `window` (the primary one while it is hidden).
QRect availableGeometryFor(const QWidget &window);

// The frame of `window` around its client area; before the window manager has framed it,
// the frame of `framed`, which it has (the same decorations).
QMargins frameMarginsOf(const QWidget &window, const QWidget &framed);

} // namespace tovel
