#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tovel {

// The pedal's answer to EffectQuery: four lines ended by CR LF; line 1 unused, then the effect
// number, the effect version and the controller's firmware version, in decimal.
struct EffectInfo {
    int effectNumber = 0;
    int effectVersion = 0;
    int firmwareVersion = 0;
};
// Throws EditorError when a line is not a decimal integer.
EffectInfo ParseEffectInfo(const QString &answer);

// A decimal text as Delphi-era firmware tools convert it: optional sign, digits only.
// Throws EditorError "'<text>' is not a valid integer value" otherwise.
int toInteger(const QString &text);

// The state answer: decimal numbers, each ended by CR LF (or CR or LF alone), one per byte of
// the pedal's state.
// Works on exactly this answer's bytes. A number of 1 to 3 digits gives its value modulo 256;
// any other length (four digits, an empty line) repeats the previous byte. Throws EditorError
// (the text of stateAnswerFault) when the answer holds anything but digits and line ends; the
// answer is then not applied.
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

// The option a multi-switch row shows for a level: level div (1024 div options), the last
// option for anything beyond it. Nothing for a row without options or a negative level.
std::optional<int> multiSwitchIndex(int level, int optionCount);

} // namespace tovel
