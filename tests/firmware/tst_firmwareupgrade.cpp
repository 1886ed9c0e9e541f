// The firmware upgrade through the windows, on the virtual pedal in its bootloader: the run,
// every way it can stop, the images from files, and what the window does meanwhile.
#include "tests/support/editorfixture.h"

#include "firmware/firmwareimage.h"
#include "app/tformfirmwareupgrade.h"
#include "protocol/commandexchange.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr int kFlashSize = 128 * 1024;
constexpr int kRecordOffset = 0x1FC00;
const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
// What a whole run says: done, then the firmware the pedal reports once connected again.
QStringList completed(int version)
{
    return {kComplete, QStringLiteral("Firmware %1 is running.").arg(version)};
}

// The messages with each one's first line only: the completion message names the backup file
// on the lines below (checked where the backup matters).
QStringList firstLines(const QStringList &messages)
{
    QStringList lines;
    for (const QString &m : messages)
        lines.append(m.section(QLatin1Char('\n'), 0, 0));
    return lines;
}

QByteArray builtIn(const QString &name)
{
    QByteArray bytes;
    if (!loadBuiltInImage(name, bytes))
        qFatal("no built-in image %s", qPrintable(name));
    return bytes;
}

// What the flash holds after an upgrade: the image from the start, the variant record (when
// there is one), erased everywhere else.
QByteArray flashWith(const QByteArray &image, int variant)
{
    QByteArray flash(kFlashSize, char(0xFF));
    flash.replace(0, image.size(), image);
    if (variant != 0)
        flash.replace(kRecordOffset, 8, QByteArray(1, char(variant)) + QByteArray(7, '\0'));
    return flash;
}

// A raw image of the controller's shape: vector table, then bytes that differ chunk to chunk.
QByteArray rawImage(int size, quint32 stack = 0x20005000, quint32 reset = 0x08000101)
{
    QByteArray b(size, '\0');
    quint32 x = 0xBADC0DE;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    if (size >= 8) {
        qToLittleEndian(stack, b.data());
        qToLittleEndian(reset, b.data() + 4);
    }
    return b;
}

// The editor on the virtual pedal, whose controller runs its bootloader over flash that holds
// Firmware_4 and its record (the firmware it had before).
struct FirmwareFixture : EditorFixture {
    QByteArray flashBefore = flashWith(builtIn(QStringLiteral("Firmware_4")), 4);

    explicit FirmwareFixture(pedal::VirtualPedalOptions options = {})
    {
        options.bootloader = true;
        startOnVirtualPedal(options);
        pedal().flash() = flashBefore;
    }

    TformFirmwareUpgrade &window() { return *app->formFirmwareUpgrade(); }

    // Upgrade Mode, Connect, Start Firmware Upgrade; the console and messages cleared.
    void openUpgrade()
    {
        click(main().menuFirmwareUpgradeMode);
        click(main().menuConnect);
        QCOMPARE(prompts.messages, QStringList{"Connection to bootloader succeeded"});
        click(main().menuStartFirmwareUpgrade);
        QVERIFY(window().isVisible());
        prompts.messages.clear();
        console().btnClearClick();
        pedal().clearFrameLog();
    }
    void choose(int item)
    {
        window().cmbFirmwareChoose->setCurrentIndex(item);
        emit window().cmbFirmwareChoose->activated(item);
    }
    // Upgrade Firmware, answering Yes to the question before anything is written.
    void upgrade()
    {
        prompts.scriptIrreversible(Prompts::Answer::Yes);
        click(window().btnUpgradeFirmware);
        prompts.clearIrreversibleScript();
    }

    QString backupFolder() const { return folders.documents() + QStringLiteral("/ZANTH/Tovel"); }
    QStringList backups() const
    {
        return QDir(backupFolder()).entryList({QStringLiteral("firmware-backup-*.bin")}, QDir::Files, QDir::Name);
    }
    QByteArray fileBytes(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = folders.root() + QLatin1Char('/') + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    bool wentToGo() const { return pedal().frameLog().filter(QStringLiteral("boot GO")).size() > 0; }
    pedal::VirtualPedal &pedal() const { return pedalDriver->pedal(); }

    // The firmware version the pedal reports to EffectQuery, in normal mode (the run has left
    // Upgrade Mode and connected again).
    QString reportedFirmwareVersion()
    {
        app->exchange().sendBytes(QByteArray::fromHex("0500"), true);
        const QString answer = QString::fromUtf8(app->exchange().CollectAnswerText(effectQueryAnswer()).bytes);
        return answer.split(QStringLiteral("\r\n")).value(3);
    }
};

// How a row breaks the pedal, and how the user mends it afterwards.
// What the user meets in a row of the messages table.
enum class Scene {
    HangsMidImage,           // the bootloader stops answering in the middle of the image
    StillHungWhenTriedAgain, // ... and Upgrade Firmware is pressed again
    ImageOfOneByte,          // "From file..." with a file of one byte
    WindowClosedInBackup,    // the firmware window closed while the backup reads the flash
    MainWindowClosedInImage, // the main window closed while the image is written
};

enum class Fault {
    NackInBackup, BackupFolderUnwritable, NackAtErase, NackAtChunk51, NackAtMarker,
    WrongByteReadBack, NackAtGo, SilenceMidImage, BusyDuringErase, UnpluggedMidImage,
};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Scene)
Q_DECLARE_METATYPE(tovel::Prompts::Answer)

class TestFirmwareUpgrade : public QObject {
    Q_OBJECT

private slots:
    void windowAndMenu();
    void upgradeThroughTheWindows();
    void oneChunkOnTheConsole();
    void faults_data();
    void faults();
    void messages_data();
    void messages();
    void connectTakesOverALeftBootloader_data();
    void connectTakesOverALeftBootloader();
    void oddSizesWrittenInWholeWords_data();
    void oddSizesWrittenInWholeWords();
    void pacing_data();
    void pacing();
    void fromFile_data();
    void fromFile();
    void refusedBeforeAnythingIsSent();
    void standInNeverGoesToARealBridge();
    void duringTheRun();
    void closingDuringTheEraseEndsItsWait();
    void backupNeverOverwritesAnother();
    void questionBeforeWriting_data();
    void questionBeforeWriting();
};

