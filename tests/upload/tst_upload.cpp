// Effect upload through the main window, on the virtual pedal (and on the scripted driver where
// the pedal's answer has to be unusual).
#include "tests/support/editorfixture.h"

#include "catalogue/catalogueresources.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "catalogue/resourceindex.h"
#include "core/errorboundary.h"
#include "protocol/commandexchange.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kStatus = QStringLiteral("Upload complete\r\n");

QByteArray resourceBytes(const QString &name)
{
    QFile file(catalogueResources().path(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no catalogue resource %s", qPrintable(name));
    return file.readAll();
}

// The effect's program as the catalogue stores it, decoded here without the editor's code.
QByteArray catalogueImage(const QString &effect)
{
    return QByteArray::fromHex(resourceBytes(EffectResourceName(effect)));
}

// Effect numbers go by line position in the effect list.
int effectNumber(const QString &effect)
{
    const QList<QByteArray> lines = resourceBytes(QStringLiteral("effect_list")).split('\n');
    for (int i = 0; i < lines.size(); ++i)
        if (QString::fromLatin1(lines[i].trimmed()).section(QLatin1Char(':'), 1) == effect)
            return i;
    return -1;
}

int categoryRow(const QString &caption)
{
    for (int i = 0; i < int(CategoryTable.size()); ++i)
        if (caption == QLatin1String(CategoryTable[i].caption))
            return i;
    return -1;
}

struct Scripted {};

// The editor connected to its pedal, its console cleared.
struct UploadFixture : EditorFixture {
    explicit UploadFixture(const pedal::VirtualPedalOptions &options = {})
    {
        startOnVirtualPedal(options);
        connectAndClear();
    }
    // On the scripted driver instead, for answers the pedal does not give.
    explicit UploadFixture(Scripted)
    {
        driver.devices.append({"FT1", "Tovel", {}});
        driver.effectQueryAnswer = ScriptedFtDriver::kEffectFirmwareAnswer;
        start();
        connectAndClear();
    }
    void connectAndClear()
    {
        main().menuConnect->trigger();
        checkLine();
        console().btnClearClick();
    }

    void clickCategory(const QString &caption)
    {
        QListWidget *list = main().lstCategory;
        emit list->itemClicked(list->item(categoryRow(caption)));
    }
    void clickEffect(const QString &name)
    {
        QListWidget *list = main().lstEffects;
        const auto found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        emit list->itemClicked(found.first());
    }
    void select(const QString &category, const QString &effect)
    {
        clickCategory(category);
        clickEffect(effect);
        console().btnClearClick();
        prompts.messages.clear();
    }
    void upload(Prompts::Answer answer = Prompts::Answer::Yes)
    {
        prompts.scriptAnswer(answer);
        main().btnUpload->click();
    }
    // Limits away from their reset values, as the user leaves them.
    void moveLimits()
    {
        app->params.MinLimit[2] = 300;
        app->params.MaxLimit[2] = 400;
        app->params.MaxLimit[23] = 8;
    }
    bool limitsReset() const
    {
        for (int p = 0; p < kMaxRows; ++p)
            if (app->params.MinLimit[p] != 0 || app->params.MaxLimit[p] != kMaxLevel)
                return false;
        return true;
    }
    // The effect number the pedal gives in its answer to EffectQuery (second line).
    int queriedEffectNumber()
    {
        app->exchange().sendBytes(QByteArray::fromHex("0500"), true);
        const QString answer = QString::fromUtf8(app->exchange().CollectAnswerText(effectQueryAnswer()).bytes);
        bool ok = false;
        const int number = answer.split(QStringLiteral("\r\n")).value(1).toInt(&ok);
        return ok ? number : -1;
    }
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = folders.root() + QLatin1Char('/') + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
};

} // namespace

class TestUpload : public QObject {
    Q_OBJECT

private slots:
    void uploadsEveryCatalogueEffect();
    void consoleLinesInOrder();
    void statusText_data();
    void statusText();
    void uploadOverModelledLine();
    void confirmation_data();
    void confirmation();
    void noEffectSelected_data();
    void noEffectSelected();
    void unplugDuringWait();
    void impulseResponse_data();
    void impulseResponse();
    void uploadFile_data();
    void uploadFile();
    void uploadFileCancelledOrUnreadable();
    void uploadFileTracesAnAnswerItCannotRead();
};

void TestUpload::uploadsEveryCatalogueEffect()
{
    UploadFixture f;
    int effects = 0;
    for (const CategoryRow &category : CategoryTable) {
        f.clickCategory(QLatin1String(category.caption));
        QStringList names;
        for (int i = 0; i < f.main().lstEffects->count(); ++i)
            names << f.main().lstEffects->item(i)->text();
        for (const QString &name : names) {
            f.clickEffect(name);
            f.prompts.messages.clear();
            f.moveLimits();
            f.upload();
            QVERIFY2(f.prompts.messages.isEmpty(), qPrintable(name + ": " + f.prompts.messages.join('|')));
            QVERIFY2(f.pedal().firmware().program() == catalogueImage(name), qPrintable(name));
            QCOMPARE(f.main().lblStatus->text(), kStatus);
            QVERIFY2(f.limitsReset(), qPrintable(name));
            QCOMPARE(f.queriedEffectNumber(), effectNumber(name));
            ++effects;
        }
    }
    QCOMPARE(effects, 58);
    QVERIFY(f.prompts.surprises.isEmpty());
}

void TestUpload::consoleLinesInOrder()
{
    UploadFixture f;
    f.select(QStringLiteral("Modulation"), QStringLiteral("Tidal Flanger"));
    const int bytes = int(catalogueImage(QStringLiteral("Tidal Flanger")).size());
    f.upload();
    // The fixed question, and the effect it is about on a second line.
    QCOMPARE(f.prompts.questions, QStringList{"Upload the selected effect?\nTidal Flanger"});
    QCOMPARE(f.consoleLines(),
             (QStringList{"resource name: Tidal_Flanger", QStringLiteral("size: %1").arg(bytes),
                          QStringLiteral("num of bytes: %1").arg(bytes), "write to device",
                          "received: " + kStatus}));
    // One write of the whole image, with no purge before it: the pedal logs one frame.
    QCOMPARE(f.pedal().frameLog().size(), 1);
    QVERIFY(f.pedal().frameLog().first().startsWith(QStringLiteral("fw ProgramUpload %1 of").arg(bytes)));
}

void TestUpload::statusText_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces"); // each found by its own read
    QTest::addColumn<QStringList>("received");
    QTest::newRow("answer-in-one-read")
        << QList<QByteArray>{"Upload complete\r\n"} << QStringList{kStatus};
    // Shown once whole, never cut short at the end of the first piece.
    QTest::newRow("answer-in-two-reads")
        << QList<QByteArray>{"Upload com", "plete\r\n"} << QStringList{kStatus};
    QTest::newRow("answer-longer-than-17-bytes")
        << QList<QByteArray>{"Upload complete\r\nready\r\n"} << QStringList{kStatus};
    // Not followed by what an earlier answer left in the receive buffer.
    QTest::newRow("short-answer-shows-only-itself")
        << QList<QByteArray>{"OK\r\n"} << QStringList{"OK\r\n"};
}

