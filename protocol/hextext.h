#pragma once

#include <QByteArray>
#include <QString>

namespace tovel {

// Commands and raw bytes are held as texts of upper-case hex digits, two per byte.

// value as exactly `digits` upper-case hex digits (the low digits when it is wider).
QString hexField(quint64 value, int digits);

// The hex-to-bytes rule: each pair of hex digits (either case) gives one byte, high digit
// first; stops at the first character that is not a hex digit, or after maxBytes bytes.
// Writes into out and returns the number of bytes converted.
int hexToBytes(const QString &text, quint8 *out, int maxBytes);

// An 8-bit text of length (characters div 2), filled by the hex-to-bytes rule; the bytes after
// a stop are zero.
QByteArray HexToBytes(const QString &text);

// Bytes as upper-case hex text.
QString bytesToHex(const QByteArray &bytes);

} // namespace tovel