void TestFirmwareUpgrade::windowAndMenu()
{
    FirmwareFixture f;
    TformMain &m = f.main();
    TformFirmwareUpgrade &w = f.window();
    QCOMPARE(w.windowTitle(), QStringLiteral("Firmware Upgrade"));
    QVERIFY(!w.isVisible());
    QCOMPARE(w.cmbFirmwareChoose->currentIndex(), -1);
    QCOMPARE(w.cmbFirmwareChoose->count(), 3);
    QCOMPARE(w.cmbFirmwareChoose->itemText(TformFirmwareUpgrade::itmFirmware4), QStringLiteral("Firmware_4"));
    QCOMPARE(w.cmbFirmwareChoose->itemText(TformFirmwareUpgrade::itmFirmware5), QStringLiteral("Firmware_5"));
    QCOMPARE(w.cmbFirmwareChoose->itemText(TformFirmwareUpgrade::itmFromFile), QStringLiteral("From file..."));
    QCOMPARE(shownText(w.btnUpgradeFirmware->text()), QStringLiteral("Upgrade Firmware"));
    // The original controls keep their places; the window is as wide as the options need.
    const int inner = w.width() - 16;
    QVERIFY(w.width() >= TformFirmwareUpgrade::kClientWidth);
    QCOMPARE(w.cmbFirmwareChoose->geometry(), QRect(8, 8, inner, 32));
    QCOMPARE(w.btnUpgradeFirmware->geometry(), QRect(8, 48, inner, 33));
    QCOMPARE(w.ProgressBar1->geometry(), QRect(8, 94, inner, 35));
    QCOMPARE(w.ProgressBar1->orientation(), Qt::Horizontal);
    QCOMPARE(shownText(w.chkBackupFirst->text()), QStringLiteral("Back up the current firmware first"));
    QVERIFY(w.chkBackupFirst->isChecked());
    QCOMPARE(shownText(w.chkFastTransfer->text()), QStringLiteral("Fast transfer"));
    QVERIFY(!w.chkFastTransfer->isChecked());
    QVERIFY(w.chkFastTransfer->geometry().bottom() < w.height());

    // Upgrade Mode toggles its check mark and the mode; twice leaves both off.
    QVERIFY(!m.menuFirmwareUpgradeMode->isChecked());
    f.click(m.menuFirmwareUpgradeMode);
    QVERIFY(m.menuFirmwareUpgradeMode->isChecked() && f.app->session().link.FirmwareUpgradeMode);
    f.click(m.menuFirmwareUpgradeMode);
    QVERIFY(!m.menuFirmwareUpgradeMode->isChecked() && !f.app->session().link.FirmwareUpgradeMode);
    // The hidden check box sets the mode to its own state.
    m.chkFirmwareUpgradeMode->setChecked(true);
    QVERIFY(f.app->session().link.FirmwareUpgradeMode);
    m.chkFirmwareUpgradeMode->setChecked(false);
    QVERIFY(!f.app->session().link.FirmwareUpgradeMode);

    // Choosing traces the name and sets the variant.
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    QCOMPARE(w.choice().SelectedFirmwareName, QStringLiteral("Firmware_5"));
    QCOMPARE(w.choice().SelectedFirmwareVariant, 5);
    QCOMPARE(f.consoleLines().last(), QStringLiteral("Firmware_5"));
    f.choose(TformFirmwareUpgrade::itmFirmware4);
    QCOMPARE(w.choice().SelectedFirmwareVariant, 4);
    QCOMPARE(f.prompts.messages, QStringList{});
}

void TestFirmwareUpgrade::upgradeThroughTheWindows()
{
    FirmwareFixture f;
    const QByteArray image = builtIn(QStringLiteral("Firmware_5"));
    f.openUpgrade();
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    f.upgrade();

    QCOMPARE(firstLines(f.prompts.messages), completed(5));
    QCOMPARE(f.backups().size(), 1);
    QCOMPARE(f.prompts.messages, (QStringList{kComplete + QStringLiteral("\nThe firmware it replaced is kept in\n")
                                                  + f.backupFolder() + '/' + f.backups().first(),
                                              QStringLiteral("Firmware 5 is running.")}));
    QVERIFY(f.fileBytes(f.backupFolder() + '/' + f.backups().first()) == f.flashBefore);
    QVERIFY(f.pedal().flash() == flashWith(image, 5));
    QVERIFY(!f.window().btnUpgradeFirmware->isEnabled());
    QVERIFY(f.window().cmbFirmwareChoose->isEnabled());
    QCOMPARE(f.window().ProgressBar1->maximum(), 107);
    QCOMPARE(f.window().ProgressBar1->value(), 107);
    QCOMPARE(f.pedal().mode(), pedal::VirtualPedal::Mode::EffectFirmware);

    // The console in its order: the image, the split, then each step.
    const QStringList lines = f.consoleLines();
    QCOMPARE(lines.mid(0, 5), (QStringList{"Firmware_5", "num of bytes read: 27164", "num of chunks: 106",
                                           "num of byte last chunk: 28", "num of bytes last chunk: 28"}));
    QStringList landmarks{"Start Backup", "Start Erase Command", "Start Write Command", "Address: 08006A00",
                          "Start Verify", "Address: 0801FC00", "address checksum: F5", "SEND GO COMMAND",
                          "Address: 08000000", "address checksum: 08", "ACK",
                          "waiting for the pedal to restart: ZT000001", "firmware version: 5"};
    int at = 0;
    for (const QString &landmark : landmarks) {
        const int found = int(lines.indexOf(landmark, at));
        QVERIFY2(found >= at, qPrintable(landmark));
        at = found + 1;
    }
    QCOMPARE(lines.last(), QStringLiteral("firmware version: 5"));

    QCOMPARE(f.reportedFirmwareVersion(), QStringLiteral("5"));
}

