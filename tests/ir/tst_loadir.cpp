// File > Load IR through the main window, on the virtual pedal: the console trace and the
// spliced program of a plain file checked against the import's rules worked out here from the
// file's bytes, the summary with its picture, the upload of the result, and what the user can
// do around it.
#include "tests/ir/soxwav.h"
#include "tests/support/editorfixture.h"

#include "catalogue/catalogueresources.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "catalogue/resourceindex.h"

#include <QAction>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kFilter = QStringLiteral("Wave Files (*.wav)|*.wav");
const QString kBasic = QStringLiteral("Basic IR Loader");
const QString kAmber = QStringLiteral("Amber Drive + IR Loader");

QString catalogueProgram(const QString &effect)
{
    return QString::fromLatin1(readAll(catalogueResources().path(EffectResourceName(effect))));
}

// One loader's numbers in program digits: digits cut out of the file for 24 and 32 bits,
// words converted, digits kept before the block, first digit after it (from 1).
struct Rule {
    int cut24, cut32, words, kept, resume;
};
Rule ruleOf(const QString &effect)
{
    if (effect == QLatin1String("Amber Drive + IR Loader"))
        return {4638, 6184, 703, 724, 6349};
    if (effect == QLatin1String("TRX + IR Loader"))
        return {4638, 6184, 703, 740, 6365};
    if (effect == QLatin1String("Basic IR Loader"))
        return {5472, 7296, 912, 460, 7757};
    return {4638, 6184, 703, 788, 6413}; // Four Band EQ + IR Loader
}

// The whole trace of a plain WAV file, by the digit rules: the working text from the first
// "666D7420", fields at fixed offsets of it, the samples from its digit 89.
struct Trace {
    QStringList lines;
    QString program;
};
Trace traceOf(const QString &path, const QString &effect)
{
    const QByteArray bytes = readAll(path);
    const QString hex = QString::fromLatin1(bytes.toHex().toUpper());
    const QString working = hex.left(24) + hex.mid(hex.indexOf(QLatin1String("666D7420")));
    auto field = [&](int offset, int size) {
        quint64 v = 0;
        for (int b = size - 1; b >= 0; --b)
            v = v * 256 + working.mid(2 * (offset + b), 2).toUInt(nullptr, 16);
        return QString::number(v);
    };
    const int bits = field(34, 2).toInt();
    const Rule rule = ruleOf(effect);
    const QString cut = working.mid(88, bits == 24 ? rule.cut24 : rule.cut32);
    QStringList words;
    const int digits = bits / 4;
    for (int i = 0; i < rule.words; ++i) {
        const QString s = cut.mid(i * digits, digits);
        const QString b0 = s.mid(0, 2), b1 = s.mid(2, 2), b2 = s.mid(4, 2), b3 = s.mid(6, 2);
        const QString top = bits == 24 ? b2 : b3;
        const QString sign = top.toUInt(nullptr, 16) >= 0x80 ? QStringLiteral("FF") : QStringLiteral("00");
        words.append(bits == 24 ? sign + b2 + b1 + b0 : sign + b3 + b2 + b1);
    }
    const QString converted = words.join(QString());
    const QString program = catalogueProgram(effect);
    Trace t;
    t.program = program.left(rule.kept) + converted + program.mid(rule.resume - 1);
    t.lines = QStringList{path,
                          QFileInfo(path).fileName(),
                          QString::number(bytes.size()),
                          hex,
                          QStringLiteral("ID: ") + QString::fromLatin1(bytes.left(4)),
                          QStringLiteral("chunk size: ") + field(4, 4),
                          QStringLiteral("Subchunk ID: ") + QString::fromLatin1(bytes.mid(12, 4)),
                          QStringLiteral("Subchink size: ") + field(16, 4),
                          QStringLiteral("Audio format: ") + field(20, 2),
                          QStringLiteral("Num_of_channels: ") + field(22, 2),
                          QStringLiteral("Sample_Rate: ") + field(24, 4),
                          QStringLiteral("Byte_Rate: ") + field(28, 4),
                          QStringLiteral("Block align: ") + field(32, 2),
                          QStringLiteral("Bits_per_sample: ") + field(34, 2),
                          QStringLiteral("subchunk2size: ") + field(40, 4),
                          QStringLiteral("Audio data: ") + working.mid(88),
                          QStringLiteral("irdata: ") + cut}
              + words
              + QStringList{QStringLiteral("irdata swapped endianess: ") + converted, t.program};
    return t;
}

