#pragma once

#include <QByteArray>
#include <QString>

namespace tovel {

// The most bytes of a web answer's body that the editor reads: a version is a few characters,
// and a huge or endless answer must not swell the menu or the memory.
inline constexpr qsizetype kMaxAnswerBytes = 1024;

// The program's version as the Help menu shows it: the file version's major and minor numbers
// in decimal ("3.0.0.0" gives "3.0"). Empty when there is no version number.
QString AppVersionFrom(const QString &fileVersion);

// Web answer bytes as text for a caption or a message: UTF-8 as received (a leading byte-order
// mark dropped), at most kMaxAnswerBytes of it, printable characters only. Line ends stay where
// keepLineEnds; other control bytes, bytes that are not UTF-8 and a character cut off at the
// limit are dropped.
QString PrintableAnswerText(const QByteArray &bytes, bool keepLineEnds);

} // namespace tovel