void TestFirmwareUpgrade::oneChunkOnTheConsole()
{
    FirmwareFixture f;
    const QByteArray image = builtIn(QStringLiteral("Firmware_4"));
    f.openUpgrade();
    f.window().chkBackupFirst->setChecked(false);
    f.choose(TformFirmwareUpgrade::itmFirmware4);
    f.upgrade();
    QCOMPARE(firstLines(f.prompts.messages), completed(4));

    // The last chunk: 232 bytes at 0x08005E00.
    const QByteArray chunk = image.mid(94 * 256);
    quint8 sum = quint8(chunk.size() - 1);
    for (char c : chunk)
        sum ^= quint8(c);
    const QStringList lines = f.consoleLines();
    const int from = int(lines.indexOf(QStringLiteral("Address: 08005E00"))) - 5;
    QVERIFY(from > 0);
    const QStringList ack{"num of bytes received: 1", "received: 79", "ACK"};
    const QString checksum = QString::number(sum, 16).toUpper().rightJustified(2, '0');
    const QStringList expected = QStringList{"SEND WRITE COMMAND"} + ack
                                 + QStringList{"SEND ADDRESS + CHECKSUM", "Address: 08005E00", "address checksum: 56"} + ack
                                 + QStringList{"SEND N BYTE + DATA + CHECKSUM", "N_byte: E7", "chunk size: 232",
                                               "data checksum: " + checksum}
                                 + ack + QStringList{""};
    QCOMPARE(lines.mid(from, 18), expected);
    QCOMPARE(lines.value(from + 18), QStringLiteral("Start Verify"));
}

void TestFirmwareUpgrade::faults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("stopped"); // the start of the message; empty: the run succeeds
    QTest::addColumn<QString>("flash");   // "before", "no-record", "written": what the flash holds after
    QTest::addColumn<QString>("bar");     // what the progress bar reads once the run stopped

    QTest::newRow("nack-during-the-backup")
        << Fault::NackInBackup
        << "Firmware upgrade stopped at the backup of the current firmware (reading 0x08010100): the "
           "bootloader did not acknowledge (NACK) (received: 1F).\n\nNothing has been erased in this run"
        << "before" << "Stopped: backup";
    QTest::newRow("backup-folder-cannot-be-made")
        << Fault::BackupFolderUnwritable
        << "Firmware upgrade stopped at the backup of the current firmware: Error creating folder: " << "before"
        << "Stopped: backup";
    QTest::newRow("nack-at-the-erase")
        << Fault::NackAtErase << "Firmware upgrade stopped at the erase: the bootloader did not acknowledge (NACK) (received: 1F)."
        << "before" << "Stopped: erase";
    QTest::newRow("nack-at-the-51st-chunk")
        << Fault::NackAtChunk51
        << "Firmware upgrade stopped at chunk 51 of 107 at 0x08003200: the bootloader did not acknowledge (NACK) (received: 1F)."
        << "no-record" << "Stopped: chunk 51";
    QTest::newRow("nack-at-the-marker")
        << Fault::NackAtMarker
        << "Firmware upgrade stopped at the variant record at 0x0801FC00: the bootloader did not acknowledge (NACK) (received: 1F)."
        << "no-record" << "Stopped: record";
    QTest::newRow("wrong-byte-read-back")
        << Fault::WrongByteReadBack
        << QStringLiteral("Firmware upgrade stopped at the verify: the flash read back differs from the image: "
                          "0x08004321 holds %1 where %2 was written.")
               .arg(QString::number(quint8(builtIn("Firmware_5")[0x4321]) ^ 0x10, 16).toUpper().rightJustified(2, '0'),
                    QString::number(quint8(builtIn("Firmware_5")[0x4321]), 16).toUpper().rightJustified(2, '0'))
        << "no-record" << "Stopped: verify";
    QTest::newRow("nack-at-go")
        << Fault::NackAtGo
        << "Firmware upgrade stopped at the go command: the bootloader did not acknowledge (NACK) (received: 1F).\n\n"
           "The new firmware is written and verified, but its start was not confirmed."
        << "written" << "Stopped: go";
    QTest::newRow("silence-mid-image")
        << Fault::SilenceMidImage
        << "Firmware upgrade stopped at chunk 51 of 107 at 0x08003200: no answer within 5 s (received: nothing)." << "no-record"
        << "Stopped: chunk 51";
    QTest::newRow("busy-for-3-s-during-the-erase") << Fault::BusyDuringErase << "" << "written" << "";
    QTest::newRow("unplugged-mid-image")
        << Fault::UnpluggedMidImage << "Firmware upgrade stopped at chunk 52 of 107 at 0x08003300: the link to the pedal was lost"
        << "no-record" << "Stopped: chunk 52";
}

