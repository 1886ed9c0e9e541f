// An effect's control layout (the _CTRLS resource) with the address table of its program.

#include "catalogue/resourcetext.h"
#include "fuzz/fuzzcheck.h"
#include "params/controllayout.h"
#include "params/paramrows.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines = splitLines(decodeResourceText(fuzz::bytesOf(data, size)));
    const ControlLayout layout = ControlLayout::fromLines(lines);
    if (!layout.problem.isEmpty()) {
        FUZZ_CHECK(layout.NumParams == 0 && layout.ParamLines.isEmpty());
        return 0;
    }
    FUZZ_CHECK(layout.NumParams >= 0 && layout.NumParams <= ControlLayout::kMaxParams);
    FUZZ_CHECK(layout.ParamLines.size() == layout.NumParams);
    FUZZ_CHECK(layout.LinesPresent >= 0 && layout.LinesPresent <= layout.NumParams);
    for (int row = 0; row < layout.NumParams; ++row) {
        const QString &line = layout.ParamLines[row];
        switch (rowKind(layout, row)) {
        case RowKind::Pot:
            FUZZ_CHECK(row < layout.NumPots);
            break;
        case RowKind::Switch: {
            const SwitchLine s = splitSwitchLine(line);
            FUZZ_CHECK(s.name.size() <= line.size() && s.onText.size() <= line.size());
            break;
        }
        case RowKind::MultiSwitch: {
            const MultiSwitchLine m = splitMultiSwitchLine(line);
            FUZZ_CHECK(m.options.size() == line.count(QLatin1Char(';')));
            for (int index = 0; index < m.options.size(); ++index) {
                const std::optional<int> level = multiSwitchLevel(index, int(m.options.size()));
                if (level)
                    FUZZ_CHECK(*level >= 0 && *level <= 1023);
            }
            break;
        }
        }
    }
    // The same text taken as a program's first line gives the 24 addresses, sendable or not.
    const QStringList addresses = paramAddressesFromProgram(lines.value(0));
    FUZZ_CHECK(addresses.size() == ControlLayout::kMaxParams);
    for (const QString &address : addresses)
        if (isSendableAddress(address))
            FUZZ_CHECK(address.size() == 4 && HexDigitValue(address.left(1)) >= 0);
    return 0;
}
