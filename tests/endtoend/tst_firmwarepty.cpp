// The firmware upgrade as `tovel-editor --device PTY` runs it: the kernel serial driver on the
// simulator's pseudo-terminal, real time; then stm32flash reads the flash back.
#include "core/pacing.h"
#include "firmware/firmwareimage.h"
#include "pedal/pedalsimprocess.h"
#include "protocol/commandexchange.h"
#include "tests/support/editorfixture.h"
#include "tests/support/ptyeditor.h"
#include "usb/drivers/systemdrivers.h"

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace tovel;
using namespace tovel::test;

namespace {

TformFirmwareUpgrade &firmwareWindow(PtyEditor &editor)
{
    return *editor.app->formFirmwareUpgrade();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits (bounded) until the simulator's frame log holds the line.
bool logged(const QString &logPath, const QByteArray &line)
{
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (readFile(logPath).contains(line))
            return true;
        QThread::msleep(20);
    }
    return false;
}

QByteArray expectedFlash(const QByteArray &image, int variant)
{
    QByteArray flash(128 * 1024, char(0xFF));
    flash.replace(0, image.size(), image);
    if (variant != 0)
        flash.replace(0x1FC00, 8, QByteArray(1, char(variant)) + QByteArray(7, '\0'));
    return flash;
}

// A client that talks to the bootloader before the editor and goes away without finishing:
// the terminal opened raw, bytes written, each step's answer awaited.
struct EarlierClient {
    int fd = -1;
    explicit EarlierClient(const QString &path)
    {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
        termios t{};
        if (fd >= 0 && tcgetattr(fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~EarlierClient()
    {
        if (fd >= 0) {
            tcdrain(fd); // what it wrote has reached the pedal before it goes
            ::close(fd);
        }
    }
    bool write(const QByteArray &bytes) { return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    // The next answer byte, within 2 s; -1 for none.
    int answer()
    {
        pollfd p{fd, POLLIN, 0};
        unsigned char c = 0;
        if (::poll(&p, 1, 2000) != 1 || ::read(fd, &c, 1) != 1)
            return -1;
        return c;
    }
    // Writes each step and expects its acknowledge.
    bool steps(const QList<QByteArray> &hexSteps)
    {
        for (const QByteArray &step : hexSteps)
            if (!write(QByteArray::fromHex(step)) || answer() != 0x79)
                return false;
        return true;
    }
};

// Connect in Upgrade Mode, Start Firmware Upgrade, the image chosen; the backup off and Fast
// transfer on (the slow parts have their own tests), the messages cleared.
void openUpgrade(PtyEditor &editor, int item)
{
    editor.main().menuFirmwareUpgradeMode->trigger();
    editor.main().menuConnect->trigger();
    editor.main().menuStartFirmwareUpgrade->trigger();
    TformFirmwareUpgrade &w = firmwareWindow(editor);
    w.chkBackupFirst->setChecked(false);
    w.chkFastTransfer->setChecked(true);
    if (item != TformFirmwareUpgrade::itmFromFile) {
        w.cmbFirmwareChoose->setCurrentIndex(item);
        emit w.cmbFirmwareChoose->activated(item);
    }
}

} // namespace

class TestFirmwarePty : public QObject {
    Q_OBJECT

private slots:
    void upgradeThenReadBackWithStm32flash();
    void fastTransferOnTheModelledLine();
    void freshEditorTakesOverALeftBootloader_data();
    void freshEditorTakesOverALeftBootloader();
    void oddSizesWrittenInWholeWords_data();
    void oddSizesWrittenInWholeWords();
    void noToTheQuestionSendsNothing();
};

void TestFirmwarePty::upgradeThenReadBackWithStm32flash()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("frames.log"));
    const QString readBack = dir.filePath(QStringLiteral("read-back.bin"));
    QByteArray image;
    QVERIFY(loadBuiltInImage(QStringLiteral("Firmware_5"), image));
    QByteArray expected(128 * 1024, char(0xFF));
    expected.replace(0, image.size(), image);
    expected.replace(0x1FC00, 8, QByteArray::fromHex("0500000000000000"));

    pedal::PedalSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--log"), logPath}), qPrintable(sim.errorText()));
    {
        PtyEditor editor(sim.ptyPath());
        editor.main().menuFirmwareUpgradeMode->trigger();
        editor.main().menuConnect->trigger();
        QCOMPARE(editor.prompts.messages, QStringList{"Connection to bootloader succeeded"});
        editor.main().menuStartFirmwareUpgrade->trigger();
        firmwareWindow(editor).cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware5);
        emit firmwareWindow(editor).cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware5);
        editor.prompts.messages.clear();
        editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
        firmwareWindow(editor).btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages.size(), 2);
        QCOMPARE(editor.prompts.messages.first().section(QLatin1Char('\n'), 0, 0), QStringLiteral("Firmware Upgrade Complete, device will now restart"));
        QCOMPARE(editor.prompts.messages.last(), QStringLiteral("Firmware 5 is running."));
        QVERIFY(logged(logPath, "boot GO 08000000\n"));

