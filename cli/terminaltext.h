#pragma once

#include <QString>

namespace tovel {

// Text for a terminal: control characters (C0 but the line end, DEL, C1) are written as
// escapes ("\x1b", "\u009b"), so that a name or an answer can neither move the cursor, clear
// the screen nor ring; a backslash stays as it is.
QString escapedForTerminal(const QString &text);

} // namespace tovel
