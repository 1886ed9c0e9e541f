#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tovel {

// Text of a resource or file: a byte-order mark selects its encoding (and is dropped);
// without one the bytes are single-byte Latin-1 text, so ASCII reads as itself.
QString decodeResourceText(const QByteArray &bytes);

// Lines split at CR LF, LF or CR. A line end after the last line adds no line; empty lines
// inside the text stay. An empty text has no lines.
QStringList splitLines(const QString &text);

} // namespace tovel