void TestFirmwareUpgrade::faults()
{
    QFETCH(Fault, fault);
    QFETCH(QString, stopped);
    QFETCH(QString, flash);
    QFETCH(QString, bar);
    FirmwareFixture f;
    const QByteArray image = builtIn(QStringLiteral("Firmware_5"));
    pedal::VirtualPedal &device = f.pedal();
    f.openUpgrade();

    // Faults that strike at a point of the run start from the pedal's log of frames.
    bool unplugNow = false;
    const auto at = [&](const QString &line, std::function<void()> action) {
        device.onFrameLogged = [line, action](const QString &logged) {
            if (logged == line)
                action();
        };
    };
    switch (fault) {
    case Fault::NackInBackup:
        at("boot READ 08010000 256 bytes", [&] { device.bootloader().setNackAtAck(1); });
        break;
    case Fault::BackupFolderUnwritable:
        // A file where the folder should be.
        f.writeFile(QStringLiteral("not-a-folder"), "x");
        f.folders.setDocuments(f.folders.root() + QStringLiteral("/not-a-folder"));
        break;
    case Fault::NackAtErase:
        at("boot READ 0801FF00 256 bytes", [&] { device.bootloader().setNackAtAck(2); });
        break;
    case Fault::NackAtChunk51:
        at("boot WRITE 08003100 256 bytes", [&] { device.bootloader().setNackAtAck(1); });
        break;
    case Fault::NackAtMarker:
        at("boot READ 08006A00 28 bytes", [&] { device.bootloader().setNackAtAck(3); });
        break;
    case Fault::WrongByteReadBack:
        device.bootloader().setFlashDefect(0x08004321);
        break;
    case Fault::NackAtGo:
        at("boot READ 0801FC00 8 bytes", [&] { device.bootloader().setNackAtAck(1); });
        break;
    case Fault::SilenceMidImage:
        // It acknowledges chunk 49 and the write command of chunk 50, then hangs waiting for
        // the address: mended, it still expects one.
        at("boot WRITE 08003100 256 bytes", [&] { device.bootloader().setSilentAfterFrames(2); });
        break;
    case Fault::BusyDuringErase:
        device.bootloader().setEraseBusy(3000, 1000);
        break;
    case Fault::UnpluggedMidImage:
        // The cable comes out at the window's next turn. This pedal answers at once, so the
        // link looks for answers a few times between turns: chunk 50 is acknowledged, and the
        // run stops in chunk 51.
        at("boot WRITE 08003200 256 bytes", [&] { unplugNow = true; });
        f.pacing.onTurn = [&] {
            if (unplugNow)
                device.unplug();
            unplugNow = false;
        };
        break;
    }

    f.choose(TformFirmwareUpgrade::itmFirmware5);
    f.upgrade();
    device.onFrameLogged = nullptr;
    f.pacing.onTurn = nullptr;

    if (stopped.isEmpty()) {
        QCOMPARE(firstLines(f.prompts.messages), completed(5));
        QCOMPARE(f.consoleLines().filter(QStringLiteral("BUSY")).size(), 3);
        QVERIFY(device.flash() == flashWith(image, 5));
        QVERIFY(f.wentToGo());
        return;
    }

    // Stopped with its message: no completion, no go, no variant record before a verified
    // image; the window is ready for another try.
    QVERIFY2(f.prompts.messages.size() >= 1 && f.prompts.messages.last().startsWith(stopped),
             qPrintable(f.prompts.messages.join(" | ")));
    QVERIFY(!firstLines(f.prompts.messages).contains(kComplete));
    QVERIFY(!f.wentToGo());
    QCOMPARE(device.mode(), pedal::VirtualPedal::Mode::Bootloader);
    if (flash == QLatin1String("before"))
        QVERIFY(device.flash() == f.flashBefore);
    else if (flash == QLatin1String("no-record"))
        QCOMPARE(device.flash().mid(kRecordOffset, 8), QByteArray(8, char(0xFF)));
    else
        QVERIFY(device.flash() == flashWith(image, 5));
    if (fault == Fault::UnpluggedMidImage) {
        // The loss is told once, then which step it cut short; the main window is as after
        // Disconnect, so Connect works again.
        QCOMPARE(f.prompts.messages.size(), 2);
        QCOMPARE(f.prompts.messages.first(), QStringLiteral("The pedal was disconnected."));
        QVERIFY(f.main().menuConnect->isEnabled());
    }
    QVERIFY(f.window().btnUpgradeFirmware->isEnabled());
    QVERIFY(f.window().cmbFirmwareChoose->isEnabled());
    QVERIFY(!f.window().running());
    // The bar says where the run stopped, never a busy bar without text.
    QCOMPARE(f.window().ProgressBar1->text(), bar);
    if (fault == Fault::NackInBackup || fault == Fault::BackupFolderUnwritable)
        QCOMPARE(f.backups(), QStringList{});
    // The folder is checked before the flash is read.
    if (fault == Fault::BackupFolderUnwritable)
        QCOMPARE(device.frameLog().filter(QStringLiteral("boot READ")), QStringList{});

    // Mended, the next run goes through.
    switch (fault) {
    case Fault::BackupFolderUnwritable:
        f.folders.setDocuments(f.folders.root());
        break;
    case Fault::WrongByteReadBack:
        device.bootloader().setFlashDefect(0);
        break;
    case Fault::SilenceMidImage:
        device.bootloader().setSilentAfterFrames(0);
        break;
    case Fault::UnpluggedMidImage:
        // Plugged in again and reset into its bootloader; a new connection greets it.
        device.unplug(false);
        device.enterBootloader();
        f.click(f.main().menuConnect);
        QCOMPARE(f.prompts.messages.last(), QStringLiteral("Connection to bootloader succeeded"));
        break;
    default:
        break;
    }
    f.prompts.messages.clear();
    f.upgrade();
    QCOMPARE(firstLines(f.prompts.messages), completed(5));
    QVERIFY(device.flash() == flashWith(image, 5));
    QVERIFY(f.wentToGo());
    if (fault == Fault::SilenceMidImage)
        QVERIFY(f.consoleLines().contains(QStringLiteral("Start Resync")));
}

void TestFirmwareUpgrade::messages_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<QString>("text"); // the last message, or the question asked
    const QString resetAdvice = QStringLiteral(
        "If the bootloader still does not answer, reset the pedal into its bootloader the way you did "
        "before this upgrade, choose Connection > Disconnect and then Connect (Upgrade Mode stays on), and "
        "press Upgrade Firmware again.");

    QTest::newRow("bootloader-hangs-mid-image")
        << Scene::HangsMidImage
        << "Firmware upgrade stopped at chunk 51 of 107 at 0x08003200: no answer within 5 s (received: nothing).\n\n"
           "The pedal's flash has been erased and is incomplete, and no firmware was started; the pedal stays in "
           "its bootloader. " + resetAdvice;
    QTest::newRow("still-hung-when-tried-again-flash-erased-by-the-run-before")
        << Scene::StillHungWhenTriedAgain
        << "Firmware upgrade stopped at bringing the bootloader back in step: the bootloader does not answer as it "
           "should (received: nothing).\n\nNothing has been erased in this run, but an earlier run erased the flash "
           "and did not finish: the pedal holds no complete firmware and stays in its bootloader. " + resetAdvice;
    QTest::newRow("image-of-one-byte")
        << Scene::ImageOfOneByte << "The image has 1 byte, too few for a vector table.";
    QTest::newRow("firmware-window-closed-during-the-backup")
        << Scene::WindowClosedInBackup
        << "A firmware upgrade is running. Stop the firmware upgrade and close its window?\n\n"
           "Nothing has been erased yet: the pedal stays in its bootloader, and the upgrade can be run again.";
    QTest::newRow("main-window-closed-during-the-image")
        << Scene::MainWindowClosedInImage
        << "A firmware upgrade is running. Stop the firmware upgrade and quit the editor?\n\n"
           "The flash has been erased and holds no complete firmware: the pedal stays in its bootloader until "
           "an upgrade runs to its end; start the editor again, connect in Upgrade Mode and run the upgrade again.";
}

