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
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <csignal>

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

} // namespace

class TestFirmwarePty : public QObject {
    Q_OBJECT

private slots:
    void upgradeThenReadBackWithStm32flash();
    void fastTransferOnTheModelledLine();
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
        firmwareWindow(editor).btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages, QStringList{"Firmware Upgrade Complete, device will now restart"});
        QVERIFY(logged(logPath, "boot GO 08000000\n"));

        // The backup holds the flash as it was: erased.
        const QStringList backups = QDir(editor.folders.documents() + QStringLiteral("/ZANTH/Tovel"))
                                        .entryList({QStringLiteral("firmware-backup-*.bin")});
        QCOMPARE(backups.size(), 1);
        QVERIFY(readFile(editor.folders.documents() + QStringLiteral("/ZANTH/Tovel/") + backups.first())
                == QByteArray(128 * 1024, char(0xFF)));

        // The new firmware answers the effect query with its version.
        editor.main().menuFirmwareUpgradeMode->trigger();
        editor.app->exchange().sendBytes(QByteArray::fromHex("0500"), true);
        const QString answer = QString::fromUtf8(editor.app->exchange().CollectAnswerText(effectQueryAnswer()).bytes);
        QCOMPARE(answer.split(QStringLiteral("\r\n")).value(3), QStringLiteral("5"));
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
        w.btnUpgradeFirmware->click();
        QCOMPARE(editor.prompts.messages, QStringList{"Firmware Upgrade Complete, device will now restart"});
        QVERIFY(editor.console().contains(QStringLiteral("Start Resync")));
        QVERIFY(logged(sim.logPath(), "boot GO 08000000\n"));
        editor.main().menuDisconnect->trigger();
    }
    QVERIFY(sim.process.stop());
    const QByteArray flash = readFile(dump);
    QCOMPARE(flash.size(), expected.size());
    QVERIFY(flash == expected);
}

QTEST_MAIN(TestFirmwarePty)
#include "tst_firmwarepty.moc"
