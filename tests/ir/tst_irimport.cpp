// The WAV import without the window: every WAV variant that impulse responses come in, made
// by sox from samples the test chose, must give the words those samples make.
#include "tests/ir/soxwav.h"
#include "tests/support/testseams.h"

#include "catalogue/catalogueresources.h"
#include "catalogue/effectresourcename.h"
#include "catalogue/resourceindex.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "ir/irblock.h"
#include "ir/irimport.h"
#include "ir/irlayout.h"
#include "ir/irplot.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

using namespace tovel;
using namespace tovel::test;

namespace {

// Where each loader's block sits, counted in program digits: digits kept before it, and the
// first digit after it (from 1).
struct Splice {
    int kept;
    int resume;
};
Splice spliceOf(const QString &effect)
{
    if (effect == QLatin1String("Amber Drive + IR Loader"))
        return {724, 6349};
    if (effect == QLatin1String("TRX + IR Loader"))
        return {740, 6365};
    if (effect == QLatin1String("Basic IR Loader"))
        return {460, 7757};
    return {788, 6413}; // Four Band EQ + IR Loader
}

QString catalogueProgram(const QString &effect)
{
    return QString::fromLatin1(readAll(catalogueResources().path(EffectResourceName(effect))));
}

QString expectedProgram(const QString &effect, const QList<qint32> &words)
{
    QString block;
    for (qint32 w : words)
        block += QString::number(quint32(w), 16).toUpper().rightJustified(8, QLatin1Char('0'));
    const QString program = catalogueProgram(effect);
    const Splice s = spliceOf(effect);
    return program.left(s.kept) + block + program.mid(s.resume - 1);
}

enum class Edit { None, JunkBeforeFormat, OddJunkBeforeFormat, ListBeforeData, TruncateData };

struct Fixture {
    QTemporaryDir dir;
    RecordingConsole console;
    VirtualClock clock;
    VirtualPacing pacing{clock};

    IrImportResult import(const QString &path, const QString &effect, bool normalise = false,
                          std::optional<QString> program = std::nullopt)
    {
        const IrLayout *layout = irLayoutFor(effect);
        if (!layout)
            qFatal("no layout for %s", qPrintable(effect));
        const QString text = program ? *program : catalogueProgram(effect);
        return importImpulseResponse(path, *layout, normalise, console, pacing,
                                     [&]() -> std::optional<QString> { return text; });
    }
    QString path(const QString &name) const { return dir.filePath(name); }
};

// Deterministic samples: `frames` frames of `channels`, raw values of the encoding. The first
// channel's first values are the ones whose conversion matters most: both ends of the scale.
QList<qint64> makeSamples(const SoxFormat &fmt, int frames, quint32 seed)
{
    QRandomGenerator rng(seed);
    QList<qint64> values;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < fmt.channels; ++c) {
            qint64 v = 0;
            if (fmt.encoding == QLatin1String("floating-point")) {
                const qint32 k = qint32(rng.bounded(1u << 24)) - (1 << 23);
                float x = float(k) / float(1 << 23);
                if (c == 0 && i == 0)
                    x = -1.0f;
                quint32 bits;
                std::memcpy(&bits, &x, 4);
                v = bits;
            } else if (fmt.encoding == QLatin1String("unsigned-integer")) {
                v = c == 0 && i == 0 ? 0 : rng.bounded(256);
            } else {
                const qint64 half = qint64(1) << (fmt.bits - 1);
                v = qint64(rng.generate64() % quint64(2 * half)) - half;
                if (c == 0 && i == 0)
                    v = -half;
                if (c == 0 && i == 1)
                    v = half - 1;
            }
            values.append(v);
        }
    }
    return values;
}

