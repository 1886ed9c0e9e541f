#include "ir/irlayout.h"

#include <iterator>

namespace tovel {

namespace {

// The fourth loader, with its equaliser in front, carries a 703-word block like the other
// combined effects, at a place of the editor's own.
constexpr IrLayout kLayouts[] = {
    {"Amber Drive + IR Loader", 362, 703, 773, false},
    {"TRX + IR Loader", 370, 703, 773, false},
    {"Basic IR Loader", 230, 912, 912, false},
    {"Four Band EQ + IR Loader", 394, 703, 773, true},
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
    if (layout.placeholderRequired
        && QStringView(program).mid(layout.keptDigits(), 8) != QLatin1String(kIrPlaceholderWord))
        return QString();
    return program.left(layout.keptDigits()) + words + program.mid(layout.resumeDigit());
}

} // namespace tovel