void TestUpload::statusText()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, received);
    UploadFixture f(Scripted{});
    f.app->usb.state.ReceiveBuffer.fill('Z');
    // Each later piece arrives 50 ms after the one before.
    f.driver.onWrite = [&](const QByteArray &bytes) {
        if (bytes.size() > 100)
            for (int k = 0; k < pieces.size(); ++k)
                f.driver.queueAnswer(pieces[k], f.clock.nowUs() + 5000 + 50'000 * k);
    };
    f.select(QStringLiteral("Gain"), QStringLiteral("Amber Drive"));
    f.moveLimits();
    f.upload();
    QCOMPARE(f.driver.writes, QList<QByteArray>{catalogueImage(QStringLiteral("Amber Drive"))});
    // The receive queue is emptied before the image and after the answer; the transmit queue
    // never is.
    QCOMPARE(f.driver.purges, (QList<quint32>{FT_PURGE_RX, FT_PURGE_RX}));
    QStringList lines;
    for (const QString &r : received)
        lines << "received: " + r;
    QCOMPARE(f.consoleLines().filter(QRegularExpression("^received: ")), lines);
    QCOMPARE(f.main().lblStatus->text(), received.last());
    QVERIFY(f.limitsReset());
}

void TestUpload::uploadOverModelledLine()
{
    pedal::VirtualPedalOptions options;
    options.lineRateBaud = 115200;
    UploadFixture f(options);
    f.select(QStringLiteral("Synthesis"), QStringLiteral("Bell Pad"));
    const qint64 before = f.clock.nowUs();
    f.upload();
    const QByteArray image = catalogueImage(QStringLiteral("Bell Pad"));
    QCOMPARE(f.pedal().firmware().program(), image);
    QCOMPARE(f.main().lblStatus->text(), kStatus);
    // The wait lasted while the image crossed the line: 10 bits a byte.
    QVERIFY(f.clock.nowUs() - before >= image.size() * 10 * 1'000'000LL / 115200);
}