// The word a raw sample of the first channel gives: its 24 most significant bits, or, for
// float, its value over the 24-bit full scale.
qint32 expectedWord(const SoxFormat &fmt, qint64 raw)
{
    if (fmt.encoding == QLatin1String("floating-point")) {
        float x;
        const quint32 bits = quint32(raw);
        std::memcpy(&x, &bits, 4);
        return qint32(std::lround(double(x) * (1 << 23)));
    }
    if (fmt.encoding == QLatin1String("unsigned-integer"))
        return qint32((raw - 128) * (1 << 16));
    switch (fmt.bits) {
    case 16:
        return qint32(raw * 256);
    case 32:
        return qint32(raw >> 8);
    default:
        return qint32(raw);
    }
}

QString makeFixture(Fixture &f, const QString &name, const SoxFormat &fmt, int frames, Edit edit,
                    QList<qint64> *samples)
{
    *samples = makeSamples(fmt, frames, quint32(qHash(name)));
    const int width = fmt.bits / 8;
    const QString path = soxWav(f.dir.path(), name, packSamples(*samples, width), fmt);
    if (path.isEmpty())
        return path;
    QByteArray bytes = readAll(path);
    const qsizetype data = bytes.indexOf("data");
    switch (edit) {
    case Edit::None:
        break;
    case Edit::JunkBeforeFormat:
        bytes = insertChunk(bytes, 12, "JUNK", QByteArray(28, '\0'));
        break;
    case Edit::OddJunkBeforeFormat:
        bytes = insertChunk(bytes, 12, "JUNK", QByteArray(27, 'j'));
        break;
    case Edit::ListBeforeData:
        bytes = insertChunk(bytes, data, "LIST", QByteArray("INFOISFT\x0a\0\0\0sox 14.4.2", 22));
        break;
    case Edit::TruncateData:
        bytes.truncate(data + 8 + 600 * width * fmt.channels);
        break;
    }
    writeAll(path, bytes);
    return path;
}

SoxFormat format(const char *encoding, int bits, int channels = 1, const char *type = "wavpcm", int rate = 48000)
{
    SoxFormat f;
    f.encoding = QLatin1String(encoding);
    f.bits = bits;
    f.channels = channels;
    f.type = QLatin1String(type);
    f.rate = rate;
    return f;
}

} // namespace

Q_DECLARE_METATYPE(tovel::test::SoxFormat)
Q_DECLARE_METATYPE(Edit)

class TestIrImport : public QObject {
    Q_OBJECT

private slots:
    void variants_data();
    void variants();
    void conversionExamples_data();
    void conversionExamples();
    void resampledTo48k();
    void refusals_data();
    void refusals();
    void refusedUnread_data();
    void refusedUnread();
    void programWithoutRoomForItsBlock_data();
    void programWithoutRoomForItsBlock();
    void everyTruncationIsReadOrRefused();
    void convertIrSamples_data();
    void convertIrSamples();
    void plot_data();
    void plot();
    void tracedBytes_data();
    void tracedBytes();
    void largeFileIsTracedInPart();
};

