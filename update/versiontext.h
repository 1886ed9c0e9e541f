#pragma once

#include <QByteArray>
#include <QString>

namespace tovel {

// The most bytes of a web answer's body that the editor reads: a version is a few characters,
// and a huge or endless answer must not swell the menu or the memory.
inline constexpr qsizetype kMaxAnswerBytes = 1024;
// The most bytes of one web answer the editor takes in: status line, headers and body together.
// A server that sends more before its answer ends is cut off.
inline constexpr qsizetype kMaxResponseBytes = 16 * 1024;
// The most characters of the announced version the Help menu shows.
inline constexpr qsizetype kShownAnswerChars = 64;
// The most characters of an error text about the web answer that a message shows. Longer than a
// caption: the TLS library's own reasons run to some sixty characters.
inline constexpr qsizetype kShownErrorChars = 160;

// The program's version as the Help menu shows it: the file version's major and minor numbers
// in decimal ("3.0.0.0" gives "3.0"). Empty when there is no version number.
QString appVersionFrom(const QString &fileVersion);

// Web answer bytes as text for a caption or a message: UTF-8 as received (a leading byte-order
// mark dropped), at most kMaxAnswerBytes of it, printable characters only. Line ends stay where
// keepLineEnds; other control bytes, bytes that are not UTF-8 and a character cut off at the
// limit are dropped.
QString printableAnswerText(const QByteArray &bytes, bool keepLineEnds);

// Text with only printable characters: controls, format characters (the bidirectional marks,
// embeddings, overrides and isolates among them), line and paragraph separators, private-use,
// unassigned and replacement characters are dropped. CR and LF stay where keepLineEnds.
QString printableText(const QString &text, bool keepLineEnds);

// Whether an announced version reads as one: digits and dots ("3.0", "12"), at most
// kMaxVersionChars of them once blanks and line ends around it are taken off.
inline constexpr qsizetype kMaxVersionChars = 32;
bool isVersionText(const QString &text);

// At most maxChars characters: a longer text keeps its start, never half a character, and ends
// in an ellipsis.
QString shortenedText(const QString &text, qsizetype maxChars);

// An error text as a message shows it: printable, on one line, at most kShownErrorChars long.
QString shownErrorText(const QString &text);

} // namespace tovel
