#pragma once

// Included by every source of the session and action libraries: they hold the editor's logic
// for the windows and the command line alike, and a build that reaches them with Qt Widgets or
// Qt GUI stops here. Link them to Qt Core (Network, Serial Port) only.
#if defined(QT_WIDGETS_LIB) || defined(QT_GUI_LIB)
#error "the session and action libraries link Qt Core only: no Qt Widgets or Qt GUI here"
#endif
