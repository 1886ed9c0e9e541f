#pragma once

#include <QString>

namespace tovel {

// A setting that is on or off, remembered across runs as one character in a file of its own
// ("1" on, "0" off). Off when nothing is remembered, or when the file holds anything else.

// When the file is there but cannot be read (a named pipe, a folder, no permission), `problem`
// says why.
bool loadRememberedSwitch(const QString &path, QString *problem = nullptr);
// Replaces the file whole, creating its folder; returns the reason when it cannot be written,
// empty on success.
QString saveRememberedSwitch(const QString &path, bool on);

} // namespace tovel
