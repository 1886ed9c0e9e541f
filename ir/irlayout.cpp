#include "ir/irlayout.h"

#include <iterator>

namespace tovel {

namespace {

// The fourth loader, with its equaliser in front, carries a 703-word block like the other
// combined effects.
constexpr IrLayout kLayouts[] = {
    {"Amber Drive + IR Loader", 362, 703, 773},
    {"TRX + IR Loader", 370, 703, 773},
    {"Basic IR Loader", 230, 912, 912},
    {"Four Band EQ + IR Loader", 394, 703, 773},
};

} // namespace

const IrLayout *irLayoutFor(const QString &effect)
{
    for (const IrLayout &l : kLayouts)
        if (effect == QLatin1String(l.effect))
            return &l;
    return nullptr;
}

const IrLayout *irLayouts(int *count)
{
    *count = int(std::size(kLayouts));
    return kLayouts;
}

QString spliceIrBlock(const QString &program, const IrLayout &layout, const QString &words)
{
    if (program.size() < layout.resumeDigit() || words.size() != layout.blockDigits())
        return QString();
    return program.left(layout.keptDigits()) + words + program.mid(layout.resumeDigit());
}

} // namespace tovel
