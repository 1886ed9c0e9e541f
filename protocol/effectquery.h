#pragma once

#include <QString>
#include <optional>

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
// Nothing when a line is not a decimal integer; problem then says which.
std::optional<EffectInfo> ParseEffectInfo(const QString &answer, QString *problem = nullptr);

// A decimal text: an optional sign, then digits only (no blanks, no base prefix). Nothing
// otherwise; problem then says "'<text>' is not a valid integer value".
std::optional<int> toInteger(const QString &text, QString *problem = nullptr);

} // namespace tovel