void TestIrImport::variants_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<SoxFormat>("fmt");
    QTest::addColumn<int>("frames");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QStringList>("notes"); // the summary's lines after the first five

    const QString basic = QStringLiteral("Basic IR Loader");
    const QString amber = QStringLiteral("Amber Drive + IR Loader");
    QTest::newRow("canonical-24-bit-1000-samples-first-912-used")
        << basic << format("signed-integer", 24) << 1000 << Edit::None << QStringList();
    QTest::newRow("canonical-32-bit-low-byte-dropped")
        << amber << format("signed-integer", 32) << 800 << Edit::None << QStringList();
    QTest::newRow("exactly-703-samples")
        << amber << format("signed-integer", 24) << 703 << Edit::None << QStringList();
    QTest::newRow("trx-loader") << QStringLiteral("TRX + IR Loader") << format("signed-integer", 24) << 900
                                << Edit::None << QStringList();
    QTest::newRow("equaliser-loader") << QStringLiteral("Four Band EQ + IR Loader") << format("signed-integer", 32)
                                      << 703 << Edit::None << QStringList();
    QTest::newRow("junk-chunk-before-format")
        << basic << format("signed-integer", 24) << 1000 << Edit::JunkBeforeFormat
        << QStringList{"Samples read from the data chunk at byte 80, past a JUNK chunk."};
    QTest::newRow("odd-sized-chunk-with-pad-byte")
        << basic << format("signed-integer", 24) << 1000 << Edit::OddJunkBeforeFormat
        << QStringList{"Samples read from the data chunk at byte 80, past a JUNK chunk."};
    QTest::newRow("extensible-format-as-sox-writes-24-bit")
        << basic << format("signed-integer", 24, 1, "wav") << 1000 << Edit::None
        << QStringList{"Samples read from the data chunk at byte 80, past a 40-byte extensible format "
                       "chunk and a fact chunk."};
    QTest::newRow("list-chunk-before-data")
        << basic << format("signed-integer", 24) << 1000 << Edit::ListBeforeData
        << QStringList{"Samples read from the data chunk at byte 74, past a LIST chunk."};
    QTest::newRow("stereo-left-channel-used")
        << basic << format("signed-integer", 24, 2, "wav") << 1000 << Edit::None
        << QStringList{"Samples read from the data chunk at byte 80, past a 40-byte extensible format "
                       "chunk and a fact chunk.",
                       "Left channel used; the file is stereo."};
    QTest::newRow("six-channels-first-used")
        << basic << format("signed-integer", 16, 6, "wav") << 1000 << Edit::None
        << QStringList{"Samples read from the data chunk at byte 80, past a 40-byte extensible format "
                       "chunk and a fact chunk.",
                       "First channel used; the file has 6 channels.",
                       "16-bit integer samples converted to the pedal's 24-bit words."};
    QTest::newRow("float-converted-by-value")
        << basic << format("floating-point", 32, 1, "wav") << 1000 << Edit::None
        << QStringList{"Samples read from the data chunk at byte 58, past an 18-byte format chunk and a fact chunk.",
                       "32-bit float samples converted by value (1.0 = full scale)."};
    QTest::newRow("16-bit") << basic << format("signed-integer", 16) << 1000 << Edit::None
                            << QStringList{"16-bit integer samples converted to the pedal's 24-bit words."};
    QTest::newRow("8-bit-unsigned") << amber << format("unsigned-integer", 8) << 1000 << Edit::None
                                    << QStringList{"8-bit integer samples converted to the pedal's 24-bit words."};
    QTest::newRow("half-a-second-cut-to-19-ms")
        << basic << format("signed-integer", 24) << 24000 << Edit::None << QStringList();
    QTest::newRow("500-samples-padded-with-silence")
        << basic << format("signed-integer", 24) << 500 << Edit::None
        << QStringList{"The file gives 500 samples; the other 412 words of the 912-word block are silence."};
    QTest::newRow("data-chunk-cut-short")
        << basic << format("signed-integer", 24) << 1000 << Edit::TruncateData
        << QStringList{"The data chunk announces 3000 bytes; the file holds 1800 of them.",
                       "The file gives 600 samples; the other 312 words of the 912-word block are silence."};
}

