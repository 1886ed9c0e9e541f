#include "params/paramrows.h"

#include <algorithm>

#include "params/controllayout.h"

#include <cmath>

namespace tovel {

namespace {

constexpr int kMaxLevel = 1023;
constexpr int kLevelSteps = 1024;

// Program line characters (0-based) where the two address tables start; four hex digits each.
constexpr int kLowAddressesAt = 6;   // rows 0..15, bytes 3..34
constexpr int kHighAddressesAt = 98; // rows 16..23, bytes 49..64
constexpr int kLowRows = 16;
constexpr int kAddressDigits = 4;

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

} // namespace

RowKind rowKind(const ControlLayout &layout, int row)
{
    if (row < layout.NumPots)
        return RowKind::Pot;
    if (row < layout.NumPots + layout.NumSwitches)
        return RowKind::Switch;
    return RowKind::MultiSwitch;
}

SwitchLine splitSwitchLine(const QString &line)
{
    const qsizetype first = line.indexOf(QLatin1Char(':'));
    if (first < 0)
        return {line, line, line};
    const QString name = line.left(first);
    const QString rest = line.mid(first + 1);
    const qsizetype second = rest.indexOf(QLatin1Char(':'));
    if (second < 0)
        return {name, rest, rest};
    return {name, rest.left(second), rest.mid(second + 1)};
}

MultiSwitchLine splitMultiSwitchLine(const QString &line)
{
    QStringList parts = line.split(QLatin1Char(';'));
    MultiSwitchLine result;
    result.name = parts.takeFirst();
    result.options = parts;
    return result;
}

QStringList paramAddressesFromProgram(const QString &programLine)
{
    QStringList addresses;
    for (int p = 0; p < ControlLayout::kMaxParams; ++p) {
        const int at = p < kLowRows ? kLowAddressesAt + kAddressDigits * p
                                    : kHighAddressesAt + kAddressDigits * (p - kLowRows);
        addresses.append(programLine.mid(at, kAddressDigits));
    }
    return addresses;
}

bool isSendableAddress(const QString &address)
{
    if (address.size() != kAddressDigits)
        return false;
    for (QChar c : address)
        if (!isHexDigit(c))
            return false;
    return true;
}

int potLevel(double value)
{
    // Spelled out rather than std::nearbyint, whose result follows the floating-point rounding mode.
    const double halfDown = std::floor(value);
    const double fraction = value - halfDown;
    double rounded;
    if (fraction > 0.5)
        rounded = halfDown + 1;
    else if (fraction < 0.5)
        rounded = halfDown;
    else
        rounded = std::fmod(halfDown, 2.0) == 0 ? halfDown : halfDown + 1;
    return int(rounded);
}

int switchLevel(bool on)
{
    return on ? kMaxLevel : 0;
}

std::optional<int> multiSwitchLevel(int index, int optionCount)
{
    if (optionCount <= 0 || index < 0 || index >= optionCount)
        return std::nullopt;
    return index * (kLevelSteps / optionCount);
}

std::optional<int> multiSwitchIndex(int level, int optionCount)
{
    if (optionCount <= 0 || level < 0)
        return std::nullopt;
    const int step = 1024 / optionCount;
    if (step == 0)
        return std::nullopt;
    return std::min(level / step, optionCount - 1);
}

} // namespace tovel