void TestFirmwareUpgrade::messages()
{
    QFETCH(Scene, scene);
    QFETCH(QString, text);
    FirmwareFixture f;
    pedal::VirtualPedal &device = f.pedal();
    f.openUpgrade();
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    // Acts once, at the window's first turn after the pedal logged the line.
    const auto atTurnAfter = [&](const QString &line, std::function<void()> action) {
        auto seen = std::make_shared<bool>(false);
        device.onFrameLogged = [line, seen](const QString &logged) {
            if (logged == line)
                *seen = true;
        };
        f.pacing.onTurn = [seen, action] {
            if (*seen)
                action();
            *seen = false;
        };
    };
    const auto hangAtTheWriteOf51 = [&] {
        device.onFrameLogged = [&](const QString &logged) {
            if (logged == QLatin1String("boot WRITE 08003100 256 bytes"))
                device.bootloader().setSilentAfterFrames(2);
        };
    };

    switch (scene) {
    case Scene::HangsMidImage:
    case Scene::StillHungWhenTriedAgain:
        hangAtTheWriteOf51();
        f.upgrade();
        if (scene == Scene::StillHungWhenTriedAgain) {
            device.onFrameLogged = nullptr;
            f.upgrade();
            QCOMPARE(f.window().ProgressBar1->text(), QStringLiteral("Stopped: resync"));
        }
        QCOMPARE(f.prompts.messages.last(), text);
        QCOMPARE(device.flash().mid(0x3200, 256), QByteArray(256, char(0xFF)));
        // As the message says: reset into the bootloader, Disconnect, Connect, Upgrade Firmware.
        device.onFrameLogged = nullptr;
        device.enterBootloader();
        f.click(f.main().menuDisconnect);
        f.click(f.main().menuConnect);
        QCOMPARE(f.prompts.messages.last(), QStringLiteral("Connection to bootloader succeeded"));
        f.upgrade();
        QCOMPARE(firstLines(f.prompts.messages).mid(f.prompts.messages.size() - 2), completed(5));
        QVERIFY(device.flash() == flashWith(builtIn(QStringLiteral("Firmware_5")), 5));
        break;
    case Scene::ImageOfOneByte: {
        f.prompts.scriptFile(f.writeFile(QStringLiteral("one.bin"), QByteArray(1, '\x20')));
        f.choose(TformFirmwareUpgrade::itmFromFile);
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY2(f.prompts.messages.first().endsWith(QStringLiteral("\n\n") + text), qPrintable(f.prompts.messages.first()));
        break;
    }
    case Scene::WindowClosedInBackup:
        atTurnAfter(QStringLiteral("boot READ 08000000 256 bytes"), [&] {
            f.prompts.scriptAnswer(Prompts::Answer::Yes);
            f.window().close();
        });
        f.upgrade();
        QCOMPARE(f.prompts.questions, QStringList{text});
        QVERIFY(device.flash() == f.flashBefore);
        break;
    case Scene::MainWindowClosedInImage: {
        f.window().chkBackupFirst->setChecked(false);
        atTurnAfter(QStringLiteral("boot WRITE 08000A00 256 bytes"), [&] {
            f.prompts.scriptAnswer(Prompts::Answer::Yes);
            f.main().close();
        });
        QTimer::singleShot(0, f.window().btnUpgradeFirmware, [&] { f.upgrade(); });
        // The program ends once the run has stopped; the question said it all, nothing follows.
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(f.prompts.questions, QStringList{text});
        QCOMPARE(f.prompts.messages, QStringList{});
        QVERIFY(!f.wentToGo());
        QVERIFY(!f.window().isVisible());
        break;
    }
    }
    device.onFrameLogged = nullptr;
    f.pacing.onTurn = nullptr;
    QCOMPARE(f.prompts.surprises, QStringList{});
}

// A bootloader that an earlier client greeted and left (an editor closed or crashed during a
// run, another flasher) takes the next greeting for a command byte. Connect brings it back in
// step and the upgrade runs.
void TestFirmwareUpgrade::connectTakesOverALeftBootloader_data()
{
    QTest::addColumn<QByteArray>("left");  // what the earlier client sent, hex
    QTest::addColumn<QString>("inStep");   // the console's last word on the greeting; empty: none
    QTest::addColumn<QString>("message");

    const QString leftInLoop = QStringLiteral("bootloader in step: it was left in its command loop");
    QTest::newRow("fresh-bootloader-acknowledges-at-once") << QByteArray() << QString() << "Connection to bootloader succeeded";
    QTest::newRow("left-at-the-start-of-a-command") << QByteArray("7F") << leftInLoop << "Connection to bootloader succeeded";
    QTest::newRow("left-after-a-command-byte") << QByteArray("7F 31") << leftInLoop << "Connection to bootloader succeeded";
    QTest::newRow("left-waiting-for-an-address") << QByteArray("7F 31CE") << leftInLoop << "Connection to bootloader succeeded";
    QTest::newRow("left-in-the-middle-of-a-chunk")
        << QByteArray("7F 31CE 080032003A FF") + QByteArray(100, 'A') << leftInLoop << "Connection to bootloader succeeded";
    QTest::newRow("left-waiting-for-an-erase-page-list") << QByteArray("7F 43BC") << leftInLoop << "Connection to bootloader succeeded";
    QTest::newRow("no-bootloader-the-effect-firmware-runs")
        << QByteArray("effect firmware") << "bootloader not in step (received: nothing)"
        << "Connection to bootloader failed";
}

