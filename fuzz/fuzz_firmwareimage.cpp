// A firmware image chosen from disk: read, checked, and cut into the chunks the bootloader
// writes.

#include "firmware/firmwareimage.h"
#include "fuzz/fuzzcheck.h"
#include "protocol/hextext.h"
#include "tests/support/testseams.h"

#include <QFile>
#include <QTemporaryDir>

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("image.bin"));

    // The image is the input, or the input repeated to a size at one of the limits.
    const quint8 choice = fuzz::takeByte(data, size);
    QByteArray bytes = fuzz::bytesOf(data, size);
    const qsizetype sizes[] = {bytes.size(), FirmwareImage::kMaxRawSize, FirmwareImage::kMaxRawSize + 1,
                               FirmwareImage::kMaxSize, FirmwareImage::kMaxSize + 1};
    const qsizetype wanted = sizes[choice % std::size(sizes)];
    if (!bytes.isEmpty() && wanted != bytes.size())
        bytes = bytes.repeated(wanted / bytes.size() + 1).left(wanted);

    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    file.close();

    test::RecordingConsole console;
    FirmwareImage image;
    FirmwareChoice fromFile;
    fromFile.SelectedFirmwareName = QStringLiteral("From file...");
    fromFile.file = path;
    const QString problem = LoadFirmwareImage(fromFile, console, image);
    if (bytes.size() > FirmwareImage::kMaxSize) {
        FUZZ_CHECK(!problem.isEmpty());
        return 0;
    }
    FUZZ_CHECK(image.bytes == bytes);
    FUZZ_CHECK(problem == checkImage(image));
    if (!problem.isEmpty())
        return 0;
    // A fit image has a vector table and fits the flash below the variant record, or is a
    // whole-flash backup.
    FUZZ_CHECK(bytes.size() >= 8);
    FUZZ_CHECK(bytes.size() <= FirmwareImage::kMaxRawSize || bytes.size() == FirmwareImage::kMaxSize);
    FUZZ_CHECK((image.kind == FirmwareImage::Kind::WholeFlash) == (bytes.size() == FirmwareImage::kMaxSize));

    // Its chunks put back together are the image.
    const SplitImageResult split = SplitImage(bytes, console);
    FUZZ_CHECK(split.ChunkCount == (bytes.size() + 255) / 256);
    QByteArray joined;
    for (int k = 0; k < split.ChunkCount; ++k) {
        FUZZ_CHECK(split.chunkLength(k) >= 1 && split.chunkLength(k) <= 256);
        joined += split.chunk(k);
    }
    FUZZ_CHECK(joined == bytes);
    return 0;
}
