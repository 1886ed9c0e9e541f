#pragma once

#include <QString>

namespace tovel {

// The user's Documents folder, only under a home folder that is there: with HOME unset, not
// absolute or not an existing folder, the system's default would be a folder at the root (or
// one made under a home that does not exist). Empty then, with `problem` saying why.
QString documentsFolder(QString *problem = nullptr);

// The folder for state kept between runs ($XDG_STATE_HOME, else ~/.local/state); empty, with
// `problem`, when neither is usable.
QString stateFolder(QString *problem = nullptr);

} // namespace tovel