void TestIrImport::variants()
{
    QFETCH(QString, effect);
    QFETCH(SoxFormat, fmt);
    QFETCH(int, frames);
    QFETCH(Edit, edit);
    QFETCH(QStringList, notes);

    Fixture f;
    QList<qint64> samples;
    const QString path = makeFixture(f, QStringLiteral("ir.wav"), fmt, frames, edit, &samples);
    QVERIFY(!path.isEmpty());
    const int words = irLayoutFor(effect)->words;
    const int given = edit == Edit::TruncateData ? 600 : frames;
    QList<qint32> expected;
    for (int i = 0; i < words; ++i)
        expected.append(i < given ? expectedWord(fmt, samples[qsizetype(i) * fmt.channels]) : 0);

    const IrImportResult r = f.import(path, effect);
    QCOMPARE(r.refusal, QString());
    QCOMPARE(int(r.outcome), int(IrImportResult::Outcome::Spliced));
    QCOMPARE(r.block.words, expected);
    QCOMPARE(r.program, expectedProgram(effect, expected));
    QCOMPARE(r.program.size(), catalogueProgram(effect).size());
    const QStringList summary = r.summary.split(QStringLiteral("\r\n"));
    QCOMPARE(summary.mid(0, 5),
             (QStringList{"Selected file data:", "Name: ir.wav",
                          QStringLiteral("Size: %1").arg(QFileInfo(path).size()),
                          QStringLiteral("Sample rate: %1").arg(fmt.rate),
                          QStringLiteral("Bits per sample: %1").arg(fmt.bits)}));
    QCOMPARE(summary.mid(5, notes.size()), notes);
    // Then the units and the sound's length, and the cut where the file holds more than the
    // block; half a second of sound into the 912-word block said as 19.0 ms kept.
    const double fileMs = given * 1000.0 / fmt.rate;
    const double blockMs = words * 1000.0 / 48000;
    QStringList length{QStringLiteral("Size in bytes, sample rate in Hz: %1 samples, %2 ms of sound.")
                           .arg(given)
                           .arg(fileMs, 0, 'f', 1)};
    if (fileMs > blockMs + 0.05)
        length.append(QStringLiteral("Cut: the pedal's block holds %1 words, %2 ms at 48000 Hz; the file's last %3 ms "
                                     "were left out.")
                          .arg(words)
                          .arg(blockMs, 0, 'f', 1)
                          .arg(fileMs - blockMs, 0, 'f', 1));
    QCOMPARE(summary.mid(5 + notes.size()), length);
}

void TestIrImport::conversionExamples_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QByteArray>("sampleBytes"); // one sample, in file order
    QTest::addColumn<QString>("word");
    QTest::newRow("24-bit-most-negative") << 24 << QByteArray::fromHex("000080") << "FF800000";
    QTest::newRow("24-bit-positive") << 24 << QByteArray::fromHex("01007F") << "007F0001";
    QTest::newRow("32-bit-least-significant-byte-dropped") << 32 << QByteArray::fromHex("12345678") << "00785634";
    QTest::newRow("32-bit-negative") << 32 << QByteArray::fromHex("FFFFFF80") << "FF80FFFF";
}

void TestIrImport::conversionExamples()
{
    QFETCH(int, bits);
    QFETCH(QByteArray, sampleBytes);
    QFETCH(QString, word);
    Fixture f;
    const QString path = soxWav(f.dir.path(), QStringLiteral("one.wav"), sampleBytes, format("signed-integer", bits));
    QVERIFY(!path.isEmpty());
    const IrImportResult r = f.import(path, QStringLiteral("Basic IR Loader"));
    QCOMPARE(r.block.text, word + QString(8 * 911, QLatin1Char('0')));
    QVERIFY(f.console.lines.contains(word));
}

// A 1 kHz sine at 44.1 kHz comes out as the same sine at 48 kHz: resampled, not played
// faster. The converter's settling at the start is left out of the comparison.
void TestIrImport::resampledTo48k()
{
    Fixture f;
    constexpr double kAmplitude = 0.5;
    QList<qint64> samples;
    for (int i = 0; i < 4410; ++i)
        samples.append(std::lround(kAmplitude * std::sin(2 * std::numbers::pi * 1000 * i / 44100.0) * (1 << 23)));
    const QString path = soxWav(f.dir.path(), QStringLiteral("441.wav"), packSamples(samples, 3),
                                format("signed-integer", 24, 1, "wavpcm", 44100));
    QVERIFY(!path.isEmpty());
    const IrImportResult r = f.import(path, QStringLiteral("Basic IR Loader"));
    QCOMPARE(int(r.outcome), int(IrImportResult::Outcome::Spliced));
    QCOMPARE(r.block.fromFile, 912);
    double worst = 0;
    for (int n = 48; n < 912; ++n) {
        const double want = kAmplitude * std::sin(2 * std::numbers::pi * 1000 * n / 48000.0);
        worst = std::max(worst, std::fabs(r.block.words[n] / 8388608.0 - want));
    }
    QVERIFY2(worst < 1e-3, qPrintable(QString::number(worst)));
    QVERIFY(r.summary.contains(QStringLiteral("\r\nResampled from 44100 Hz to 48000 Hz.")));
    QVERIFY(r.summary.contains(QStringLiteral("\r\nSample rate: 44100\r\n")));
}