        // The backup holds the flash as it was: erased. The question named it before anything
        // was read or written, and the completion message names it on a line of its own.
        const QStringList backups = QDir(editor.folders.documents() + QStringLiteral("/ZANTH/Tovel"))
                                        .entryList({QStringLiteral("firmware-backup-*.bin")});
        QCOMPARE(backups.size(), 1);
        const QString backupPath = editor.folders.documents() + QStringLiteral("/ZANTH/Tovel/") + backups.first();
        QCOMPARE(editor.prompts.irreversible.size(), 1);
        QVERIFY2(editor.prompts.irreversible.first().contains(QLatin1Char('\n') + backupPath + QLatin1Char('\n')),
                 qPrintable(editor.prompts.irreversible.first()));
        QCOMPARE(editor.prompts.messages.size(), 1);
        const QStringList complete = editor.prompts.messages.first().split(QLatin1Char('\n'));
        QCOMPARE(complete.first(), QStringLiteral("Firmware Upgrade Complete, device will now restart"));
        QCOMPARE(complete.last(), backupPath);
        QVERIFY(readFile(editor.folders.documents() + QStringLiteral("/ZANTH/Tovel/") + backups.first())
                == QByteArray(128 * 1024, char(0xFF)));

        // The new firmware answered the effect query with its version, once connected again in
        // the normal mode.
        QVERIFY(!editor.main().menuFirmwareUpgradeMode->isChecked());
        QCOMPARE(editor.main().lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 5"));
        QVERIFY(logged(logPath, "fw EffectQuery 00\n"));
        editor.main().menuDisconnect->trigger();
    }

    // The user resets the pedal into its bootloader; a third-party client reads the flash.
    QCOMPARE(::kill(pid_t(sim.processId()), SIGUSR1), 0);
    QVERIFY(logged(logPath, "reset into the bootloader\n"));
    QProcess flasher;
    flasher.setProcessChannelMode(QProcess::MergedChannels);
    flasher.start(QStringLiteral(STM32FLASH_PROGRAM),
                  {QStringLiteral("-b"), QStringLiteral("115200"), QStringLiteral("-m"), QStringLiteral("8n1"),
                   QStringLiteral("-r"), readBack, sim.ptyPath()});
    QVERIFY(flasher.waitForFinished(60000));
    const QByteArray output = flasher.readAll();
    QVERIFY2(flasher.exitStatus() == QProcess::NormalExit && flasher.exitCode() == 0, output.constData());
    QVERIFY(sim.stop());
    const QByteArray flash = readFile(readBack);
    QCOMPARE(flash.size(), expected.size());
    QVERIFY(flash == expected);
}

