// The hex-to-bytes rule every command and program goes through.

#include "fuzz/fuzzcheck.h"
#include "protocol/hextext.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const quint8 limit = fuzz::takeByte(data, size);
    const QString text = QString::fromLatin1(fuzz::bytesOf(data, size));

    // A canary past the limit shows a write beyond maxBytes even where ASan does not look.
    QByteArray out(int(limit) + 1, char(0x5A));
    const int converted = hexToBytes(text, reinterpret_cast<quint8 *>(out.data()), limit);
    FUZZ_CHECK(converted >= 0 && converted <= limit && converted <= text.size() / 2);
    FUZZ_CHECK(out.at(limit) == char(0x5A));

    const QByteArray whole = HexToBytes(text);
    FUZZ_CHECK(whole.size() == text.size() / 2);
    // Bytes to hex and back is the identity.
    FUZZ_CHECK(HexToBytes(bytesToHex(whole)) == whole);
    FUZZ_CHECK(out.left(converted) == whole.left(converted));
    return 0;
}