void TestUpload::confirmation_data()
{
    QTest::addColumn<Prompts::Answer>("answer");
    QTest::addColumn<bool>("uploads");
    QTest::newRow("no-sends-nothing") << Prompts::Answer::No << false;
    QTest::newRow("box-closed-without-choice-goes-on") << Prompts::Answer::Other << true;
}

void TestUpload::confirmation()
{
    QFETCH(Prompts::Answer, answer);
    QFETCH(bool, uploads);
    UploadFixture f;
    f.select(QStringLiteral("Other"), QStringLiteral("Tape Echo"));
    f.pedal().clearFrameLog();
    f.moveLimits();
    f.upload(answer);
    QCOMPARE(f.prompts.questions, QStringList{"Upload the selected effect?\nTape Echo"});
    QCOMPARE(f.pedal().frameLog().isEmpty(), !uploads);
    QCOMPARE(f.consoleLines().isEmpty(), !uploads);
    QCOMPARE(f.main().lblStatus->text(), uploads ? kStatus : QStringLiteral("Status: "));
    QCOMPARE(f.limitsReset(), uploads);
    QVERIFY(f.prompts.messages.isEmpty());
}

void TestUpload::noEffectSelected_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("console");
    QTest::newRow("nothing-chosen-says-so-without-asking")
        << QString() << false << "Choose an effect first." << QStringList{};
    QTest::newRow("chosen-effect-without-a-program-keeps-the-resource-error")
        << "No Such Effect" << true << "Error loading resource: " << QStringList{"resource name: No_Such_Effect"};
}

void TestUpload::noEffectSelected()
{
    QFETCH(QString, effect);
    QFETCH(bool, asked);
    QFETCH(QString, message);
    QFETCH(QStringList, console);
    UploadFixture f;
    f.app->session().selection.SelectedEffectName = effect;
    f.moveLimits();
    if (asked)
        f.prompts.scriptAnswer(Prompts::Answer::Yes);
    f.main().btnUpload->click();
    QCOMPARE(f.prompts.questions.size(), asked ? 1 : 0);
    QVERIFY(f.prompts.surprises.isEmpty());
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages.first().startsWith(message), qPrintable(f.prompts.messages.first()));
    QCOMPARE(f.consoleLines(), console);
    QVERIFY(f.pedal().frameLog().isEmpty());
    QVERIFY(f.pedal().firmware().program().isEmpty());
    QCOMPARE(f.main().lblStatus->text(), QStringLiteral("Status: "));
    QVERIFY(!f.limitsReset());
}

void TestUpload::unplugDuringWait()
{
    UploadFixture f;
    pedal::PedalFaults faults;
    faults.noAnswer = true;
    f.pedal().setFaults(faults);
    f.select(QStringLiteral("Filter"), QStringLiteral("Auto Wah"));
    f.moveLimits();
    int turns = 0;
    f.pacing.onTurn = [&] {
        if (++turns == 50)
            f.pedal().unplug();
    };
    f.upload();
    QVERIFY(turns >= 50);
    QCOMPARE(f.prompts.messages, QStringList{"The pedal was disconnected."});
    QCOMPARE(f.main().lblStatus->text(), QStringLiteral("Status: "));
    QVERIFY(!f.main().btnUpload->isEnabled());
    QVERIFY(f.main().menuConnect->isEnabled());
    QVERIFY(!f.limitsReset());
    QCOMPARE(f.consoleLines().last(), QStringLiteral("write to device"));
    // The pedal did get the program; only its answer was lost.
    QCOMPARE(f.pedal().firmware().program(), catalogueImage(QStringLiteral("Auto Wah")));
}