int categoryRow(const QString &caption)
{
    for (int i = 0; i < int(CategoryTable.size()); ++i)
        if (caption == QLatin1String(CategoryTable[i].caption))
            return i;
    return -1;
}

// The editor connected to its pedal.
struct LoadIrFixture : EditorFixture {
    LoadIrFixture()
    {
        startOnVirtualPedal();
        main().menuConnect->trigger();
        console().btnClearClick();
    }
    void select(const QString &category, const QString &effect)
    {
        QListWidget *categories = main().lstCategory;
        emit categories->itemClicked(categories->item(categoryRow(category)));
        const auto found = main().lstEffects->findItems(effect, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(effect));
        emit main().lstEffects->itemClicked(found.first());
        console().btnClearClick();
        prompts.messages.clear();
    }
    void selectLoader(const QString &effect) { select(QStringLiteral("Impulse Response"), effect); }
    void loadIr(const QString &path)
    {
        prompts.scriptFile(path);
        click(main().menuLoadIR);
    }
    void upload()
    {
        prompts.scriptAnswer(Prompts::Answer::Yes);
        main().btnUpload->click();
    }
    // A plain file of random 24- or 32-bit samples.
    QString plainWav(const QString &name, int bits, int frames, quint32 seed = 1)
    {
        QRandomGenerator rng(seed);
        QByteArray raw;
        for (int i = 0; i < frames * bits / 8; ++i)
            raw.append(char(rng.bounded(256)));
        SoxFormat fmt;
        fmt.bits = bits;
        return soxWav(folders.root(), name, raw, fmt);
    }
};

QByteArray programBytes(const QString &hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

} // namespace

class TestLoadIr : public QObject {
    Q_OBJECT

private slots:
    void plainFile_data();
    void plainFile();
    void uploadSendsTheImpulseOnlyForItsLoader();
    void cancelChangesNothing();
    void refusedFileKeepsThePreparedImpulse();
    void normaliseIsRemembered();
    void effectWithoutImpulseResponse();
    void clicksDuringTheImport();
};

void TestLoadIr::plainFile_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("name");
    QTest::newRow("amber-24-bit") << kAmber << 24 << "cab.wav";
    QTest::newRow("trx-32-bit") << "TRX + IR Loader" << 32 << "cab.wav";
    QTest::newRow("basic-24-bit-upper-case-extension") << kBasic << 24 << "CAB 4X12.WAV";
    QTest::newRow("basic-32-bit") << kBasic << 32 << "cab.wav";
    QTest::newRow("equaliser-24-bit") << "Four Band EQ + IR Loader" << 24 << "cab.wav";
}

