#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tovel {

// A chunk of a RIFF file: its four-character identifier, the size its header announces, and
// where its body lies in the file. `available` is the part of the body the file really holds
// (a writer that stopped early, or one that left the size at 0xFFFFFFFF, announces more).
struct WavChunk {
    QByteArray id;
    quint32 size = 0;
    qint64 headerOffset = 0;
    qint64 bodyOffset = 0;
    qint64 available = 0;
};

// The chunk structure of a WAV file, read by walking the chunks from the RIFF header on.
// Every field is read only where the file holds it. All numbers little-endian.
struct WavLayout {
    enum class Fault { None, NotRiffWave, NoFormatChunk, ShortFormatChunk, NoDataChunk };

    Fault fault = Fault::None;
    QByteArray riffId;    // the file's first four bytes, whatever they are
    quint32 riffSize = 0; // bytes 4..7
    bool hasRiffSize = false;
    QList<WavChunk> chunks; // every chunk after "WAVE", in file order

    // The format chunk ("fmt ") and its fields.
    WavChunk format;
    quint16 audioFormat = 0; // 1 PCM, 3 IEEE float, 0xFFFE extensible
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bitsPerSample = 0;
    // For the extensible format: the format code of its sub-format, 0 when absent.
    quint16 subFormat = 0;

    WavChunk data; // the first "data" chunk after the format chunk

    bool ok() const { return fault == Fault::None; }
    // A 16-byte format chunk right after the RIFF header and the data chunk right after it:
    // the layout whose fields sit at fixed offsets (samples from byte 44).
    bool canonical() const;
    // The chunks before the data chunk other than the format chunk, in order.
    QList<QByteArray> chunksSkipped() const;
    // "it is not a WAV file (...)" and the like: why the file cannot be read; empty when ok.
    QString faultText() const;
};

WavLayout readWavLayout(const QByteArray &file);

} // namespace tovel
