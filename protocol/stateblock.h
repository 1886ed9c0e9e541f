#pragma once

#include "protocol/assignpayload.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace tovel {

// The pedal's state as the StateRequest answer carries it, one byte per number. With T rows:
//   0 .. 4T-1        row values, 4 bytes per row, most significant first: level x 8192
//   4T + 24c + p     non-zero when pedal control c (0..6) drives row p (0..23)
//   4T + 168 + p     reverse flag of row p
//   4T + 192 .. 239  48 bytes the editor does not read
//   4T + 240 + p     minimum code of row p: level (code + 1) x 8
//   4T + 264 + p     maximum code of row p: level 1023 for 0, else (code + 1) x 8
namespace StateBlock {
constexpr int kFixedBytes = 288;
constexpr int size(int rows) { return 4 * rows + kFixedBytes; }
constexpr qsizetype rowValue(int row) { return qsizetype(4) * row; }
constexpr qsizetype assignment(int rows, int control, int row) { return qsizetype(4) * rows + 24 * control + row; }
constexpr qsizetype reverse(int rows, int row) { return qsizetype(4) * rows + 168 + row; }
constexpr qsizetype minimumCode(int rows, int row) { return qsizetype(4) * rows + 240 + row; }
constexpr qsizetype maximumCode(int rows, int row) { return qsizetype(4) * rows + 264 + row; }
} // namespace StateBlock

// Limit codes of the state block to levels.
int minLevelFromCode(int code);
int maxLevelFromCode(int code);

// The state answer: decimal numbers, each ended by CR LF (or CR or LF alone), one per byte of
// the pedal's state.
// Works on exactly this answer's bytes. A number of 1 to 3 digits gives its value modulo 256;
// any other length (four digits, an empty line) repeats the previous byte. An answer that
// holds anything but digits and line ends (stateAnswerFault) gives nothing: it is not applied.
QList<quint8> ParseParameterAnswer(const QByteArray &answer);
// Why the bytes are not a state answer: the first line holding anything but ASCII digits
// before its CR LF, named by its number and shown in hex. Empty when every line is digits.
QString stateAnswerFault(const QByteArray &answer);

// Why the numbers cannot be the state of `rows` rows: the first row whose level lies outside
// -1024..1023, which a shifted answer gives (something else came before its numbers). Empty
// when every row's level can be one.
QString implausibleRowLevel(const QList<quint8> &bytes, int rows);

// Row p's level: its four bytes (most significant first) as a signed 32-bit value div 8192,
// rounded toward zero. Nothing when the answer is too short to hold them.
std::optional<int> rowLevel(const QList<quint8> &bytes, int row);

// The state block of `rows` rows read into what it says. What an answer too short does not
// hold is nothing (a control's byte: drives no row).
struct PedalStateBlock {
    QList<std::optional<int>> levels; // rows 0 .. rows-1
    std::array<std::array<bool, kMaxRows>, kPedalControls> drives{}; // control c drives row p
    std::array<std::optional<bool>, kMaxRows> reversed;
    std::array<std::optional<int>, kMaxRows> minimumCode;
    std::array<std::optional<int>, kMaxRows> maximumCode;
};
PedalStateBlock readStateBlock(const QList<quint8> &bytes, int rows);

} // namespace tovel
