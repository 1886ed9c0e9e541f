// Configuration files: the lines of any file laid over a layout of up to 24 rows.

#include "config/configurationfile.h"
#include "fuzz/fuzzcheck.h"

#include <algorithm>

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The layout the file is read against: its row and pot counts from the first two bytes.
    const int rows = fuzz::takeByte(data, size) % 25;
    const int pots = rows == 0 ? 0 : fuzz::takeByte(data, size) % (rows + 1);
    const QStringList lines = configurationLines(fuzz::bytesOf(data, size));
    for (const QString &line : lines)
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));

    const ConfigurationReader reader(lines, rows, pots);
    int reached = 0;
    for (int p = 0; p < rows; ++p) {
        for (const auto &item : {reader.value(p), reader.assignment(p), reader.reverse(p)}) {
            if (!item)
                continue;
            // An item is a line of the file, never past it, and carries that line's text.
            FUZZ_CHECK(item->lineNumber >= 1 && item->lineNumber <= lines.size());
            FUZZ_CHECK(item->text == lines[item->lineNumber - 1]);
            ++reached;
            if (const std::optional<int> c = pedalControlIndex(item->text))
                FUZZ_CHECK(*c >= 0 && *c <= 7);
        }
    }
    for (int p = 0; p < pots; ++p) {
        for (const auto &item : {reader.minimum(p), reader.maximum(p)}) {
            if (!item)
                continue;
            FUZZ_CHECK(item->lineNumber >= 1 && item->lineNumber <= lines.size());
            ++reached;
            if (const std::optional<int> percent = parseDecimal(item->text)) {
                // Whatever percentage a file holds, the limit stays a level.
                const int low = minLimitFromPercent(*percent);
                const int high = maxLimitFromPercent(*percent);
                FUZZ_CHECK(low >= 0 && low <= 1023 && high >= 0 && high <= 1023);
            }
        }
    }
    FUZZ_CHECK(reached <= std::min<qsizetype>(lines.size(), reader.expectedLines()));
    return 0;
}
