#include "params/controllayout.h"


#include <algorithm>

namespace tovel {

int HexDigitValue(const QString &text)
{
    if (text.size() != 1)
        return -1;
    const char16_t c = text.at(0).unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

ControlLayout ControlLayout::fromLines(const QStringList &lines)
{
    const QString counts = lines.isEmpty() ? QString() : lines.first();
    ControlLayout layout;
    layout.NumPots = HexDigitValue(counts.mid(0, 1));
    layout.NumSwitches = HexDigitValue(counts.mid(1, 1));
    layout.NumMultiSwitches = HexDigitValue(counts.mid(2));
    if (layout.NumPots < 0 || layout.NumSwitches < 0 || layout.NumMultiSwitches < 0) {
        ControlLayout invalid;
        invalid.problem = QStringLiteral("'%1' is not a valid control count line").arg(counts);
        return invalid;
    }

    layout.NumParams = std::min(layout.NumPots + layout.NumSwitches + layout.NumMultiSwitches,
                                int(kMaxParams));
    layout.LinesPresent = std::clamp(int(lines.size()) - 1, 0, layout.NumParams);
    for (int p = 0; p < layout.NumParams; ++p)
        layout.ParamLines.append(p < layout.LinesPresent ? lines.at(p + 1) : QString());
    return layout;
}

} // namespace tovel