void TestUpload::impulseResponse_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("preparedFor"); // empty: nothing prepared
    QTest::addColumn<QString>("thenCategory"); // a category clicked after the effect, or empty
    QTest::addColumn<bool>("sendsPrepared");
    QTest::addColumn<QString>("note");        // first console line, empty for none

    const QString ir = QStringLiteral("Impulse Response");
    const QString basic = QStringLiteral("Basic IR Loader");
    const QString amber = QStringLiteral("Amber Drive + IR Loader");
    QTest::newRow("prepared-for-the-selected-loader")
        << ir << basic << basic << QString() << true
        << "sending the impulse response prepared for Basic IR Loader";
    QTest::newRow("prepared-for-another-loader-sends-catalogue")
        << ir << basic << amber << QString() << false
        << "the impulse response was prepared for Amber Drive + IR Loader, not for Basic IR "
           "Loader: sending the catalogue program";
    QTest::newRow("none-prepared-sends-catalogue")
        << ir << basic << QString() << QString() << false
        << "no impulse response prepared for Basic IR Loader: sending the catalogue program";
    // Browsing another category leaves the loader selected; its impulse response still goes.
    QTest::newRow("prepared-loader-still-selected-from-another-category")
        << ir << amber << amber << QStringLiteral("Gain") << true
        << "sending the impulse response prepared for Amber Drive + IR Loader";
    QTest::newRow("other-effect-with-impulse-prepared-elsewhere")
        << QStringLiteral("Dynamic") << QStringLiteral("Soft Compressor") << basic << QString() << false
        << QString();
}

void TestUpload::impulseResponse()
{
    QFETCH(QString, category);
    QFETCH(QString, effect);
    QFETCH(QString, preparedFor);
    QFETCH(QString, thenCategory);
    QFETCH(bool, sendsPrepared);
    QFETCH(QString, note);

    UploadFixture f;
    QByteArray prepared;
    if (!preparedFor.isEmpty()) {
        // The catalogue program with another impulse in its last 512 bytes.
        prepared = catalogueImage(preparedFor);
        for (qsizetype i = prepared.size() - 512; i < prepared.size(); ++i)
            prepared[i] = char(0xA5 ^ i);
        f.app->session().ir.IrProgramText = QString::fromLatin1(prepared.toHex().toUpper());
        f.app->session().ir.IrProgramEffect = preparedFor;
    }
    f.select(category, effect);
    if (!thenCategory.isEmpty()) {
        f.clickCategory(thenCategory);
        f.console().btnClearClick();
    }
    f.upload();

    const QByteArray expected = sendsPrepared ? prepared : catalogueImage(effect);
    QCOMPARE(f.pedal().firmware().program(), expected);
    QCOMPARE(f.main().lblStatus->text(), kStatus);
    QCOMPARE(f.queriedEffectNumber(), effectNumber(effect));
    QVERIFY(f.prompts.messages.isEmpty());
    const QStringList lines = f.consoleLines();
    const QString source = sendsPrepared
        ? QStringLiteral("file content size: %1").arg(expected.size())
        : "resource name: " + EffectResourceName(effect);
    QCOMPARE(lines.mid(0, 2), note.isEmpty() ? (QStringList{source, lines.value(1)})
                                             : (QStringList{note, source}));
}

