#pragma once

#include <QLatin1String>
#include <QRect>

namespace tovel {

// Names a control and puts it where the window's layout has it, in pixels of the window.
template <typename W>
W *place(W *w, const char *name, int x, int y, int width, int height)
{
    w->setObjectName(QLatin1String(name));
    w->setGeometry(x, y, width, height);
    return w;
}

} // namespace tovel
