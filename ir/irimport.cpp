#include "ir/irimport.h"

#include "core/regularfile.h"
#include "core/seams.h"
#include "ir/irlayout.h"
#include "ir/irsamples.h"
#include "ir/wavlayout.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tovel {

namespace {

// Bytes read between two event-loop turns: a few milliseconds of work.
constexpr qint64 kSliceBytes = 1 << 20;

QString refusalFor(const QString &fileName, const QString &reason)
{
    return QStringLiteral("The file %1 cannot be used as an impulse response: %2.").arg(fileName, reason);
}

QString joinedAsList(const QStringList &items)
{
    if (items.size() <= 1)
        return items.value(0);
    return QStringList(items.mid(0, items.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" and ")
           + items.last();
}

// "an 18-byte", "a 40-byte": the numbers said with a vowel first.
QString articleFor(quint32 n)
{
    const bool vowel = QString::number(n).startsWith(QLatin1Char('8')) || n == 11 || n == 18;
    return vowel ? QStringLiteral("an") : QStringLiteral("a");
}

// What was done beyond the plain reading of a mono 24- or 32-bit 48 kHz file with the samples
// at byte 44: one line each, for the summary.
// The units of the summary's numbers, how long the file's sound is (its frames at its rate),
// and how much of it the block left out.
QStringList lengthNotes(const WavLayout &wav, const IrBlock &block, const IrLayout &layout)
{
    QStringList notes;
    // The units of the lines above, and how long the file's sound is: its frames at its rate.
    const qint64 frames = wav.blockAlign > 0 ? wav.data.available / wav.blockAlign : 0;
    const double fileMs = wav.sampleRate > 0 ? frames * 1000.0 / wav.sampleRate : 0.0;
    notes.append(QStringLiteral("Size in bytes, sample rate in Hz: %1 samples, %2 ms of sound.")
                     .arg(frames)
                     .arg(fileMs, 0, 'f', 1));
    const double blockMs = layout.words * 1000.0 / kPedalSampleRate;
    if (block.fromFile >= layout.words && fileMs > blockMs + 0.05)
        notes.append(QStringLiteral("Cut: the pedal's block holds %1 words, %2 ms at %3 Hz; the file's last %4 ms "
                                    "were left out.")
                         .arg(layout.words)
                         .arg(blockMs, 0, 'f', 1)
                         .arg(kPedalSampleRate)
                         .arg(fileMs - blockMs, 0, 'f', 1));
    return notes;
}

QStringList importNotes(const WavLayout &wav, const IrSamples &samples, const IrBlock &block,
                        const IrLayout &layout)
{
    QStringList notes;
    if (!wav.canonical()) {
        QStringList past;
        if (wav.format.size != 16)
            past.append(QStringLiteral("%1 %2-byte %3format chunk")
                            .arg(articleFor(wav.format.size))
                            .arg(wav.format.size)
                            .arg(wav.audioFormat == 0xFFFE ? QStringLiteral("extensible ") : QString()));
        for (const QByteArray &id : wav.chunksSkipped())
            past.append(QStringLiteral("a %1 chunk").arg(QString::fromLatin1(id).trimmed()));
        notes.append(past.isEmpty()
                         ? QStringLiteral("Samples read from the data chunk at byte %1.").arg(wav.data.bodyOffset)
                         : QStringLiteral("Samples read from the data chunk at byte %1, past %2.")
                               .arg(wav.data.bodyOffset)
                               .arg(joinedAsList(past)));
    }
    if (wav.data.available < qint64(wav.data.size))
        notes.append(QStringLiteral("The data chunk announces %1 bytes; the file holds %2 of them.")
                         .arg(wav.data.size)
                         .arg(wav.data.available));
    if (samples.channels == 2)
        notes.append(QStringLiteral("Left channel used; the file is stereo."));
    else if (samples.channels > 2)
        notes.append(QStringLiteral("First channel used; the file has %1 channels.").arg(samples.channels));
    if (samples.floatingPoint)
        notes.append(QStringLiteral("%1 samples converted by value (1.0 = full scale).").arg(samples.encoding));
    else if (samples.integerBits != 24 && samples.integerBits != 32)
        notes.append(QStringLiteral("%1 samples converted to the pedal's 24-bit words.").arg(samples.encoding));
    if (samples.resampled)
        notes.append(QStringLiteral("Resampled from %1 Hz to %2 Hz.").arg(samples.sampleRate).arg(kPedalSampleRate));
    if (block.fromFile < layout.words)
        notes.append(QStringLiteral("The file gives %1 samples; the other %2 words of the %3-word block are silence.")
                         .arg(block.fromFile)
                         .arg(layout.words - block.fromFile)
                         .arg(layout.words));
    if (block.clipped > 0)
        notes.append(QStringLiteral("%1 samples beyond full scale were held at full scale.").arg(block.clipped));
    if (block.normalised)
        notes.append(QStringLiteral("Normalised: a gain of %1 dB brings the peak just below full scale.")
                         .arg(QString::asprintf("%+.1f", block.gainDb)));
    if (block.silent)
        notes.append(QStringLiteral("The block is silent: every word is zero."));
    return notes;
}

} // namespace

QString tracedIrBytes(const QString &label, const QByteArray &bytes, qint64 from, qint64 count)
{
    from = std::clamp<qint64>(from, 0, bytes.size());
    count = std::clamp<qint64>(count, 0, bytes.size() - from);
    const qint64 shown = std::min(count, kTracedIrBytes);
    QString line = label + QString::fromLatin1(bytes.mid(from, shown).toHex().toUpper());
    if (shown < count)
        line += QStringLiteral(" ... %1 more bytes, %2 in all").arg(count - shown).arg(count);
    return line;
}

IrImportResult importImpulseResponse(const QString &path, const IrLayout &layout, bool normalise,
                                     Console &console, Pacing &pacing,
                                     const std::function<std::optional<QString>()> &catalogueProgram)
{
    IrImportResult result;
    const QFileInfo info(path);
    const QString name = info.fileName();
    console.printToConsole(path);
    console.printToConsole(name);
    console.printToConsole(QString::number(info.size()));
    auto refuse = [&](const QString &reason) {
        result.outcome = IrImportResult::Outcome::Refused;
        result.refusal = refusalFor(name, reason);
        return result;
    };

    if (info.size() > kMaxIrFileBytes)
        return refuse(QStringLiteral("it holds %1 bytes; an impulse response file may hold at most 64 MB (%2 bytes)")
                          .arg(info.size())
                          .arg(kMaxIrFileBytes));
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty())
        return refuse(QStringLiteral("it cannot be read (%1)").arg(why));
    QByteArray bytes;
    bytes.reserve(info.size());
    while (!file.atEnd() && bytes.size() <= kMaxIrFileBytes) {
        const QByteArray slice = file.read(kSliceBytes);
        if (slice.isEmpty())
            break;
        bytes += slice;
        pacing.processEvents();
    }
    if (file.error() != QFileDevice::NoError)
        return refuse(QStringLiteral("it cannot be read (%1)").arg(file.errorString()));
    // The file grew between the look at its size and the reading.
    if (bytes.size() > kMaxIrFileBytes)
        return refuse(QStringLiteral("it holds more than 64 MB (%1 bytes)").arg(kMaxIrFileBytes));