void TestIrImport::refusals_data()
{
    QTest::addColumn<QByteArray>("bytes"); // written as x.wav; empty name: no file at all
    QTest::addColumn<QString>("reason");   // after "The file x.wav cannot be used as an impulse response: "

    const QByteArray header = QByteArray("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0", 20)
                              + QByteArray::fromHex("0100010080BB0000808302000300" "1800");
    QTest::newRow("text-file-renamed-wav")
        << QByteArray("This is not a sound.\n")
        << "it is not a WAV file (it does not begin with a RIFF header of type WAVE).";
    QTest::newRow("empty-file") << QByteArray() << "it is empty.";
    QTest::newRow("no-data-chunk")
        << header << "it has no data chunk after its format chunk: it holds no samples.";
    QTest::newRow("format-chunk-of-8-bytes")
        << QByteArray("RIFF\x1c\0\0\0WAVEfmt \x08\0\0\0", 20) + QByteArray::fromHex("0100010080BB0000")
        << "its format chunk holds 8 bytes, fewer than the 16 every WAV format needs.";
    QTest::newRow("no-format-chunk")
        << QByteArray("RIFF\x10\0\0\0WAVEdata\x03\0\0\0\x01\x02\x03\0", 24)
        << "it has no format chunk (\"fmt \"), so its samples cannot be read.";
    QTest::newRow("data-chunk-without-samples")
        << header + QByteArray("data\0\0\0\0", 8) << "its data chunk holds no samples.";
}

void TestIrImport::refusals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    Fixture f;
    const QString path = f.path(QStringLiteral("x.wav"));
    writeAll(path, bytes);
    const IrImportResult r = f.import(path, QStringLiteral("Basic IR Loader"));
    QCOMPARE(int(r.outcome), int(IrImportResult::Outcome::Refused));
    QCOMPARE(r.refusal, QStringLiteral("The file x.wav cannot be used as an impulse response: ") + reason);
    QVERIFY(r.program.isEmpty());
    // The trace of what was read stays, as far as the file went.
    QCOMPARE(f.console.lines.mid(0, 4),
             (QStringList{path, "x.wav", QString::number(bytes.size()), QString::fromLatin1(bytes.toHex().toUpper())}));
}

// Files that are not read at all: too large, or gone between the dialog and the reading. Only
// the path, the name and the size are traced.
void TestIrImport::refusedUnread_data()
{
    QTest::addColumn<qint64>("size"); // -1: no file
    QTest::addColumn<QString>("reason");
    QTest::newRow("over-64-mb")
        << qint64(64 * 1024 * 1024 + 1)
        << "it holds 67108865 bytes; an impulse response file may hold at most 64 MB (67108864 bytes).";
    QTest::newRow("gone-before-reading") << qint64(-1) << "it cannot be read (No such file or directory).";
}

void TestIrImport::refusedUnread()
{
    QFETCH(qint64, size);
    QFETCH(QString, reason);
    Fixture f;
    const QString path = f.path(QStringLiteral("big.wav"));
    if (size >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size)); // sparse: costs no disc
    }
    const IrImportResult r = f.import(path, QStringLiteral("Basic IR Loader"));
    QCOMPARE(int(r.outcome), int(IrImportResult::Outcome::Refused));
    QCOMPARE(r.refusal, QStringLiteral("The file big.wav cannot be used as an impulse response: ") + reason);
    QCOMPARE(f.console.lines, (QStringList{path, "big.wav", QString::number(std::max<qint64>(size, 0))}));
}

