// A whole Firmware_5 upgrade through the main window and the firmware window, over the
// modelled 115,200-baud line of tovel-pedal-sim on a pseudo-terminal, in real time (the
// kernel serial driver, as `tovel-editor --device PTY` runs): paced (the default),
// and with Fast transfer; against stm32flash writing, verifying and starting the same image on
// the same line. Each upgrade is timed in two parts: from the click to the completion message
// (the transfer, what stm32flash does), and from there to "Firmware 5 is running." (the
// restart: the link closed, the bridge listed again, connected, the effect query answered).
// Also the floor of the paced sequence itself: its fixed sleeps plus the wire time of its
// bytes, the read-back verify included.
#include "bench/benchresult.h"
#include "core/pacing.h"
#include "firmware/bootloaderprotocol.h"
#include "firmware/firmwareimage.h"
#include "app/tformfirmwareupgrade.h"
#include "pedal/pedalsimprocess.h"
#include "tests/support/editorfixture.h"
#include "usb/drivers/systemdrivers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr int kBaud = 115200;

// The simulator's line: the modelled 115,200 baud, or none in the short run.
QStringList line()
{
    return {QStringLiteral("--bootloader"), QStringLiteral("--line-rate"),
            QString::number(bench::shortRun() ? 0 : kBaud)};
}

struct Upgrade {
    double transferS = -1; // the click to the completion message
    double restartS = -1;  // the completion message to "Firmware 5 is running."
};

// One upgrade on a fresh simulated pedal; negative times when it failed.
Upgrade upgradeOnce(bool fast, bool backup)
{
    pedal::PedalSimProcess sim;
    if (!sim.start(line())) {
        std::printf("sim: %s\n", qPrintable(sim.errorText()));
        return {};
    }
    SteadyClock clock;
    RealPacing pacing;
    ScriptedPrompts prompts;
    TempFolders folders;
    std::unique_ptr<FtDriver> driver = makeSerialPathDriver(sim.ptyPath());
    Application app(prompts, pacing, folders, *driver, clock);
    TformMain &main = *app.formMain();
    TformFirmwareUpgrade &window = *app.formFirmwareUpgrade();
    main.menuFirmwareUpgradeMode->trigger();
    main.menuConnect->trigger();
    main.menuStartFirmwareUpgrade->trigger();
    window.chkFastTransfer->setChecked(fast);
    window.chkBackupFirst->setChecked(backup);
    window.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware5);
    emit window.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware5);
    prompts.messages.clear();
    // The question before writing, answered as the player does.
    prompts.scriptIrreversible(Prompts::Answer::Yes);
    QElapsedTimer timer;
    qint64 completedNs = -1;
    prompts.onMessage = [&](const QString &) {
        if (completedNs < 0)
            completedNs = timer.nsecsElapsed();
    };
    timer.start();
    window.btnUpgradeFirmware->click();
    const qint64 endNs = timer.nsecsElapsed();
    prompts.onMessage = nullptr;
    // The completion message names the backup when one was taken.
    const bool done = prompts.messages.size() == 2
                      && prompts.messages[0].startsWith(QLatin1String("Firmware Upgrade Complete, device will now restart"))
                      && prompts.messages[1] == QLatin1String("Firmware 5 is running.");
    if (!done || !prompts.surprises.isEmpty()) {
        std::printf("upgrade failed: %s\n", qPrintable((prompts.messages + prompts.surprises).join(QStringLiteral(" | "))));
        return {};
    }
    return {completedNs / 1e9, (endNs - completedNs) / 1e9};
}

