#pragma once

#include <QString>

namespace tovel {

// The "Normalise IR" choice, remembered across runs as one character ("1" on, "0" off) in
// the file normalise_ir.txt of the data folder Documents/ZANTH. Off when nothing is remembered.
QString normaliseChoicePath(const QString &documents);
// When the file is there but cannot be read (a named pipe, a folder, no permission), `problem`
// says why.
bool loadNormaliseChoice(const QString &documents, QString *problem = nullptr);
// Replaces the file whole; returns the reason when it cannot be written, empty on success.
QString saveNormaliseChoice(const QString &documents, bool on);

} // namespace tovel