// Fast transfer at 115,200 baud, with a slow erase that answers "busy" meanwhile and read-backs
// that come in two pieces with a pause between them. The user closes the window during the run,
// which the window sees while the link waits for the pedal; the next run brings the bootloader
// back in step and writes the whole image.
void TestFirmwarePty::fastTransferOnTheModelledLine()
{
    LoggedSim sim;
    const QString dump = sim.dir.filePath(QStringLiteral("flash.bin"));
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--erase-busy"), QStringLiteral("1200"),
                        QStringLiteral("--split"), QStringLiteral("2:10"), QStringLiteral("--dump-flash"), dump}),
             qPrintable(sim.process.errorText()));
    QByteArray image;
    QVERIFY(loadBuiltInImage(QStringLiteral("Firmware_5"), image));
    QByteArray expected(128 * 1024, char(0xFF));
    expected.replace(0, image.size(), image);
    expected.replace(0x1FC00, 8, QByteArray::fromHex("0500000000000000"));
    {
        PtyEditor editor(sim.process.ptyPath());
        editor.main().menuFirmwareUpgradeMode->trigger();
        editor.main().menuConnect->trigger();
        QCOMPARE(editor.prompts.messages, QStringList{"Connection to bootloader succeeded"});
        editor.main().menuStartFirmwareUpgrade->trigger();
        TformFirmwareUpgrade &w = firmwareWindow(editor);
        w.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware5);
        emit w.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware5);
        w.chkBackupFirst->setChecked(false);
        w.chkFastTransfer->setChecked(true);
        editor.prompts.messages.clear();

        // Once chunk 10 has reached the pedal, the user closes the window and confirms.
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!readFile(sim.logPath()).contains("boot WRITE 08000A00 256 bytes"))
                return;
            watch.stop();
            editor.prompts.scriptAnswer(Prompts::Answer::Yes);
            w.close();
        });
        watch.start();
        editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
        w.btnUpgradeFirmware->click();
        QVERIFY(!watch.isActive());
        QCOMPARE(editor.prompts.messages.size(), 1);
        const QString stopped = editor.prompts.messages.first();
        QVERIFY2(stopped.startsWith(QStringLiteral("Firmware upgrade stopped at chunk 1"))
                     && stopped.contains(QStringLiteral(": stopped by the user.")),
                 qPrintable(stopped));
        // The erase said "busy" as it began and a second later.
        QCOMPARE(editor.console().filter(QStringLiteral("BUSY")).size(), 2);
        QVERIFY(!readFile(sim.logPath()).contains("boot GO"));

        editor.prompts.messages.clear();
        editor.main().menuStartFirmwareUpgrade->trigger();
        QVERIFY(w.chkFastTransfer->isChecked());
        editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
        w.btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages, (QStringList{"Firmware Upgrade Complete, device will now restart", "Firmware 5 is running."}));
        QVERIFY(editor.console().contains(QStringLiteral("Start Resync")));
        QVERIFY(logged(sim.logPath(), "boot GO 08000000\n"));
        editor.main().menuDisconnect->trigger();
    }
    QVERIFY(sim.process.stop());
    const QByteArray flash = readFile(dump);
    QCOMPARE(flash.size(), expected.size());
    QVERIFY(flash == expected);
}

// The bootloader has been greeted and left in its command loop by an earlier client: a flasher
// that went away, or an editor closed in the middle of a chunk. A fresh editor connects and
// upgrades.
void TestFirmwarePty::freshEditorTakesOverALeftBootloader_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::newRow("stm32flash-greeted-it-and-went-away") << "stm32flash";
    QTest::newRow("an-editor-closed-in-the-middle-of-a-chunk") << "editor";
}

void TestFirmwarePty::freshEditorTakesOverALeftBootloader()
{
    QFETCH(QString, earlier);
    LoggedSim sim;
    const QString dump = sim.dir.filePath(QStringLiteral("flash.bin"));
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--dump-flash"), dump}),
             qPrintable(sim.process.errorText()));
    if (earlier == QLatin1String("stm32flash")) {
        // It greets, asks the bootloader's commands, version and ID, and leaves.
        QProcess flasher;
        flasher.setProcessChannelMode(QProcess::MergedChannels);
        flasher.start(QStringLiteral(STM32FLASH_PROGRAM),
                      {QStringLiteral("-b"), QStringLiteral("115200"), QStringLiteral("-m"), QStringLiteral("8n1"),
                       sim.process.ptyPath()});
        QVERIFY(flasher.waitForFinished(30000));
        QVERIFY2(flasher.exitCode() == 0, flasher.readAll().constData());
    } else {
        // The write command of chunk 51, its address, the count and 100 of the 256 bytes.
        EarlierClient client(sim.process.ptyPath());
        QVERIFY(client.fd >= 0);
        QVERIFY(client.steps({"7F", "31CE", "080032003A"}));
        QVERIFY(client.write(QByteArray(1, char(0xFF)) + QByteArray(100, 'A')));
    }
    const int framesBefore = sim.mark();
    QVERIFY(framesBefore > 0);
    QVERIFY(sim.frames().first() == QLatin1String("boot sync"));

    QByteArray image;
    QVERIFY(loadBuiltInImage(QStringLiteral("Firmware_5"), image));
    {
        PtyEditor editor(sim.process.ptyPath());
        openUpgrade(editor, TformFirmwareUpgrade::itmFirmware5);
        QCOMPARE(editor.prompts.messages, QStringList{"Connection to bootloader succeeded"});
        const QStringList lines = editor.console();
        QVERIFY(lines.contains(QStringLiteral("Start Resync")));
        QVERIFY2(lines.contains(QStringLiteral("bootloader in step: it was left in its command loop")),
                 qPrintable(lines.join('\n')));
        // No second sync: the bootloader was never reset.
        QCOMPARE(sim.frames().count(QStringLiteral("boot sync")), 1);
        editor.prompts.messages.clear();
        editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
        firmwareWindow(editor).btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages, (QStringList{"Firmware Upgrade Complete, device will now restart", "Firmware 5 is running."}));
        QVERIFY(logged(sim.logPath(), "boot GO 08000000\n"));
        editor.main().menuDisconnect->trigger();
    }
    QVERIFY(sim.process.stop());
    const QByteArray flash = readFile(dump);
    QVERIFY(flash == expectedFlash(image, 5));
}

