// A program file's text checked before it goes on the wire, and the pedal's upload status.

#include "fuzz/fuzzcheck.h"
#include "protocol/effectupload.h"
#include "protocol/hextext.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const ProgramText program = checkProgramText(programFileText(bytes));
    if (program.ok()) {
        // What goes out converts whole: an even count of hex digits, no more than the buffer.
        FUZZ_CHECK(program.bytes > 0 && program.bytes <= 65536);
        FUZZ_CHECK(program.hex.size() == 2 * program.bytes);
        QByteArray out(program.bytes, '\0');
        FUZZ_CHECK(hexToBytes(program.hex, reinterpret_cast<quint8 *>(out.data()), program.bytes)
                   == program.bytes);
    } else {
        FUZZ_CHECK(!programRefusal(QStringLiteral("The file x.hex"), program).isEmpty());
        if (program.fault == ProgramText::Fault::NotHex)
            FUZZ_CHECK(program.line >= 1 && program.column >= 1);
    }

    const QString status = uploadStatusText(bytes);
    FUZZ_CHECK(status.size() == std::min<qsizetype>(bytes.size(), kUploadStatusLength));
    if (isUploadStatusText(bytes))
        FUZZ_CHECK(!bytes.isEmpty());
    return 0;
}
