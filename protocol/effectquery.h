#pragma once

#include <QString>

namespace tovel {

// The pedal's answer to EffectQuery: four lines ended by CR LF; line 1 the firmware's name,
// then the effect number, the effect version and the controller's firmware version, in decimal.
// Its first line is the one known start of any answer: whatever comes before it on the line
// belongs to an earlier answer.
constexpr char kEffectQueryStart[] = "TOVEL\r\n";

struct EffectInfo {
    int effectNumber = 0;
    int effectVersion = 0;
    int firmwareVersion = 0;
};
// Throws EditorError when a line is not a decimal integer.
EffectInfo ParseEffectInfo(const QString &answer);

// A decimal text: an optional sign, then digits only (no blanks, no base prefix).
// Throws EditorError "'<text>' is not a valid integer value" otherwise.
int toInteger(const QString &text);

} // namespace tovel