// stm32flash writing and verifying the image; with start, also starting it afterwards (as
// the editor's upgrade ends).
double stm32flashOnce(const QString &imagePath, bool start)
{
    pedal::PedalSimProcess sim;
    if (!sim.start(line()))
        return -1;
    QProcess flasher;
    flasher.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    QStringList arguments{QStringLiteral("-b"), QString::number(kBaud), QStringLiteral("-m"), QStringLiteral("8n1"),
                          QStringLiteral("-w"), imagePath, QStringLiteral("-v")};
    if (start)
        arguments << QStringLiteral("-g") << QStringLiteral("0x08000000");
    flasher.start(QStringLiteral(STM32FLASH_PROGRAM), arguments << sim.ptyPath());
    if (!flasher.waitForFinished(300000) || flasher.exitCode() != 0) {
        std::printf("stm32flash failed: %s\n", flasher.readAll().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

// The paced sequence of the upgrade without backup: its sleeps, and the wire time of every
// byte it sends and receives (10 bits a byte), the read-back of the image and of the variant
// marker included (read frames have no pauses).
void pacedFloor(int size, double &sleepS, double &wireS)
{
    using namespace bootloader;
    const int chunks = (size + 255) / 256;
    int sleepMs = 0;
    auto frame = [&](Frame f, int bytes) {
        const FrameInfo &i = frameInfo(f);
        sleepMs += bytes * (i.sleepBeforeEachByteMs + i.sleepAfterEachByteMs) + i.sleepAfterFrameMs;
    };
    frame(Frame::EraseCommand, 2);
    frame(Frame::GlobalErase, 2);
    for (int k = 0; k < chunks; ++k) {
        frame(Frame::WriteCommand, 2);
        frame(Frame::WriteAddress, 5);
        frame(Frame::DataCount, 1);
        frame(Frame::DataChecksum, 1);
    }
    frame(Frame::WriteCommand, 2);
    frame(Frame::WriteAddress, 5);
    frame(Frame::Marker, 10);
    sleepMs += 2000;
    frame(Frame::GoCommand, 2);
    frame(Frame::GoAddress, 5);
    // A read: command (2) and ACK, address (5) and ACK, count (2) and ACK, then the data.
    const int markerBytes = 8;
    const int readBack = (chunks + 1) * (2 + 1 + 5 + 1 + 2 + 1) + size + markerBytes;
    const int sent = 4 + chunks * 9 + size + 17 + 7;
    const int answers = 2 + chunks * 3 + 3 + 2 + readBack;
    sleepS = sleepMs / 1000.0;
    wireS = (sent + answers) * 10.0 / kBaud;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QByteArray image;
    if (!loadBuiltInImage(QStringLiteral("Firmware_5"), image))
        return 1;
    QTemporaryDir dir;
    const QString imagePath = dir.filePath(QStringLiteral("firmware_5.bin"));
    {
        QFile f(imagePath);
        if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size())
            return 1;
    }

    // `bench_firmware fast`: one Fast transfer upgrade alone, to profile it.
    if (argc > 1 && QByteArray(argv[1]) == "fast") {
        const Upgrade fast = upgradeOnce(true, false);
        std::printf("editor, Fast transfer (no backup): %.2f s to the completion, %.2f s more to the restart\n",
                    fast.transferS, fast.restartS);
        return fast.transferS < 0;
    }
    double sleepS = 0, wireS = 0;
    pacedFloor(int(image.size()), sleepS, wireS);
    std::printf("Firmware_5: %lld bytes at %d baud\n", qlonglong(image.size()), kBaud);
    std::printf("paced sequence floor: %.2f s sleeps + %.2f s wire = %.2f s\n", sleepS, wireS, sleepS + wireS);

    // Fast transfer and stm32flash are bound by the same exchanges on the same line and differ
    // by little: they run in turns, a few times each, and the middle run counts.
    const int rounds = bench::amount(3);
    QList<double> flasherRuns, flasherStartRuns, fastRuns, restartRuns;
    for (int round = 0; round < rounds; ++round) {
        flasherRuns << stm32flashOnce(imagePath, false);
        flasherStartRuns << stm32flashOnce(imagePath, true);
        const Upgrade fast = upgradeOnce(true, false);
        fastRuns << fast.transferS;
        restartRuns << fast.restartS;
    }
    // The paced run sleeps about 8 s whatever the line: the short run leaves it and the backup
    // out (the suite's own tests take both paths).
    const Upgrade paced = bench::shortRun() ? Upgrade{0, 0} : upgradeOnce(false, false);
    const Upgrade fastBackup = bench::shortRun() ? Upgrade{0, 0} : upgradeOnce(true, true);
    const QList<double> all = flasherRuns + flasherStartRuns + fastRuns + restartRuns
                              + QList<double>{paced.transferS, paced.restartS, fastBackup.transferS};
    if (std::any_of(all.begin(), all.end(), [](double s) { return s < 0; }))
        return 1;
    using tovel::bench::median;
    const double flasher = median(flasherRuns);
    const double flasherStart = median(flasherStartRuns);
    const double fast = median(fastRuns);
    const double restart = median(restartRuns);
    const auto runs = [](const QList<double> &list) {
        QStringList texts;
        for (double s : list)
            texts << QString::number(s, 'f', 2);
        return texts.join(QLatin1Char(' '));
    };
    std::printf("stm32flash write + verify:         %5.2f s  (runs %s)\n", flasher, qPrintable(runs(flasherRuns)));
    std::printf("stm32flash write + verify + start: %5.2f s  (runs %s)\n", flasherStart,
                qPrintable(runs(flasherStartRuns)));
    std::printf("editor, Fast transfer (no backup): %5.2f s  (runs %s; %.3f x stm32flash, %.3f x with start)\n", fast,
                qPrintable(runs(fastRuns)), fast / flasher, fast / flasherStart);
    std::printf("editor, restart and reconnect:     %5.2f s  (runs %s)\n", restart, qPrintable(runs(restartRuns)));
    std::printf("editor, paced (no backup):        %6.2f s  (%.2f x stm32flash, %.2f x the paced floor; "
                "restart %.2f s)\n",
                paced.transferS, paced.transferS / flasher, paced.transferS / (sleepS + wireS), paced.restartS);
    std::printf("editor, Fast transfer with backup: %5.2f s  (%.2f x stm32flash; the backup reads 128 KB)\n",
                fastBackup.transferS, fastBackup.transferS / flasher);
    // The least any write-and-verify can take: the image across the line once each way.
    const double wireFloor = 2.0 * image.size() * 10 / kBaud;
    using tovel::bench::result;
    result("Firmware_5 upgrade: stm32flash write + verify", flasher, "s", wireFloor, "(image out and back)");
    result("Firmware_5 upgrade: stm32flash write + verify + start", flasherStart, "s", wireFloor,
           "(image out and back)");
    result("Firmware_5 upgrade: editor, Fast transfer, to the completion message", fast, "s", flasherStart,
           "(stm32flash with start)");
    result("Firmware_5 upgrade: editor, Fast transfer, to the completion message", fast, "s", wireFloor,
           "(image out and back)");
    result("Firmware_5 upgrade: editor, restart and reconnect, to \"Firmware 5 is running.\"", restart, "s");
    result("Firmware_5 upgrade: editor, paced (default), to the completion message", paced.transferS, "s",
           sleepS + wireS, "(paced floor)");
    result("Firmware_5 upgrade: editor, Fast transfer + backup, to the completion message", fastBackup.transferS, "s",
           flasherStart, "(stm32flash with start)");
    return 0;
}