void TestLoadIr::plainFile()
{
    QFETCH(QString, effect);
    QFETCH(int, bits);
    QFETCH(QString, name);
    LoadIrFixture f;
    f.selectLoader(effect);
    const QString path = f.plainWav(name, bits, 1000);
    const Trace want = traceOf(path, effect);

    f.loadIr(path);
    QCOMPARE(f.prompts.filters, QStringList{kFilter});
    QCOMPARE(f.prompts.surprises, QStringList());
    QCOMPARE(f.consoleLines(), want.lines);
    QCOMPARE(f.app->session().ir.IrProgramText, want.program);
    QCOMPARE(f.app->session().ir.IrProgramEffect, effect);
    const QString catalogue = catalogueProgram(effect);
    QCOMPARE(want.program.size(), catalogue.size());
    QCOMPARE(want.program.left(6), catalogue.left(6)); // the command byte and the length field

    // The five lines, then what the numbers are in and how much of the sound the block kept.
    QCOMPARE(f.prompts.messages.size(), 1);
    const QString five = QStringLiteral("Selected file data:\r\nName: %1\r\nSize: %2\r\nSample rate: 48000\r\n"
                                        "Bits per sample: %3\r\nSize in bytes, sample rate in Hz: ")
                             .arg(name)
                             .arg(QFileInfo(path).size())
                             .arg(bits);
    QVERIFY2(f.prompts.messages.first().startsWith(five), qPrintable(f.prompts.messages.first()));
    QCOMPARE(f.prompts.pictures.size(), 1);
    QCOMPARE(f.prompts.pictures[0].message, 0);
    const QImage picture = QImage::fromData(f.prompts.pictures[0].png, "PNG");
    QCOMPARE(picture.size(), QSize(440, 330));
    // Both curves are drawn: the waveform's blue and the response's orange.
    int blue = 0, orange = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            blue += c.blue() > 150 && c.red() < 100;
            orange += c.red() > 150 && c.blue() < 100;
        }
    QVERIFY2(blue > 200 && orange > 200, qPrintable(QStringLiteral("%1 %2").arg(blue).arg(orange)));
}

void TestLoadIr::uploadSendsTheImpulseOnlyForItsLoader()
{
    LoadIrFixture f;
    f.selectLoader(kBasic);
    f.loadIr(f.plainWav(QStringLiteral("cab.wav"), 24, 1000));
    const QString spliced = f.app->session().ir.IrProgramText;
    QVERIFY(spliced != catalogueProgram(kBasic));

    f.upload();
    QCOMPARE(f.pedal().firmware().program(), programBytes(spliced));

    f.selectLoader(kAmber);
    f.upload();
    QCOMPARE(f.pedal().firmware().program(), programBytes(catalogueProgram(kAmber)));

    f.selectLoader(kBasic);
    f.upload();
    QCOMPARE(f.pedal().firmware().program(), programBytes(spliced));
    QCOMPARE(f.prompts.surprises, QStringList());
}

void TestLoadIr::cancelChangesNothing()
{
    LoadIrFixture f;
    f.selectLoader(kBasic);
    f.app->session().ir.IrProgramText = QStringLiteral("00ABCD");
    f.app->session().ir.IrProgramEffect = kBasic;
    f.loadIr(QString());
    QCOMPARE(f.prompts.filters, QStringList{kFilter});
    QCOMPARE(f.consoleLines(), QStringList());
    QCOMPARE(f.prompts.messages, QStringList());
    QCOMPARE(f.app->session().ir.IrProgramText, QStringLiteral("00ABCD"));
}

void TestLoadIr::refusedFileKeepsThePreparedImpulse()
{
    LoadIrFixture f;
    f.selectLoader(kBasic);
    f.loadIr(f.plainWav(QStringLiteral("cab.wav"), 24, 1000));
    const QString prepared = f.app->session().ir.IrProgramText;
    f.prompts.messages.clear();

    f.selectLoader(kAmber);
    const QString text = QDir(f.folders.root()).filePath(QStringLiteral("notes.wav"));
    writeAll(text, "Mic: SM57, cone edge\n");
    f.loadIr(text);
    QCOMPARE(f.prompts.messages,
             QStringList{"The file notes.wav cannot be used as an impulse response: it is not a WAV file (it "
                         "does not begin with a RIFF header of type WAVE)."});
    QCOMPARE(f.prompts.pictures.size(), 1); // the first import's
    QCOMPARE(f.app->session().ir.IrProgramText, prepared);
    QCOMPARE(f.app->session().ir.IrProgramEffect, kBasic);
}

