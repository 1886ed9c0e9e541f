#pragma once

#include <QByteArray>
#include <QString>

namespace tovel {

// Text of an information page. The pages are HTML 4.0 in windows-1252, declared in a META
// element; Qt's own decoders know no windows-1252, and Latin-1 would lose the characters it
// puts at 0x80-0x9F (dashes, quotes). A byte-order mark wins, a declared UTF-8 is honoured,
// anything else reads as windows-1252 (which browsers also use for a declared ISO-8859-1).
QString decodeInfoPage(const QByteArray &bytes);

// An information page's text for a terminal: the body without its markup, a table row as
// "cell: cell", paragraphs and headings on lines of their own, character references resolved.
// Pictures and links leave nothing.
QString infoPagePlainText(const QString &html);

// windows-1252 bytes as text; the five bytes it leaves undefined map to the C1 controls.
QString fromWindows1252(const QByteArray &bytes);

} // namespace tovel