void TestUpload::uploadFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("refusal"); // the message after "The file <path>", empty: uploads

    const QByteArray hex = resourceBytes(QStringLiteral("TAPE_ECHO"));
    QByteArray lines = "\xEF\xBB\xBF";
    for (qsizetype i = 0; i < hex.size(); i += 64)
        lines += hex.mid(i, 64).toLower() + " \n";
    QTest::newRow("program-ending-in-crlf") << hex + "\r\n" << QString();
    QTest::newRow("program-in-lower-case-lines-with-bom") << lines << QString();
    QTest::newRow("odd-digit-count")
        << hex + "A\r\n"
        << QStringLiteral(" cannot be uploaded: it holds an odd number of hex digits (%1)").arg(hex.size() + 1);
    QTest::newRow("not-a-hex-digit")
        << QByteArray("00\r\n0A1GFF\r\n")
        << QStringLiteral(" cannot be uploaded: line 2, column 4 holds \"G\", which is not a hex digit");
    QTest::newRow("larger-than-transmit-buffer")
        << QByteArray(2 * 65537, 'F')
        << QStringLiteral(" cannot be uploaded: it holds 65537 bytes, the pedal takes at most 65536");
    QTest::newRow("only-line-ends") << QByteArray("\r\n\r\n") << QStringLiteral(" cannot be uploaded: it holds no hex digits");
    // A bootloader's erase command, which a pedal left in its bootloader would carry out.
    QTest::newRow("no-upload-frame")
        << QByteArray("43BCFF00\r\n")
        << QStringLiteral(" cannot be uploaded: it is no effect program (an effect program starts with the byte 00 "
                          "and its length; this starts with 43BCFF)");
}

void TestUpload::uploadFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, refusal);
    UploadFixture f;
    const QString path = f.writeFile(QStringLiteral("program.hex"), content);
    f.moveLimits();
    f.prompts.scriptFile(path);
    f.main().btnUploadFile->click();

    QCOMPARE(f.prompts.filters, QStringList{QString()}); // the dialog keeps its last filter
    const QStringList lines = f.consoleLines();
    QCOMPARE(lines.mid(0, 2), (QStringList{path, QStringLiteral("program.hex")}));
    QVERIFY(!f.limitsReset());
    QCOMPARE(f.main().lblStatus->text(), QStringLiteral("Status: "));
    if (!refusal.isEmpty()) {
        QCOMPARE(f.prompts.messages, QStringList{"The file " + path + refusal});
        QVERIFY(f.pedal().frameLog().isEmpty());
        QCOMPARE(lines.size(), 4); // path, name, text, length
        return;
    }
    const QByteArray image = catalogueImage(QStringLiteral("Tape Echo"));
    QVERIFY(f.prompts.messages.isEmpty());
    // Exactly the image: no stray byte after it, one frame on the pedal.
    QCOMPARE(f.pedal().firmware().program(), image);
    QCOMPARE(f.pedal().frameLog().size(), 1);
    QCOMPARE(lines.mid(3, 3), (QStringList{QString::number(lines[2].size()),
                                           QStringLiteral("num of bytes: %1").arg(image.size()),
                                           "write to device"}));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[6].size(), 10 + 65536);
    QVERIFY(lines[6].startsWith("received: " + kStatus));
}

// What came back is traced, also when it is no status.
void TestUpload::uploadFileTracesAnAnswerItCannotRead()
{
    UploadFixture f;
    const QString path = f.writeFile(QStringLiteral("program.hex"), resourceBytes(QStringLiteral("TAPE_ECHO")));
    pedal::PedalFaults faults;
    faults.garbage = true;
    f.pedal().setFaults(faults);
    f.prompts.scriptFile(path);
    f.main().btnUploadFile->click();
    QCOMPARE(f.prompts.messages, QStringList{"The pedal's answer to the upload could not be read."});
    QCOMPARE(f.consoleLines().filter(QRegularExpression("^received: ")).size(), 1);
}

void TestUpload::uploadFileCancelledOrUnreadable()
{
    UploadFixture f;
    f.prompts.scriptFile(QString());
    f.main().btnUploadFile->click();
    QVERIFY(f.consoleLines().isEmpty());

    const QString missing = f.folders.root() + QStringLiteral("/missing.hex");
    f.prompts.scriptFile(missing);
    // The handler's own error report shows why; nothing escapes the click.
    f.main().btnUploadFile->click();
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages.first().startsWith("Error: cannot read " + missing),
             qPrintable(f.prompts.messages.first()));
    QVERIFY(f.pedal().frameLog().isEmpty());
}

QTEST_MAIN(TestUpload)
#include "tst_upload.moc"
