#pragma once

#include <QString>

class QFile;

namespace tovel {

// Opens `file` (by the name it was given) for reading, but only when that name leads to a
// regular file. Anything else is refused unopened: opening a named pipe for reading waits for a
// writer that may never come, and a device or a folder holds no file to read. The open itself
// does not wait either, should the name be replaced by a pipe between the look and the open.
// Returns an empty text when the file is open; otherwise why not: for anything but a regular
// file "<name> is a named pipe (FIFO), not a regular file" (a folder, a device, a socket),
// else the system's own text, as QFile::errorString() would give it.
QString openRegularFile(QFile &file);

// What a file of this st_mode is, in words: "a named pipe (FIFO)", "a folder", "a character
// device", ...
QString fileKindText(unsigned mode);

} // namespace tovel
