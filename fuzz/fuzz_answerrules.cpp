// When the link takes an answer as whole, and whether its bytes read as that kind of answer.

#include "fuzz/fuzzcheck.h"
#include "protocol/commandexchange.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const quint8 rows = fuzz::takeByte(data, size);
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const AnswerRule rules[] = {effectQueryAnswer(), stateRequestAnswer(rows % 32),
                                uploadStatusAnswer(rows * 97), bootloaderAnswer()};
    for (const AnswerRule &rule : rules) {
        const qsizetype whole = rule.wholeLength(bytes);
        FUZZ_CHECK(whole >= 0 && whole <= bytes.size());
        if (whole > 0) {
            // The answer is whole by its own bytes: what follows is a tail that changes
            // nothing, and the bytes that make it whole are the first that do. The exception is
            // a CR at the edge of an answer that mixes line ends: in an answer of CR LF lines a
            // last CR waits for its LF (only the byte after it says it ended the line alone),
            // and in an answer of CR lines a last CR ends the line before the LF after it comes.
            const qsizetype cut = rule.wholeLength(bytes.left(whole));
            const bool lastCrAlone = cut == 0 && bytes.at(whole - 1) == '\r' && whole < bytes.size()
                                     && bytes.at(whole) != '\n';
            FUZZ_CHECK(cut == whole || lastCrAlone);
            const qsizetype shorter = rule.wholeLength(bytes.left(whole - 1));
            const bool crBeforeLastLf = shorter == whole - 1 && whole >= 2 && bytes.at(whole - 2) == '\r'
                                        && bytes.at(whole - 1) == '\n';
            FUZZ_CHECK(shorter == 0 || crBeforeLastLf);
        }
        FUZZ_CHECK(rule.maxBytes > 0 && rule.timeoutMs > 0);
        // What reads as an answer still reads so once cut short (to at least a byte).
        if (bytes.size() >= 2 && rule.readable(bytes))
            FUZZ_CHECK(rule.readable(bytes.left(bytes.size() / 2)));
    }
    return 0;
}