void TestFirmwareUpgrade::connectTakesOverALeftBootloader()
{
    QFETCH(QByteArray, left);
    QFETCH(QString, inStep);
    QFETCH(QString, message);
    FirmwareFixture f;
    pedal::VirtualPedal &device = f.pedal();
    if (left == "effect firmware") {
        device.powerCycle();
        QCOMPARE(device.mode(), pedal::VirtualPedal::Mode::EffectFirmware);
    } else if (!left.isEmpty()) {
        device.hostWrite(QByteArray::fromHex(left));
        device.hostRead(device.hostQueued()); // the earlier client took its answers
        QVERIFY(device.bootloader().synced());
    }

    f.click(f.main().menuFirmwareUpgradeMode);
    f.click(f.main().menuConnect);
    QCOMPARE(f.prompts.messages, QStringList{message});
    const QStringList lines = f.consoleLines();
    const int greeting = int(lines.indexOf(QRegularExpression(QStringLiteral("received Byte: .*"))));
    QVERIFY(greeting >= 0);
    if (inStep.isEmpty()) {
        QCOMPARE(lines.value(greeting), QStringLiteral("received Byte: 79"));
        QVERIFY(!lines.contains(QStringLiteral("Start Resync")));
    } else {
        QCOMPARE(lines.value(greeting + 1), QStringLiteral("greeting not acknowledged: bringing the bootloader back in step"));
        QCOMPARE(lines.value(greeting + 2), QStringLiteral("Start Resync"));
        QVERIFY2(lines.contains(inStep), qPrintable(lines.mid(greeting).join('\n')));
    }
    const bool connected = message == QLatin1String("Connection to bootloader succeeded");
    QCOMPARE(f.main().menuStartFirmwareUpgrade->isEnabled(), connected);
    if (!connected) {
        QVERIFY(device.flash() == f.flashBefore);
        return;
    }

    // Nothing of the earlier client's command has touched the flash, and the upgrade runs.
    QVERIFY(device.flash() == f.flashBefore);
    f.click(f.main().menuStartFirmwareUpgrade);
    f.window().chkBackupFirst->setChecked(false);
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    f.prompts.messages.clear();
    f.upgrade();
    QCOMPARE(firstLines(f.prompts.messages), completed(5));
    QVERIFY(device.flash() == flashWith(builtIn(QStringLiteral("Firmware_5")), 5));
}

void TestFirmwareUpgrade::oddSizesWrittenInWholeWords_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("lastWrite");
    QTest::newRow("257-bytes-one-byte-past-a-chunk") << 257 << "boot WRITE 08000100 4 bytes";
    QTest::newRow("1001-bytes") << 1001 << "boot WRITE 08000300 236 bytes";
}

void TestFirmwareUpgrade::oddSizesWrittenInWholeWords()
{
    QFETCH(int, size);
    QFETCH(QString, lastWrite);
    FirmwareFixture f;
    f.openUpgrade();
    f.window().chkBackupFirst->setChecked(false);
    const QByteArray image = rawImage(size);
    f.prompts.scriptFile(f.writeFile(QStringLiteral("odd.bin"), image));
    f.choose(TformFirmwareUpgrade::itmFromFile);
    f.upgrade();
    QCOMPARE(firstLines(f.prompts.messages), completed(5));

    // Every write a whole number of words; the last one filled up with erased bytes, which the
    // read-back compares too.
    const QStringList writes = f.pedal().frameLog().filter(QStringLiteral("boot WRITE "));
    QCOMPARE(writes.size(), (size + 255) / 256);
    for (const QString &w : writes)
        QVERIFY2(w.section(' ', 3, 3).toInt() % 4 == 0, qPrintable(w));
    QCOMPARE(writes.last(), lastWrite);
    QVERIFY(f.pedal().flash() == flashWith(image, 0));
    QCOMPARE(f.pedal().frameLog().filter(QStringLiteral("boot READ ")).last(),
             QStringLiteral("boot READ %1 %2 bytes")
                 .arg(lastWrite.section(' ', 2, 2))
                 .arg(lastWrite.section(' ', 3, 3)));
    QVERIFY(f.consoleLines().contains(QStringLiteral("the image's last %1, filled up with FF to whole words")
                                          .arg(size % 256 == 1 ? QStringLiteral("1 byte")
                                                               : QStringLiteral("%1 bytes").arg(size % 256))));
}

void TestFirmwareUpgrade::pacing_data()
{
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("sleptMs");
    // Paced: erase 44 ms; 49 ms a chunk (command 22, address 25, count and checksum 1 each);
    // the record 77 ms; 2 s before go; go 207 ms.
    QTest::newRow("paced") << false << 44 + 107 * 49 + 77 + 2000 + 207;
    QTest::newRow("fast-transfer-sleeps-never") << true << 0;
}

void TestFirmwareUpgrade::pacing()
{
    QFETCH(bool, fast);
    QFETCH(int, sleptMs);
    FirmwareFixture f;
    f.openUpgrade();
    f.window().chkBackupFirst->setChecked(false);
    f.window().chkFastTransfer->setChecked(fast);
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    f.pacing.clearSleeps();
    // The run's own sleeps: up to its completion message, before the wait for the restart.
    int total = -1;
    f.prompts.onMessage = [&](const QString &text) {
        if (text != kComplete)
            return;
        total = 0;
        for (int ms : f.pacing.sleeps())
            total += ms;
    };
    f.upgrade();
    f.prompts.onMessage = nullptr;
    QCOMPARE(firstLines(f.prompts.messages), completed(5));
    QVERIFY(f.pedal().flash() == flashWith(builtIn(QStringLiteral("Firmware_5")), 5));
    QCOMPARE(total, sleptMs);
}

void TestFirmwareUpgrade::fromFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem"); // a part of the refusal; empty: written
    QTest::addColumn<bool>("separateRecord");

    QByteArray backup = flashWith(rawImage(20000), 4);
    QTest::newRow("whole-flash-backup-written-whole") << backup << "" << false;
    QTest::newRow("raw-image-without-record") << rawImage(5000) << "" << false;
    QTest::newRow("empty-file") << QByteArray() << "The image is empty." << false;
    QTest::newRow("larger-than-the-flash") << rawImage(131073) << "The file has 131,073 bytes" << false;
    QTest::newRow("reaches-the-record-page") << rawImage(130049) << "not the 131,072 of a whole-flash backup" << false;
    QTest::newRow("erased-backup") << QByteArray(kFlashSize, char(0xFF)) << "stack pointer 0xFFFFFFFF" << false;
    QTest::newRow("reset-without-thumb-bit") << rawImage(5000, 0x20005000, 0x08000100) << "lacks the Thumb bit" << false;
}

