#include "ir/wavlayout.h"

#include <QtEndian>

#include <algorithm>

namespace tovel {

namespace {

quint16 le16(const QByteArray &b, qint64 at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 le32(const QByteArray &b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

constexpr quint16 kExtensible = 0xFFFE;
constexpr qint64 kRiffHeaderBytes = 12;
constexpr qint64 kChunkHeaderBytes = 8;
constexpr quint32 kFormatFieldBytes = 16;
// The extensible format's sub-format GUID starts 24 bytes into the chunk body; its first two
// bytes are the plain format code (1 PCM, 3 float).
constexpr qint64 kSubFormatAt = 24;

} // namespace

WavLayout readWavLayout(const QByteArray &file)
{
    WavLayout w;
    const qint64 size = file.size();
    w.riffId = file.left(4);
    if (size >= 8) {
        w.riffSize = le32(file, 4);
        w.hasRiffSize = true;
    }
    if (size < kRiffHeaderBytes || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE") {
        w.fault = WavLayout::Fault::NotRiffWave;
        return w;
    }

    bool haveFormat = false;
    bool haveData = false;
    // Each chunk: identifier, 32-bit body size, body, one pad byte when the size is odd.
    for (qint64 at = kRiffHeaderBytes; at + kChunkHeaderBytes <= size && !haveData;) {
        WavChunk c;
        c.id = file.mid(at, 4);
        c.size = le32(file, at + 4);
        c.headerOffset = at;
        c.bodyOffset = at + kChunkHeaderBytes;
        c.available = std::min<qint64>(c.size, size - c.bodyOffset);
        w.chunks.append(c);

        if (c.id == "fmt " && !haveFormat) {
            haveFormat = true;
            w.format = c;
            if (c.available < kFormatFieldBytes) {
                w.fault = WavLayout::Fault::ShortFormatChunk;
                return w;
            }
            const qint64 b = c.bodyOffset;
            w.audioFormat = le16(file, b);
            w.channels = le16(file, b + 2);
            w.sampleRate = le32(file, b + 4);
            w.byteRate = le32(file, b + 8);
            w.blockAlign = le16(file, b + 12);
            w.bitsPerSample = le16(file, b + 14);
            if (w.audioFormat == kExtensible && c.available >= kSubFormatAt + 2)
                w.subFormat = le16(file, b + kSubFormatAt);
        } else if (c.id == "data" && haveFormat) {
            haveData = true;
            w.data = c;
        }
        at = c.bodyOffset + qint64(c.size) + (c.size & 1);
    }
    if (!haveFormat)
        w.fault = WavLayout::Fault::NoFormatChunk;
    else if (!haveData)
        w.fault = WavLayout::Fault::NoDataChunk;
    return w;
}

bool WavLayout::canonical() const
{
    return ok() && format.headerOffset == kRiffHeaderBytes && format.size == kFormatFieldBytes
           && data.headerOffset == kRiffHeaderBytes + kChunkHeaderBytes + kFormatFieldBytes;
}

QList<QByteArray> WavLayout::chunksSkipped() const
{
    QList<QByteArray> skipped;
    for (const WavChunk &c : chunks) {
        if (c.headerOffset == data.headerOffset)
            break;
        if (c.headerOffset != format.headerOffset)
            skipped.append(c.id);
    }
    return skipped;
}

QString WavLayout::faultText() const
{
    switch (fault) {
    case Fault::None:
        return QString();
    case Fault::NotRiffWave:
        return QStringLiteral("it is not a WAV file (it does not begin with a RIFF header of type WAVE)");
    case Fault::NoFormatChunk:
        return QStringLiteral("it has no format chunk (\"fmt \"), so its samples cannot be read");
    case Fault::ShortFormatChunk:
        return QStringLiteral("its format chunk holds %1 bytes, fewer than the 16 every WAV format needs")
            .arg(format.available);
    case Fault::NoDataChunk:
        return QStringLiteral("it has no data chunk after its format chunk: it holds no samples");
    }
    return QString();
}

} // namespace tovel
