#include "firmware/firmwareimage.h"

#include "catalogue/resourceindex.h"
#include "core/regularfile.h"
#include "core/seams.h"
#include "firmware/bootloaderprotocol.h"
#include "protocol/hextext.h"

#include <QFile>
#include <cstring>
#include <QFileInfo>
#include <QLocale>
#include <QtEndian>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void registerFirmwareResources()
{
    Q_INIT_RESOURCE(firmware);
}

namespace tovel {

namespace {

const ResourceIndex &firmwareResources()
{
    static const ResourceIndex index = [] {
        registerFirmwareResources();
        return ResourceIndex(QStringLiteral(":/firmware"));
    }();
    return index;
}

QString number(qint64 n)
{
    return QLocale(QLocale::English).toString(n);
}

} // namespace

bool isStandIn(const QByteArray &bytes)
{
    return bytes.contains(kStandInMarker);
}

QString checkImage(const FirmwareImage &image)
{
    using namespace bootloader;
    const qsizetype size = image.bytes.size();
    if (size == 0)
        return QStringLiteral("The image is empty.");
    if (size > FirmwareImage::kMaxSize)
        return QStringLiteral("The image has %1 bytes; the controller's flash holds %2.")
            .arg(number(size), number(FirmwareImage::kMaxSize));
    if (size != FirmwareImage::kMaxSize && size > FirmwareImage::kMaxRawSize)
        return QStringLiteral("The image has %1 bytes: more than the %2 below the variant record, "
                              "and not the %3 of a whole-flash backup.")
            .arg(number(size), number(FirmwareImage::kMaxRawSize), number(FirmwareImage::kMaxSize));
    if (size < 8)
        return QStringLiteral("The image has %1, too few for a vector table.").arg(byteCount(size));

    const auto *words = reinterpret_cast<const uchar *>(image.bytes.constData());
    const quint32 stack = qFromLittleEndian<quint32>(words);
    const quint32 reset = qFromLittleEndian<quint32>(words + 4);
    // The stack grows down from its initial pointer: the end of RAM is a fit value.
    if (stack <= kRamBase || stack > kRamBase + kRamSize || stack % 4 != 0)
        return QStringLiteral("Its initial stack pointer %1 does not lie in the controller's RAM "
                              "(%2 to %3).")
            .arg(addressText(stack), addressText(kRamBase), addressText(kRamBase + kRamSize));
    const quint32 end = kFlashBase + quint32(size);
    if ((reset & ~1u) < kFlashBase || (reset & ~1u) >= end)
        return QStringLiteral("Its reset handler %1 does not lie in the image (%2 to %3).")
            .arg(addressText(reset), addressText(kFlashBase), addressText(end - 1));
    if ((reset & 1u) == 0)
        return QStringLiteral("Its reset handler %1 lacks the Thumb bit (an odd address).")
            .arg(addressText(reset));
    return QString();
}

bool loadBuiltInImage(const QString &name, QByteArray &bytes)
{
    const QString path = firmwareResources().path(name);
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return true;
}

QStringList builtInImageNames()
{
    return firmwareResources().names();
}

std::optional<FirmwareChoice> builtInChoice(const QString &name)
{
    for (const QString &image : builtInImageNames()) {
        if (name.compare(image, Qt::CaseInsensitive) != 0)
            continue;
        FirmwareChoice choice;
        choice.SelectedFirmwareName = image.left(1).toUpper() + image.mid(1).toLower();
        choice.SelectedFirmwareVariant = image.right(1).toInt();
        return choice;
    }
    return std::nullopt;
}

FirmwareImage imageFromFile(const QString &path, const QByteArray &bytes)
{
    FirmwareImage image;
    image.name = path;
    image.bytes = bytes;
    image.kind = bytes.size() == FirmwareImage::kMaxSize ? FirmwareImage::Kind::WholeFlash
                                                        : FirmwareImage::Kind::Raw;
    return image;
}

QString LoadFirmwareImage(const FirmwareChoice &choice, Console &console, FirmwareImage &image)
{
    if (choice.file.isEmpty()) {
        image = FirmwareImage();
        image.name = choice.SelectedFirmwareName;
        image.variant = choice.SelectedFirmwareVariant;
        if (!loadBuiltInImage(choice.SelectedFirmwareName, image.bytes))
            return QStringLiteral("The editor carries no firmware image named %1.").arg(choice.SelectedFirmwareName);
    } else {
        QFile file(choice.file);
        if (const QString why = openRegularFile(file); !why.isEmpty())
            return QStringLiteral("Error loading file: ") + why;
        // Whatever a file of any size holds, no more than one byte past the largest image is read.
        const QByteArray bytes = file.read(FirmwareImage::kMaxSize + 1);
        if (bytes.size() > FirmwareImage::kMaxSize)
            return QStringLiteral("The file has %1 bytes; the controller's flash holds %2.")
                .arg(number(file.size()), number(FirmwareImage::kMaxSize));
        image = imageFromFile(choice.file, bytes);
    }
    console.printToConsole(QStringLiteral("num of bytes read: %1").arg(image.bytes.size()));
    return checkImage(image);
}

int SplitImageResult::chunkLength(int k) const
{
    if (k < 0 || k >= ChunkCount)
        return 0;
    return k == ChunkCount - 1 && LastChunkSize > 0 ? LastChunkSize : kSlotSize;
}

QByteArray SplitImageResult::chunk(int k) const
{
    if (k < 0 || k >= ChunkCount)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(chunkBuffer.data()) + k * kSlotSize,
                      chunkLength(k));
}

quint32 SplitImageResult::chunkAddress(int k)
{
    return bootloader::kFlashBase + quint32(k) * kSlotSize;
}

SplitImageResult SplitImage(const QByteArray &image, Console &console)
{
    SplitImageResult r;
    const qsizetype size = image.size();
    Q_ASSERT(size <= FirmwareImage::kMaxSize);
    r.ChunkCount = quint16(size / SplitImageResult::kSlotSize);
    r.LastChunkSize = quint16(size % SplitImageResult::kSlotSize);
    console.printToConsole(QStringLiteral("num of chunks: %1").arg(r.ChunkCount));
    console.printToConsole(QStringLiteral("num of byte last chunk: %1").arg(r.LastChunkSize));
    if (r.LastChunkSize > 0)
        ++r.ChunkCount;
    for (int k = 0; k < r.ChunkCount; ++k) {
        std::memcpy(r.chunkBuffer.data() + k * SplitImageResult::kSlotSize,
                    image.constData() + qsizetype(k) * SplitImageResult::kSlotSize, r.chunkLength(k));
        if (k == r.ChunkCount - 1)
            console.printToConsole(QStringLiteral("num of bytes last chunk: %1").arg(r.LastChunkSize));
    }
    return r;
}

} // namespace tovel