void TestFirmwareUpgrade::fromFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    QFETCH(bool, separateRecord);
    FirmwareFixture f;
    f.openUpgrade();
    f.window().chkBackupFirst->setChecked(false);
    const QString path = f.writeFile(QStringLiteral("image.bin"), bytes);
    f.prompts.scriptFile(path);
    f.choose(TformFirmwareUpgrade::itmFromFile);
    QCOMPARE(f.prompts.filters, QStringList{"Firmware Images (*.bin)|*.bin|All Files (*)|*"});

    if (!problem.isEmpty()) {
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY2(f.prompts.messages.first().contains(problem), qPrintable(f.prompts.messages.first()));
        QCOMPARE(f.window().cmbFirmwareChoose->currentIndex(), -1);
        f.upgrade();
        QCOMPARE(f.prompts.messages.last(), QStringLiteral("Choose a firmware image first."));
        QCOMPARE(f.pedal().frameLog(), QStringList{});
        QVERIFY(f.pedal().flash() == f.flashBefore);
        return;
    }
    QCOMPARE(f.prompts.messages, QStringList{});
    QCOMPARE(f.window().choice().file, path);
    f.upgrade();
    // The version the written flash gives the firmware: its record's, or 5 without one.
    QCOMPARE(firstLines(f.prompts.messages), completed(f.pedal().firmwareVersionInFlash()));
    QVERIFY(f.pedal().flash() == flashWith(bytes, 0));
    QCOMPARE(f.pedal().frameLog().contains(QStringLiteral("boot WRITE 0801FC00 8 bytes")), separateRecord);
    QCOMPARE(f.window().ProgressBar1->maximum(), (bytes.size() + 255) / 256);
}

void TestFirmwareUpgrade::refusedBeforeAnythingIsSent()
{
    FirmwareFixture f;
    f.openUpgrade();
    // No image chosen.
    f.upgrade();
    QCOMPARE(f.prompts.messages, QStringList{"Choose a firmware image first."});
    // A file dialog closed without a choice keeps the choice there was.
    f.choose(TformFirmwareUpgrade::itmFirmware4);
    f.prompts.scriptFile(QString());
    f.choose(TformFirmwareUpgrade::itmFromFile);
    QCOMPARE(f.window().cmbFirmwareChoose->currentIndex(), int(TformFirmwareUpgrade::itmFirmware4));
    QCOMPARE(f.window().choice().SelectedFirmwareName, QStringLiteral("Firmware_4"));
    // A file that went away between the choice and the upgrade.
    const QString path = f.writeFile(QStringLiteral("gone.bin"), rawImage(4000));
    f.prompts.scriptFile(path);
    f.choose(TformFirmwareUpgrade::itmFromFile);
    QVERIFY(QFile::remove(path));
    f.upgrade();
    QVERIFY2(f.prompts.messages.last().contains(QStringLiteral("Error loading file: ")), qPrintable(f.prompts.messages.last()));
    QCOMPARE(f.pedal().frameLog(), QStringList{});
    QVERIFY(f.window().btnUpgradeFirmware->isEnabled());
}

void TestFirmwareUpgrade::standInNeverGoesToARealBridge()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.driver.onWrite = [&](const QByteArray &bytes) {
        if (bytes == QByteArray(1, '\x7F'))
            f.driver.queueAnswer(QByteArray(1, '\x79'));
    };
    f.start();
    f.click(f.main().menuFirmwareUpgradeMode);
    f.click(f.main().menuConnect);
    f.click(f.main().menuStartFirmwareUpgrade);
    TformFirmwareUpgrade &w = *f.app->formFirmwareUpgrade();
    w.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware5);
    emit w.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware5);
    f.prompts.messages.clear();
    f.click(w.btnUpgradeFirmware);
#ifdef TOVEL_SAMPLE_FIRMWARE
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY(f.prompts.messages.first().startsWith(
        QStringLiteral("Firmware_5 is a stand-in image for trying the editor, not the pedal's firmware")));
    QCOMPARE(f.driver.writes, QList<QByteArray>{QByteArray(1, '\x7F')});
    QVERIFY(w.btnUpgradeFirmware->isEnabled());
#endif
}

void TestFirmwareUpgrade::duringTheRun()
{
    FirmwareFixture f;
    f.openUpgrade();
    f.window().chkBackupFirst->setChecked(false);
    TformFirmwareUpgrade &w = f.window();
    f.choose(TformFirmwareUpgrade::itmFirmware5);

    int stage = 0;
    bool disabledMeanwhile = false;
    f.pedal().onFrameLogged = [&](const QString &line) {
        if (line == QLatin1String("boot WRITE 08000A00 256 bytes") || line == QLatin1String("boot WRITE 08001400 256 bytes"))
            ++stage;
    };
    f.pacing.onTurn = [&] {
        if (stage == 1) {
            // The run holds the link: nothing else from the main window goes to the pedal.
            disabledMeanwhile = !w.btnUpgradeFirmware->isEnabled() && !w.cmbFirmwareChoose->isEnabled()
                                && !w.chkBackupFirst->isEnabled() && !w.chkFastTransfer->isEnabled()
                                && !f.main().btnUpload->isEnabled() && !f.main().btnOpenEffect->isEnabled()
                                && !f.main().menuDisconnect->isEnabled();
            f.main().btnOpenEffectClick(); // refused where the bytes go
            w.btnUpgradeFirmware->click(); // disabled: nothing starts
            f.prompts.scriptAnswer(Prompts::Answer::No);
            w.close();
            stage = 2;
        } else if (stage == 3) {
            f.prompts.scriptAnswer(Prompts::Answer::Yes);
            w.close();
            stage = 4;
        }
    };
    f.upgrade();
    f.pedal().onFrameLogged = nullptr;
    f.pacing.onTurn = nullptr;

    QVERIFY(disabledMeanwhile);
    QCOMPARE(f.prompts.questions.size(), 2);
    QVERIFY(f.prompts.questions.first().startsWith(
        QStringLiteral("A firmware upgrade is running. Stop the firmware upgrade and close its window?")));
    QVERIFY(!w.isVisible());
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages.first().startsWith(QStringLiteral("Firmware upgrade stopped at chunk 22 of 107 at 0x08001500: stopped by the user.")),
             qPrintable(f.prompts.messages.first()));
    QVERIFY(!f.wentToGo());
    QCOMPARE(f.consoleLines().filter(QStringLiteral("Start Write Command")).size(), 1);
    QVERIFY(f.consoleLines().contains(QStringLiteral("effect query not started: the firmware upgrade is still running")));
    // The main window's commands are back; those of the effect firmware stay off on a link to
    // the bootloader.
    QVERIFY(f.main().menuDisconnect->isEnabled());
    QVERIFY(!f.main().btnOpenEffect->isEnabled());

    // Not running, the window closes without a question; opened again it runs to the end.
    f.click(f.main().menuStartFirmwareUpgrade);
    f.prompts.messages.clear();
    f.upgrade();
    QCOMPARE(firstLines(f.prompts.messages), completed(5));
    QVERIFY(f.pedal().flash() == flashWith(builtIn(QStringLiteral("Firmware_5")), 5));
    w.close();
    QCOMPARE(f.prompts.questions.size(), 2);
}

