// The pedal's answer to the effect query: four lines, the last three decimal numbers.

#include "fuzz/fuzzcheck.h"
#include "protocol/effectquery.h"
#include "protocol/stateblock.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The answer is read as 8-bit text, as the link hands it over.
    const QString answer = QString::fromLatin1(fuzz::bytesOf(data, size));
    QString problem;
    if (const std::optional<EffectInfo> info = ParseEffectInfo(answer, &problem)) {
        FUZZ_CHECK(problem.isEmpty());
        // A parsed number prints back as a number that parses to itself.
        for (int n : {info->effectNumber, info->effectVersion, info->firmwareVersion})
            FUZZ_CHECK(toInteger(QString::number(n)) == n);
    } else {
        FUZZ_CHECK(problem.endsWith(QLatin1String("' is not a valid integer value")));
    }
    return 0;
}
