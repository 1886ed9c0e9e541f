#pragma once

#include <QStringList>

namespace tovel {

// The program's arguments without the window toolkit's own options (-platform NAME, -style=NAME,
// --reverse, ...), which the application object takes out of argv once it exists: what is left
// is for the program's own parser, which can then run before the windowing system starts.
QStringList withoutToolkitOptions(const QStringList &arguments);

// argv as the parser takes it, the program's name first.
QStringList argumentList(int argc, char **argv);

} // namespace tovel