    console.printToConsole(tracedIrBytes(QString(), bytes, 0, bytes.size()));
    if (bytes.isEmpty())
        return refuse(QStringLiteral("it is empty"));

    const WavLayout wav = readWavLayout(bytes);
    if (bytes.size() >= 4)
        console.printToConsole(QStringLiteral("ID: ") + QString::fromLatin1(wav.riffId));
    if (wav.hasRiffSize)
        console.printToConsole(QStringLiteral("chunk size: %1").arg(wav.riffSize));
    if (!wav.ok())
        return refuse(wav.faultText());

    console.printToConsole(QStringLiteral("Subchunk ID: ") + QString::fromLatin1(wav.format.id));
    console.printToConsole(QStringLiteral("Subchink size: %1").arg(wav.format.size));
    console.printToConsole(QStringLiteral("Audio format: %1").arg(wav.audioFormat));
    console.printToConsole(QStringLiteral("Num_of_channels: %1").arg(wav.channels));
    console.printToConsole(QStringLiteral("Sample_Rate: %1").arg(wav.sampleRate));
    console.printToConsole(QStringLiteral("Byte_Rate: %1").arg(wav.byteRate));
    console.printToConsole(QStringLiteral("Block align: %1").arg(wav.blockAlign));
    console.printToConsole(QStringLiteral("Bits_per_sample: %1").arg(wav.bitsPerSample));
    console.printToConsole(QStringLiteral("subchunk2size: %1").arg(wav.data.size));
    console.printToConsole(
        tracedIrBytes(QStringLiteral("Audio data: "), bytes, wav.data.bodyOffset, wav.data.available));

    const IrSamples samples = decodeIrSamples(bytes, layout.words);
    if (!samples.ok())
        return refuse(samples.error);
    if (samples.values.isEmpty())
        return refuse(QStringLiteral("its data chunk holds no samples"));

    // The bytes the block is taken from, as they lie in the file (all channels).
    const qint64 cutBytes = std::min<qint64>(qint64(layout.cutOutSamples) * wav.blockAlign, wav.data.available);
    console.printToConsole(tracedIrBytes(QStringLiteral("irdata: "), bytes, wav.data.bodyOffset, cutBytes));

    result.block = ConvertIrSamples(samples.values, layout.words, normalise, console);
    console.printToConsole(QStringLiteral("irdata swapped endianess: ") + result.block.text);

    const std::optional<QString> program = catalogueProgram();
    if (!program) {
        result.outcome = IrImportResult::Outcome::Stopped;
        return result;
    }
    result.program = spliceIrBlock(*program, layout, result.block.text);
    if (result.program.isEmpty()) {
        result.outcome = IrImportResult::Outcome::Refused;
        const QString effect = QLatin1String(layout.effect);
        result.refusal =
            program->size() < layout.resumeDigit()
                ? QStringLiteral("The program of %1 holds %2 hex digits, too few for its impulse-response "
                                 "block (digits %3 to %4): the impulse response was not loaded.")
                      .arg(effect)
                      .arg(program->size())
                      .arg(layout.keptDigits() + 1)
                      .arg(layout.resumeDigit())
                : QStringLiteral("The program of %1 holds no impulse-response block at digit %2 (the "
                                 "placeholder word %3 is not there): the impulse response was not loaded.")
                      .arg(effect)
                      .arg(layout.keptDigits() + 1)
                      .arg(QLatin1String(kIrPlaceholderWord));
        return result;
    }
    console.printToConsole(result.program);

    QStringList summary = {
        QStringLiteral("Selected file data:"),
        QStringLiteral("Name: ") + name,
        QStringLiteral("Size: %1").arg(bytes.size()),
        QStringLiteral("Sample rate: %1").arg(wav.sampleRate),
        QStringLiteral("Bits per sample: %1").arg(wav.bitsPerSample),
    };
    summary += importNotes(wav, samples, result.block, layout);
    summary += lengthNotes(wav, result.block, layout);
    result.summary = summary.join(QStringLiteral("\r\n"));
    result.outcome = IrImportResult::Outcome::Spliced;
    return result;
}

} // namespace tovel
