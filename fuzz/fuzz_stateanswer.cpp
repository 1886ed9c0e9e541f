// The pedal's state answer: decimal numbers ended by CR LF, CR or LF, one per state byte.

#include "fuzz/fuzzcheck.h"
#include "protocol/effectquery.h"
#include "params/paramrows.h"
#include "protocol/stateblock.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer = fuzz::bytesOf(data, size);
    const QString fault = stateAnswerFault(answer);
    const QList<quint8> bytes = ParseParameterAnswer(answer);
    // An answer the fault names a line of gives nothing to apply.
    if (!fault.isEmpty()) {
        FUZZ_CHECK(bytes.isEmpty());
        return 0;
    }
    // One state byte per number: a number ends at its CR, and at a LF that no CR comes just
    // before (CR LF, CR and LF alone each end one line).
    qsizetype numbers = 0;
    for (qsizetype i = 0; i < answer.size(); ++i)
        if (answer[i] == '\r' || (answer[i] == '\n' && (i == 0 || answer[i - 1] != '\r')))
            ++numbers;
    FUZZ_CHECK(bytes.size() == numbers);
    const int rows = int(bytes.size() / 4);
    for (int row = -1; row <= rows + 1; ++row) {
        const std::optional<int> level = rowLevel(bytes, row);
        FUZZ_CHECK(level.has_value() == (row >= 0 && row < rows));
        if (level) {
            FUZZ_CHECK(*level >= -262144 && *level <= 262143);
            for (int options : {0, 1, 2, 3, 7, 24, 1025})
                if (const std::optional<int> index = multiSwitchIndex(*level, options))
                    FUZZ_CHECK(*index >= 0 && *index < options);
        }
    }
    return 0;
}
