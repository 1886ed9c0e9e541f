// A web server's answer to the version request, as it arrives in pieces of any size.

#include "fuzz/fuzzcheck.h"
#include "update/httpanswerreader.h"
#include "update/versiontext.h"

#include <algorithm>

using namespace tovel;

namespace {

bool sameReading(const HttpAnswerReader &a, const HttpAnswerReader &b)
{
    return a.state() == b.state() && a.failure() == b.failure() && a.statusCode() == b.statusCode()
           && a.reasonPhrase() == b.reasonPhrase() && a.body() == b.body()
           && a.bodyCutShort() == b.bodyCutShort();
}

void check(const QByteArray &bytes, qsizetype piece, bool close, qsizetype maxBytes, qsizetype maxBody)
{
    HttpAnswerReader whole(maxBytes, maxBody);
    HttpAnswerReader pieces(maxBytes, maxBody);
    whole.feed(bytes);
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        pieces.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
    if (close) {
        whole.closed();
        pieces.closed();
    }
    // However the bytes are cut, the answer reads alike, and nothing kept outgrows its bound.
    FUZZ_CHECK(sameReading(whole, pieces));
    FUZZ_CHECK(whole.body().size() <= maxBody);
    FUZZ_CHECK(whole.firstLine().size() <= maxBytes);
    if (whole.failure() == HttpAnswerReader::Failure::NotHttp)
        FUZZ_CHECK(whole.firstLine().size() <= HttpAnswerReader::kQuotedBytes);
    if (whole.headRead())
        FUZZ_CHECK(whole.statusCode() >= 101 && whole.statusCode() <= 999);
    if (close)
        FUZZ_CHECK(whole.state() == HttpAnswerReader::State::Done
                   || whole.state() == HttpAnswerReader::State::Failed);
    if (bytes.size() > maxBytes)
        FUZZ_CHECK(whole.state() != HttpAnswerReader::State::Head
                   && whole.state() != HttpAnswerReader::State::Body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const quint8 choice = fuzz::takeByte(data, size);
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const qsizetype piece = choice % 16 + 1;
    const bool close = choice & 0x80;
    check(bytes, piece, close, kMaxResponseBytes, kMaxAnswerBytes);
    // Small bounds, so that short inputs reach them too.
    check(bytes, piece, close, 96, 8);
    return 0;
}