void TestIrImport::programWithoutRoomForItsBlock_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("too-short") << "Basic IR Loader" << "0012345678"
                               << "The program of Basic IR Loader holds 10 hex digits, too few for its "
                                  "impulse-response block (digits 461 to 7756): the impulse response was not loaded.";
    // The equaliser loader's block is placed by the editor, not the maker: another catalogue's
    // program of that name holds code there, which the import must not overwrite.
    QTest::newRow("equaliser-loader-without-placeholder")
        << "Four Band EQ + IR Loader" << QString(8192, QLatin1Char('A'))
        << "The program of Four Band EQ + IR Loader holds no impulse-response block at digit 789 (the "
           "placeholder word FF800000 is not there): the impulse response was not loaded.";
}

void TestIrImport::programWithoutRoomForItsBlock()
{
    QFETCH(QString, effect);
    QFETCH(QString, program);
    QFETCH(QString, refusal);
    Fixture f;
    const QString path = soxWav(f.dir.path(), QStringLiteral("a.wav"), QByteArray(300, '\x11'),
                                format("signed-integer", 24));
    const IrImportResult r = f.import(path, effect, false, program);
    QCOMPARE(int(r.outcome), int(IrImportResult::Outcome::Refused));
    QCOMPARE(r.refusal, refusal);
    QVERIFY(r.program.isEmpty());
}

// Cut anywhere, a file is read as far as it holds whole samples, or refused: never read past
// its end (the sanitizer build would see it) and never spliced with a short block.
void TestIrImport::everyTruncationIsReadOrRefused()
{
    Fixture f;
    QList<qint64> samples;
    const QString made = makeFixture(f, QStringLiteral("whole.wav"), format("signed-integer", 24, 2, "wav"), 40,
                                     Edit::None, &samples);
    const QByteArray whole = readAll(made);
    constexpr int kDataBody = 80;
    constexpr int kFrameBytes = 6;
    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        const QString path = f.path(QStringLiteral("cut.wav"));
        writeAll(path, whole.left(cut));
        f.console.lines.clear();
        const IrImportResult r = f.import(path, QStringLiteral("Amber Drive + IR Loader"));
        const qsizetype frames = cut < kDataBody ? 0 : (cut - kDataBody) / kFrameBytes;
        if (frames == 0) {
            QVERIFY2(r.outcome == IrImportResult::Outcome::Refused, qPrintable(QString::number(cut)));
        } else {
            QVERIFY2(r.outcome == IrImportResult::Outcome::Spliced, qPrintable(QString::number(cut)));
            QCOMPARE(r.block.fromFile, int(frames));
            QCOMPARE(r.program.size(), catalogueProgram(QStringLiteral("Amber Drive + IR Loader")).size());
        }
    }
}