// Images from files of sizes no multiple of 4: every write carries whole words, the last one
// filled up with 0xFF.
void TestFirmwarePty::oddSizesWrittenInWholeWords_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("lastWrite");
    QTest::newRow("257-bytes") << 257 << "boot WRITE 08000100 4 bytes";
    QTest::newRow("1001-bytes") << 1001 << "boot WRITE 08000300 236 bytes";
}

void TestFirmwarePty::oddSizesWrittenInWholeWords()
{
    QFETCH(int, size);
    QFETCH(QString, lastWrite);
    LoggedSim sim;
    const QString dump = sim.dir.filePath(QStringLiteral("flash.bin"));
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--dump-flash"), dump}),
             qPrintable(sim.process.errorText()));
    // A vector table (stack 0x20005000, reset handler 0x08000101), then counting bytes.
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char(i * 7 + 3);
    image.replace(0, 8, QByteArray::fromHex("0050002001010008"));
    const QString path = sim.dir.filePath(QStringLiteral("odd.bin"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(image) == size);
    }
    {
        PtyEditor editor(sim.process.ptyPath());
        openUpgrade(editor, TformFirmwareUpgrade::itmFromFile);
        editor.prompts.scriptFile(path);
        emit firmwareWindow(editor).cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFromFile);
        editor.prompts.messages.clear();
        editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
        firmwareWindow(editor).btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages, (QStringList{"Firmware Upgrade Complete, device will now restart", "Firmware 5 is running."}));
        QVERIFY(logged(sim.logPath(), "boot GO 08000000\n"));
        editor.main().menuDisconnect->trigger();
    }
    QVERIFY(sim.process.stop());
    const QStringList writes = sim.frames().filter(QStringLiteral("boot WRITE "));
    QCOMPARE(writes.size(), (size + 255) / 256);
    for (const QString &w : writes)
        QVERIFY2(w.section(' ', 3, 3).toInt() % 4 == 0, qPrintable(w));
    QCOMPARE(writes.last(), lastWrite);
    QVERIFY(sim.frames().filter(QStringLiteral("NACK")).isEmpty());
    QVERIFY(readFile(dump) == expectedFlash(image, 0));
}

QTEST_MAIN(TestFirmwarePty)
#include "tst_firmwarepty.moc"

// The question before an upgrade, answered No: not a frame reaches the bootloader, not even the
// erase, and the flash holds what it held. Asked again and answered Yes, the upgrade runs.
void TestFirmwarePty::noToTheQuestionSendsNothing()
{
    LoggedSim sim;
    const QString dump = sim.dir.filePath(QStringLiteral("flash.bin"));
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--dump-flash"), dump}),
             qPrintable(sim.process.errorText()));
    QByteArray image;
    QVERIFY(loadBuiltInImage(QStringLiteral("Firmware_4"), image));
    {
        PtyEditor editor(sim.process.ptyPath());
        openUpgrade(editor, TformFirmwareUpgrade::itmFirmware4);
        QCOMPARE(editor.prompts.messages, QStringList{"Connection to bootloader succeeded"});
        editor.prompts.messages.clear();
        const int before = sim.mark();
        QVERIFY(before >= 0);
        editor.prompts.scriptIrreversible(Prompts::Answer::No);
        firmwareWindow(editor).btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.irreversible.size(), 1);
        QVERIFY2(editor.prompts.irreversible.first().startsWith(QStringLiteral("Write Firmware_4 ")),
                 qPrintable(editor.prompts.irreversible.first()));
        QCOMPARE(sim.framesSince(before), QStringList{});
        QCOMPARE(editor.prompts.messages, QStringList{});
        QVERIFY(firmwareWindow(editor).btnUpgradeFirmware->isEnabled());

        editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
        firmwareWindow(editor).btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages, QStringList{"Firmware Upgrade Complete, device will now restart"});
        QVERIFY(logged(sim.logPath(), "boot GO 08000000\n"));
        editor.main().menuDisconnect->trigger();
    }
    QVERIFY(sim.process.stop());
    QVERIFY(readFile(dump) == expectedFlash(image, 4));
}