void TestLoadIr::normaliseIsRemembered()
{
    const QString quiet = QStringLiteral("quiet.wav");
    QString path;
    QString remembered;
    {
        LoadIrFixture f;
        QVERIFY(!f.main().menuNormaliseIR->isChecked());
        f.click(f.main().menuNormaliseIR);
        QVERIFY(f.main().menuNormaliseIR->isChecked());
        remembered = QDir(f.folders.documents()).filePath(QStringLiteral("ZANTH/normalise_ir.txt"));
        QCOMPARE(readAll(remembered), QByteArray("1"));

        // A response peaking at a quarter of full scale.
        path = soxWav(f.folders.root(), quiet, packSamples({0x200000, -0x100000, 0x80000}, 3), SoxFormat());
        f.selectLoader(kBasic);
        f.loadIr(path);
        QCOMPARE(f.app->session().ir.IrProgramText.mid(460, 24), QStringLiteral("007FFFFF" "FFC00000" "00200000"));
        QVERIFY(f.prompts.messages.value(0).contains(
            "\r\nNormalised: a gain of +12.0 dB brings the peak just below full scale."));

        // The next run starts with the choice: the same folders, a new editor.
        f.app.reset();
        f.start(f.pedalDriver.get());
        QVERIFY(f.main().menuNormaliseIR->isChecked());
        f.click(f.main().menuNormaliseIR);
        QCOMPARE(readAll(remembered), QByteArray("0"));
        f.main().menuConnect->trigger();
        f.selectLoader(kBasic);
        f.loadIr(path);
        QCOMPARE(f.app->session().ir.IrProgramText.mid(460, 24), QStringLiteral("00200000" "FFF00000" "00080000"));
        QCOMPARE(f.prompts.surprises, QStringList());
    }
}

// Open FX selects the pedal's effect, whatever its category, while Load IR stays enabled from
// the loader clicked before.
void TestLoadIr::effectWithoutImpulseResponse()
{
    LoadIrFixture f;
    f.selectLoader(kBasic);
    QVERIFY(f.main().menuLoadIR->isEnabled());
    f.app->session().selection.SelectedEffectName = QStringLiteral("Tidal Flanger");
    f.click(f.main().menuLoadIR);
    QCOMPARE(f.prompts.messages,
             QStringList{"Tidal Flanger takes no impulse response. Select an IR loader in the Impulse Response "
                         "category, then choose Load IR."});
    QCOMPARE(f.prompts.filters, QStringList());
    QCOMPARE(f.consoleLines(), QStringList());
}

// The import turns the event loop while it reads: a second Load IR meanwhile is ignored, and an
// effect clicked meanwhile does not change where the impulse response goes.
void TestLoadIr::clicksDuringTheImport()
{
    LoadIrFixture f;
    f.selectLoader(kBasic);
    const QString path = f.plainWav(QStringLiteral("cab.wav"), 24, 1000);
    bool clicked = false;
    f.pacing.onTurn = [&] {
        if (clicked)
            return;
        clicked = true;
        f.main().menuLoadIR->trigger();
        const auto amber = f.main().lstEffects->findItems(kAmber, Qt::MatchExactly);
        emit f.main().lstEffects->itemClicked(amber.first());
    };
    f.loadIr(path);
    f.pacing.onTurn = nullptr;
    QVERIFY(clicked);
    QCOMPARE(f.prompts.filters, QStringList{kFilter});
    QCOMPARE(f.prompts.surprises, QStringList());
    QCOMPARE(f.app->session().selection.SelectedEffectName, kAmber);
    QCOMPARE(f.app->session().ir.IrProgramEffect, kBasic);
    QCOMPARE(f.app->session().ir.IrProgramText, traceOf(path, kBasic).program);
    QCOMPARE(f.prompts.pictures.size(), 1);
}

QTEST_MAIN(TestLoadIr)
#include "tst_loadir.moc"