void TestIrImport::convertIrSamples_data()
{
    QTest::addColumn<QList<double>>("samples");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("normalise");
    QTest::addColumn<QList<qint32>>("words");
    QTest::addColumn<int>("clipped");
    QTest::addColumn<double>("gainDb"); // NaN: not normalised

    const double nan = std::nan("");
    QTest::newRow("shorter-than-block-padded") << QList<double>{1, -2, 3} << 5 << false
                                               << QList<qint32>{1, -2, 3, 0, 0} << 0 << nan;
    QTest::newRow("longer-than-block-cut") << QList<double>{1, 2, 3, 4, 5, 6} << 4 << false
                                           << QList<qint32>{1, 2, 3, 4} << 0 << nan;
    QTest::newRow("float-full-scale-held-quietly")
        << QList<double>{8388608.0, -8388608.0} << 2 << false << QList<qint32>{0x7FFFFF, -0x800000} << 0 << nan;
    QTest::newRow("beyond-full-scale-clipped")
        << QList<double>{9e6, -9e6, 0.25} << 3 << false << QList<qint32>{0x7FFFFF, -0x800000, 0} << 2 << nan;
    QTest::newRow("normalise-raises-a-quiet-block")
        << QList<double>{1000, -2000, 500} << 4 << true << QList<qint32>{4194304, -8388607, 2097152, 0} << 0
        << 20 * std::log10(8388607.0 / 2000);
    QTest::newRow("normalise-lowers-a-loud-float-block-instead-of-clipping")
        << QList<double>{1.5 * 8388608, -0.75 * 8388608} << 2 << true << QList<qint32>{8388607, -4194304} << 0
        << 20 * std::log10(8388607.0 / (1.5 * 8388608));
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("float-nan-plays-as-silence")
        << QList<double>{nan, 1000, nan} << 3 << false << QList<qint32>{0, 1000, 0} << 0 << nan;
    QTest::newRow("float-infinities-clipped")
        << QList<double>{inf, -inf, 5} << 3 << false << QList<qint32>{0x7FFFFF, -0x800000, 5} << 2 << nan;
    QTest::newRow("normalise-to-the-finite-peak-past-nan-and-infinity")
        << QList<double>{nan, inf, -2000, 1000} << 4 << true << QList<qint32>{0, 0x7FFFFF, -8388607, 4194304} << 1
        << 20 * std::log10(8388607.0 / 2000);
    QTest::newRow("normalise-leaves-silence-alone")
        << QList<double>{0, 0} << 2 << true << QList<qint32>{0, 0} << 0 << nan;
}

void TestIrImport::convertIrSamples()
{
    QFETCH(QList<double>, samples);
    QFETCH(int, n);
    QFETCH(bool, normalise);
    QFETCH(QList<qint32>, words);
    QFETCH(int, clipped);
    QFETCH(double, gainDb);
    RecordingConsole console;
    const IrBlock b = ConvertIrSamples(samples, n, normalise, console);
    QCOMPARE(b.words, words);
    QCOMPARE(b.clipped, clipped);
    QCOMPARE(b.normalised, !std::isnan(gainDb));
    if (b.normalised)
        QVERIFY(std::fabs(b.gainDb - gainDb) < 1e-9);
    QStringList hex;
    for (qint32 w : words)
        hex.append(QString::number(quint32(w), 16).toUpper().rightJustified(8, QLatin1Char('0')));
    QCOMPARE(console.lines, hex);
    QCOMPARE(b.text, hex.join(QString()));
}

void TestIrImport::plot_data()
{
    QTest::addColumn<QList<qint32>>("words");
    QTest::addColumn<QString>("response"); // the magnitude every plotted frequency must show

    QList<qint32> impulse(912, 0);
    impulse[0] = -0x800000;
    QList<qint32> delayedHalf(703, 0);
    delayedHalf[40] = 0x400000;
    QTest::newRow("full-scale-impulse-is-flat-at-0-dB") << impulse << "0";
    QTest::newRow("delayed-half-impulse-is-flat-at-minus-6-dB") << delayedHalf << "-6.0206";
    QTest::newRow("two-tap-average-falls-as-a-cosine")
        << QList<qint32>{0x400000, 0x400000} << "20*log10(cos(pi*f/48000))";
    QTest::newRow("silence-at-the-floor") << QList<qint32>(912, 0) << "-120";
}