void TestFirmwareUpgrade::closingDuringTheEraseEndsItsWait()
{
    // A long erase: the user who stops it is not kept waiting for its answer.
    FirmwareFixture f;
    f.openUpgrade();
    f.window().chkBackupFirst->setChecked(false);
    f.pedal().bootloader().setEraseBusy(20000, 1000);
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    f.pacing.onTurn = [&] {
        if (f.consoleLines().contains(QStringLiteral("BUSY")) && f.window().isVisible()) {
            f.prompts.scriptAnswer(Prompts::Answer::Yes);
            f.window().close();
        }
    };
    f.upgrade();
    f.pacing.onTurn = nullptr;
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages.first().startsWith(QStringLiteral("Firmware upgrade stopped at the erase: stopped by the user.")),
             qPrintable(f.prompts.messages.first()));
    QVERIFY(!f.wentToGo());
}

void TestFirmwareUpgrade::backupNeverOverwritesAnother()
{
    QTemporaryDir dir;
    const QDateTime time(QDate(2024, 6, 11), QTime(15, 30, 45));
    const QString first = FirmwareUpgrade::backupFileName(dir.path(), time);
    QCOMPARE(first, dir.path() + QStringLiteral("/firmware-backup-20240611-153045.bin"));
    QFile(first).open(QIODevice::WriteOnly);
    const QString second = FirmwareUpgrade::backupFileName(dir.path(), time);
    QCOMPARE(second, dir.path() + QStringLiteral("/firmware-backup-20240611-153045-2.bin"));
    QFile(second).open(QIODevice::WriteOnly);
    QCOMPARE(FirmwareUpgrade::backupFileName(dir.path(), time), dir.path() + QStringLiteral("/firmware-backup-20240611-153045-3.bin"));
}

QTEST_MAIN(TestFirmwareUpgrade)
#include "tst_firmwareupgrade.moc"

void TestFirmwareUpgrade::questionBeforeWriting_data()
{
    QTest::addColumn<bool>("backup");
    QTest::addColumn<Prompts::Answer>("answer");
    QTest::newRow("no-sends-nothing-not-even-an-erase") << true << Prompts::Answer::No;
    QTest::newRow("box-closed-without-an-answer-sends-nothing") << false << Prompts::Answer::Other;
    QTest::newRow("yes-backs-up-then-writes") << true << Prompts::Answer::Yes;
    QTest::newRow("yes-without-backup-writes") << false << Prompts::Answer::Yes;
}

void TestFirmwareUpgrade::questionBeforeWriting()
{
    QFETCH(bool, backup);
    QFETCH(Prompts::Answer, answer);
    FirmwareFixture f;
    f.openUpgrade();
    f.choose(TformFirmwareUpgrade::itmFirmware5);
    f.window().chkBackupFirst->setChecked(backup);
    f.pedal().clearFrameLog();
    f.prompts.scriptIrreversible(answer);
    f.click(f.window().btnUpgradeFirmware);

    QCOMPARE(f.prompts.irreversible.size(), 1);
    const QString question = f.prompts.irreversible.first();
    QVERIFY2(question.startsWith(QStringLiteral("Write Firmware_5 (27164 bytes) into the pedal's controller?")),
             qPrintable(question));
    QVERIFY2(question.contains(QStringLiteral("Keep the pedal plugged in")), qPrintable(question));
    QCOMPARE(question.contains(QStringLiteral("No backup is made")), !backup);
    QCOMPARE(question.contains(QStringLiteral("backed up first, into\n") + f.backupFolder() + "/firmware-backup-"),
             backup);
    QVERIFY(f.prompts.surprises.isEmpty());

    if (answer != Prompts::Answer::Yes) {
        QCOMPARE(f.pedal().frameLog(), QStringList{});
        QVERIFY(f.pedal().flash() == f.flashBefore);
        QCOMPARE(f.backups(), QStringList{});
        QCOMPARE(f.prompts.messages, QStringList{});
        QVERIFY(f.window().btnUpgradeFirmware->isEnabled());
        // Asked again, it runs.
        f.upgrade();
    }
    QVERIFY(f.pedal().flash() == flashWith(builtIn(QStringLiteral("Firmware_5")), 5));
    QCOMPARE(f.prompts.messages.size(), 2);
    QCOMPARE(f.prompts.messages.last(), QStringLiteral("Firmware 5 is running."));
    const QStringList complete = f.prompts.messages.first().split(QLatin1Char('\n'));
    QCOMPARE(complete.first(), kComplete);
    if (backup) {
        QCOMPARE(f.backups().size(), 1);
        QCOMPARE(complete.last(), f.backupFolder() + '/' + f.backups().first());
        // The file written is the one the question named.
        QVERIFY2(f.prompts.irreversible.last().contains("into\n" + f.backupFolder() + '/' + f.backups().first() + "\n"),
                 qPrintable(f.prompts.irreversible.last()));
    } else {
        QCOMPARE(complete.size(), 1);
    }
}
