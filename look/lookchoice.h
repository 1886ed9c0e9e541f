#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tovel {

// The looks offered under Settings > Look: 0 to 6. Look 7 exists too, but only a remembered
// choice reaches it.
constexpr int kMenuLooks = 7;
// The look of a first start, and of a style.txt that does not hold a whole number.
constexpr int kDefaultLook = 0;

// Documents/ZANTH/style.txt: the chosen look's number in decimal and nothing else.
QString lookChoicePath(const QString &documents);

// The whole number a style.txt holds (a byte-order mark selects the encoding; blanks and line
// ends around it are allowed, as an editor may leave them), or nothing for anything else: an
// empty file, text, a number too large for an int.
std::optional<int> parseLookChoice(const QByteArray &bytes);

// The look to show at start from the file at path: its number, whether a look has that number
// or not; kDefaultLook when there is no file or it holds no whole number. When a file is there
// but cannot be read (a named pipe, a folder, no permission), `problem` says why.
int savedLook(const QString &path, QString *problem = nullptr);

// Replaces the file at path with n in decimal, UTF-8, no line end. Written beside and renamed,
// so a failed write leaves the previous choice. The reason when it cannot be written, else
// empty.
QString saveLookChoice(const QString &path, int n);

} // namespace tovel