void TestIrImport::plot()
{
    QFETCH(QList<qint32>, words);
    QFETCH(QString, response);
    const IrPlot p = makeIrPlot(words, 100);
    QCOMPARE(p.frequencies.size(), 100);
    QCOMPARE(p.frequencies.first(), 20.0);
    QVERIFY(std::fabs(p.frequencies.last() - 20000) < 1e-6);
    // Evenly spaced on a log axis: one ratio from each point to the next.
    QVERIFY(std::fabs(p.frequencies[1] / p.frequencies[0] - p.frequencies[99] / p.frequencies[98]) < 1e-9);
    QCOMPARE(p.waveform.size(), words.size());
    QCOMPARE(p.waveform.first(), words.first() / 8388608.0);
    for (qsizetype i = 0; i < p.frequencies.size(); ++i) {
        const double f = p.frequencies[i];
        const double want = response.startsWith(QLatin1String("20*"))
                                ? 20 * std::log10(std::cos(std::numbers::pi * f / 48000))
                                : response.toDouble();
        QVERIFY2(std::fabs(p.magnitudeDb[i] - want) < 1e-3,
                 qPrintable(QStringLiteral("%1 Hz: %2 dB").arg(f).arg(p.magnitudeDb[i])));
    }
}

void TestIrImport::tracedBytes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("shown"); // bytes shown as digits
    QTest::addColumn<QString>("note");
    const int limit = int(kTracedIrBytes);
    QTest::newRow("short-run-whole") << 100 << 10 << 50 << 50 << "";
    QTest::newRow("exactly-the-limit-whole") << limit + 44 << 44 << limit << limit << "";
    QTest::newRow("one-byte-past-the-limit") << limit + 45 << 44 << limit + 1 << limit
                                             << QStringLiteral(" ... 1 more bytes, %1 in all").arg(limit + 1);
    QTest::newRow("a-large-file-counted") << 3 * limit << 0 << 3 * limit << limit
                                          << QStringLiteral(" ... %1 more bytes, %2 in all").arg(2 * limit).arg(3 * limit);
    QTest::newRow("run-past-the-end-stops-at-it") << 60 << 44 << 1000 << 16 << "";
    QTest::newRow("start-past-the-end-shows-nothing") << 10 << 44 << 1000 << 0 << "";
}

void TestIrImport::tracedBytes()
{
    QFETCH(int, size);
    QFETCH(int, from);
    QFETCH(int, count);
    QFETCH(int, shown);
    QFETCH(QString, note);
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 3);
    const QString want = QStringLiteral("Audio data: ")
                         + QString::fromLatin1(bytes.mid(std::min(from, size), shown).toHex().toUpper()) + note;
    QCOMPARE(tracedIrBytes(QStringLiteral("Audio data: "), bytes, from, count), want);
}

void TestIrImport::largeFileIsTracedInPart()
{
    // 40,000 24-bit samples: 120,044 bytes, beyond what the console's hex lines show.
    Fixture f;
    QByteArray raw(3 * 40000, Qt::Uninitialized);
    for (int i = 0; i < raw.size(); ++i)
        raw[i] = char(i * 13 + 5);
    const QString path = soxWav(f.dir.path(), QStringLiteral("long.wav"), raw, format("signed-integer", 24));
    const QByteArray file = readAll(path);
    QCOMPARE(file.size(), 120044);
    const IrImportResult r = f.import(path, QStringLiteral("Basic IR Loader"));
    QCOMPARE(int(r.outcome), int(IrImportResult::Outcome::Spliced));

    const QStringList &lines = f.console.lines;
    const auto hex = [&](qint64 from, qint64 count) {
        return QString::fromLatin1(file.mid(from, count).toHex().toUpper());
    };
    QCOMPARE(lines.value(3), hex(0, kTracedIrBytes) + QStringLiteral(" ... %1 more bytes, 120044 in all")
                                                        .arg(120044 - kTracedIrBytes));
    const QString audio = QStringLiteral("Audio data: ") + hex(44, kTracedIrBytes)
                          + QStringLiteral(" ... %1 more bytes, 120000 in all").arg(120000 - kTracedIrBytes);
    QVERIFY(lines.contains(audio));
    // The samples the block is made of are traced whole.
    QVERIFY(lines.contains(QStringLiteral("irdata: ") + hex(44, 912 * 3)));
}

QTEST_GUILESS_MAIN(TestIrImport)
#include "tst_irimport.moc"
