// A whole Firmware_5 upgrade through the main window and the firmware window, over the
// modelled 115,200-baud line of tovel-pedal-sim on a pseudo-terminal, in real time (the
// kernel serial driver, as `tovel-editor --device PTY` runs): paced (the default),
// and with Fast transfer; against stm32flash writing and verifying the same image on the same
// line. Also the floor of the paced sequence itself: its fixed sleeps plus the wire time of
// its bytes, the read-back verify included.
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
const QStringList kLine{QStringLiteral("--bootloader"), QStringLiteral("--line-rate"), QString::number(kBaud)};

// One upgrade on a fresh simulated pedal; seconds, or a negative number when it failed.
double upgradeOnce(bool fast, bool backup)
{
    pedal::PedalSimProcess sim;
    if (!sim.start(kLine)) {
        std::printf("sim: %s\n", qPrintable(sim.errorText()));
        return -1;
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
    QElapsedTimer timer;
    timer.start();
    window.btnUpgradeFirmware->click();
    const double s = timer.nsecsElapsed() / 1e9;
    if (prompts.messages != QStringList{QStringLiteral("Firmware Upgrade Complete, device will now restart")}) {
        std::printf("upgrade failed: %s\n", qPrintable(prompts.messages.join(QStringLiteral(" | "))));
        return -1;
    }
    return s;
}

// stm32flash writing and verifying the image; with start, also starting it afterwards (as
// the editor's upgrade ends).
double stm32flashOnce(const QString &imagePath, bool start)
{
    pedal::PedalSimProcess sim;
    if (!sim.start(kLine))
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
        const double fast = upgradeOnce(true, false);
        std::printf("editor, Fast transfer (no backup): %.2f s\n", fast);
        return fast < 0;
    }
    double sleepS = 0, wireS = 0;
    pacedFloor(int(image.size()), sleepS, wireS);
    std::printf("Firmware_5: %lld bytes at %d baud\n", qlonglong(image.size()), kBaud);
    std::printf("paced sequence floor: %.2f s sleeps + %.2f s wire = %.2f s\n", sleepS, wireS, sleepS + wireS);

    // Fast transfer and stm32flash are bound by the same exchanges on the same line and differ
    // by little: they run in turns, a few times each, and the middle run counts.
    constexpr int kRounds = 3;
    QList<double> flasherRuns, flasherStartRuns, fastRuns;
    for (int round = 0; round < kRounds; ++round) {
        flasherRuns << stm32flashOnce(imagePath, false);
        flasherStartRuns << stm32flashOnce(imagePath, true);
        fastRuns << upgradeOnce(true, false);
    }
    const double paced = upgradeOnce(false, false);
    const double fastBackup = upgradeOnce(true, true);
    const QList<double> all = flasherRuns + flasherStartRuns + fastRuns + QList<double>{paced, fastBackup};
    if (std::any_of(all.begin(), all.end(), [](double s) { return s < 0; }))
        return 1;
    using tovel::bench::median;
    const double flasher = median(flasherRuns);
    const double flasherStart = median(flasherStartRuns);
    const double fast = median(fastRuns);
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
    std::printf("editor, paced (no backup):        %6.2f s  (%.2f x stm32flash, %.2f x the paced floor)\n",
                paced, paced / flasher, paced / (sleepS + wireS));
    std::printf("editor, Fast transfer with backup: %5.2f s  (%.2f x stm32flash; the backup reads 128 KB)\n",
                fastBackup, fastBackup / flasher);
    // The least any write-and-verify can take: the image across the line once each way.
    const double wireFloor = 2.0 * image.size() * 10 / kBaud;
    using tovel::bench::result;
    result("Firmware_5 upgrade: stm32flash write + verify", flasher, "s", wireFloor, "(image out and back)");
    result("Firmware_5 upgrade: editor, paced (default)", paced, "s", sleepS + wireS, "(paced floor)");
    result("Firmware_5 upgrade: stm32flash write + verify + start", flasherStart, "s", wireFloor, "(image out and back)");
    result("Firmware_5 upgrade: editor, Fast transfer", fast, "s", flasher, "(stm32flash)");
    result("Firmware_5 upgrade: editor, Fast transfer", fast, "s", flasherStart, "(stm32flash with start)");
    result("Firmware_5 upgrade: editor, Fast transfer", fast, "s", wireFloor, "(image out and back)");
    result("Firmware_5 upgrade: editor, Fast transfer + backup", fastBackup, "s", flasher, "(stm32flash)");
    return 0;
}
