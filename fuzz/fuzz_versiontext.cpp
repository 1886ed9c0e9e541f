// The body of the web answer that announces the current version.

#include "fuzz/fuzzcheck.h"
#include "update/versiontext.h"

#include <QList>

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = fuzz::bytesOf(data, size);
    for (bool keepLineEnds : {false, true}) {
        const QString text = printableAnswerText(body, keepLineEnds);
        FUZZ_CHECK(text.size() <= kMaxAnswerBytes);
        // Nothing but printable characters (no stand-in for bytes that were not UTF-8), and
        // line ends only where asked for.
        for (const uint c : text.toUcs4()) {
            const bool lineEnd = c == '\n' || c == '\r';
            FUZZ_CHECK(lineEnd ? keepLineEnds
                               : QChar::isPrint(char32_t(c)) && c != QChar::ReplacementCharacter);
        }
    }
    appVersionFrom(QString::fromUtf8(body.left(64)));
    return 0;
}
