// `tovel flash` and `tovel backup` on tovel-pedal-sim's bootloader through a pseudo-terminal
// at 115,200 baud: what lands in the flash, where the backup goes, and how a stopped upgrade
// and a refused image end.
#include "firmware/firmwareimage.h"
#include "tests/support/ptyeditor.h"
#include "tests/support/tovelprocess.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace tovel;
using namespace tovel::test;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTovelFlash : public QObject {
    Q_OBJECT

private slots:
    void backupThenFlashWithItsBackup();
    void stopsAndSays_data();
    void stopsAndSays();
    void writtenButThePedalNeverComesBack();
    void interruptedRunSaysWhereThePedalStands();
    void backupWritesOnlyARegularFile_data();
    void backupWritesOnlyARegularFile();
};

void TestTovelFlash::backupThenFlashWithItsBackup()
{
    QTemporaryDir dir;
    const QString dump = dir.filePath("flash.bin");
    LoggedSim sim;
    QVERIFY2(sim.start({"--bootloader", "--dump-flash", dump}), qPrintable(sim.process.errorText()));
    TovelProcess tovel;

    const QString backup = dir.filePath("before.bin");
    const TovelProcess::Run saved = tovel.onDevice(sim.process.ptyPath(), {"backup", backup, "--fast"});
    QVERIFY2(saved.status == 0, qPrintable(saved.err));
    QCOMPARE(saved.out, "backup: " + backup + "\n");
    QCOMPARE(QFileInfo(backup).size(), qint64(128 * 1024));
    // A run whose standard error is no terminal shows no progress.
    QCOMPARE(saved.err, QString());

    int from = sim.mark();
    const TovelProcess::Run flashed = tovel.onDevice(sim.process.ptyPath(), {"flash", "firmware_5", "--fast"});
    QVERIFY2(flashed.status == 0, qPrintable(flashed.err));
    const QRegularExpression done("^backup: " + QRegularExpression::escape(tovel.documents())
                                  + "/ZANTH/Tovel/firmware-backup-[0-9-]+\\.bin\n"
                                    "Firmware Upgrade Complete, device will now restart\n"
                                    "Firmware 5 is running\\.\n$");
    QVERIFY2(done.match(flashed.out).hasMatch(), qPrintable(flashed.out));
    const QStringList frames = sim.framesSince(from);
    QByteArray image;
    QVERIFY(loadBuiltInImage("Firmware_5", image));
    const int chunks = int((image.size() + 255) / 256);
    // Every chunk written once, after one erase, the new firmware started last.
    QCOMPARE(frames.filter(QRegularExpression("^boot WRITE 0800")).size(), chunks);
    QCOMPARE(frames.filter(QRegularExpression("ERASE")).size(), 1);
    const QStringList go = frames.filter(QRegularExpression("^boot GO "));
    QCOMPARE(go.size(), 1);
    QVERIFY2(frames.lastIndexOf(QRegularExpression("boot .*")) == frames.indexOf(go.first()), qPrintable(frames.mid(frames.size() - 4).join("|")));

    // The pedal runs the new firmware: its effect firmware answers.
    const TovelProcess::Run query = tovel.onDevice(sim.process.ptyPath(), {"query"});
    QVERIFY2(query.status == 0, qPrintable(query.err)); // a fresh flash runs no effect yet, and says so
    QVERIFY2(query.out.startsWith("effect: none\neffect number: 0\n"), qPrintable(query.out));
    QVERIFY(sim.process.stop());
    QCOMPARE(readFile(dump).left(image.size()), image);
}

void TestTovelFlash::stopsAndSays_data()
{
    QTest::addColumn<QStringList>("simOptions");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // a pattern standard error matches

    QTest::newRow("nack-during-the-chunks") << QStringList{"--bootloader", "--nack-at-ack", "40"}
                                            << QStringList{"flash", "Firmware_4", "--no-backup", "--fast"} << 5
                                            << "^tovel: .*chunk \\d+ of \\d+.*NACK(.|\n)*Run the command again";
    QTest::newRow("image-file-refused") << QStringList{"--bootloader"}
                                        << QStringList{"flash", "@image.bin", "--no-backup"} << 4
                                        << "^tovel: .*image.bin cannot be written to the pedal\\.\n";
    QTest::newRow("pedal-not-in-its-bootloader") << QStringList{} << QStringList{"flash", "Firmware_5"} << 3
                                                 << "^tovel: The pedal does not answer as its bootloader does: it runs "
                                                    "its effect firmware, or it is off. Nothing was written.";
}

void TestTovelFlash::stopsAndSays()
{
    QFETCH(QStringList, simOptions);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QFile image(dir.filePath("image.bin"));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(4096, '\x5a')); // no vector table a controller could start from
    image.close();
    for (QString &word : arguments)
        if (word.startsWith('@'))
            word = dir.filePath(word.mid(1));

    LoggedSim sim;
    QVERIFY2(sim.start(simOptions), qPrintable(sim.process.errorText()));
    TovelProcess tovel;
    const TovelProcess::Run r = tovel.onDevice(sim.process.ptyPath(), arguments);
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + ": " + r.err));
    QVERIFY2(QRegularExpression(message).match(r.err).hasMatch(), qPrintable(r.err));
    // The advice is the command line's, not the firmware window's.
    QVERIFY2(!r.err.contains("Upgrade Firmware") && !r.err.contains("Connection >"), qPrintable(r.err));
    QCOMPARE(QDir(tovel.documents() + "/ZANTH/Tovel").entryList(QDir::Files), QStringList());
}

// Written and started, but the bridge never comes back: said in the command line's words. The
// device is named by the simulator's link, which goes with the bridge: a pseudo-terminal's
// own number may soon belong to another.
void TestTovelFlash::writtenButThePedalNeverComesBack()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("pedal");
    LoggedSim sim;
    QVERIFY2(sim.start({"--bootloader", "--restart-after-go", "never", "--link", link}), qPrintable(sim.process.errorText()));
    TovelProcess tovel;
    const TovelProcess::Run r = tovel.onDevice(link, {"flash", "Firmware_5", "--no-backup", "--fast"});
    QVERIFY2(r.status == 2, qPrintable(QString::number(r.status) + ": " + r.err));
    QCOMPARE(r.out, QStringLiteral("Firmware Upgrade Complete, device will now restart\n"));
    QCOMPARE(r.err, QStringLiteral("tovel: The pedal did not come back within 10 seconds of the upgrade. Unplug the "
                                   "pedal's USB cable and plug it in again (or switch the pedal off and on), then "
                                   "run tovel query to see the firmware it runs.\n"));
}

void TestTovelFlash::interruptedRunSaysWhereThePedalStands()
{
    QTemporaryDir dir;
    const QString dump = dir.filePath("flash.bin");
    LoggedSim sim;
    QVERIFY2(sim.start({"--bootloader", "--dump-flash", dump}), qPrintable(sim.process.errorText()));
    TovelProcess tovel;
    QProcess process;
    process.setProcessEnvironment([&] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", tovel.home.path());
        return env;
    }());
    process.start(QStringLiteral(TOVEL_PROGRAM), {"--device", sim.process.ptyPath(), "flash", "Firmware_5", "--no-backup"});
    QVERIFY(process.waitForStarted());
    // Ctrl-C once the chunks are on their way: the flash is erased and partly written.
    QDeadlineTimer deadline(30000);
    while (sim.frames().filter("boot WRITE 0800").size() < 3 && !deadline.hasExpired())
        QTest::qWait(20);
    QVERIFY(!deadline.hasExpired());
    QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 5);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(QRegularExpression("^tovel: Firmware upgrade stopped at chunk \\d+ of \\d+ at 0x0800[0-9A-F]+: stopped by the "
                                "user\\.\n")
                 .match(err)
                 .hasMatch(),
             qPrintable(err));
    QVERIFY2(err.contains("Run the command again") && !err.contains("Upgrade Firmware"), qPrintable(err));
    // Nothing more went out once it stopped: the pedal stays in its bootloader, not started.
    const int settled = sim.mark();
    QVERIFY(settled >= 0);
    QCOMPARE(sim.frames().filter("boot GO").size(), 0);

    // The same command again at once finds the bootloader in its command loop, the frame in
    // flight at the stop answered: it runs to its end.
    const TovelProcess::Run again = tovel.onDevice(sim.process.ptyPath(), {"flash", "Firmware_5", "--no-backup", "--fast"});
    QVERIFY2(again.status == 0, qPrintable(again.err));
    QVERIFY(sim.process.stop());
    QByteArray image;
    QVERIFY(loadBuiltInImage("Firmware_5", image));
    QCOMPARE(readFile(dump).left(image.size()), image);
}

void TestTovelFlash::backupWritesOnlyARegularFile_data()
{
    QTest::addColumn<QString>("place");   // what the backup's name is
    QTest::addColumn<QString>("message"); // a pattern standard error matches
    const QString refused = "^tovel: The backup was not written. Error saving file: ";
    QTest::newRow("named-pipe") << "pipe" << refused + "@ is a named pipe \\(FIFO\\), not a regular file\\.\n$";
    QTest::newRow("device-node") << "device" << refused + "@ is a character device, not a regular file";
    QTest::newRow("link-to-a-device") << "link" << refused + "@ leads to .*, a character device, not a regular file";
    QTest::newRow("folder") << "folder" << refused + "@ is a folder, not a regular file";
    QTest::newRow("missing-folder") << "missing" << refused + "@ cannot be written: the folder .* does not exist";
    // The whole flash is read first; the disk fills as it is written.
    QTest::newRow("full-disk") << "full" << refused + "@ cannot be written: (No space left on device|File too large)";
}

void TestTovelFlash::backupWritesOnlyARegularFile()
{
    QFETCH(QString, place);
    QFETCH(QString, message);
    QTemporaryDir dir;
    // A device node of our own where one can be made (root), so that no real one is at stake.
    QString device = dir.filePath("device");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        device = "/dev/full";
    QString path = dir.filePath("backup.bin");
    TovelProcess tovel;
    struct Mount {
        QString at;
        ~Mount()
        {
            if (!at.isEmpty())
                ::umount2(QFile::encodeName(at).constData(), MNT_DETACH);
        }
    } disk;
    if (place == "pipe") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (place == "device") {
        path = device;
    } else if (place == "link") {
        QVERIFY(QFile::link(device, path));
    } else if (place == "folder") {
        QVERIFY(QDir(dir.path()).mkdir("backup.bin"));
    } else if (place == "missing") {
        path = dir.filePath("missing/backup.bin");
    } else if (place == "full") {
        const QString small = dir.filePath("small");
        QVERIFY(QDir().mkpath(small));
        if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") == 0) {
            disk.at = small;
        } else {
            // Where nothing can be mounted, a file-size limit fills the "disk" the same way.
            tovel.childSetup = [] {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{64 * 1024, 64 * 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            };
        }
        path = small + "/backup.bin";
    }
    struct stat before {};
    ::lstat(QFile::encodeName(path).constData(), &before);

    LoggedSim sim;
    QVERIFY2(sim.start({"--bootloader"}), qPrintable(sim.process.errorText()));
    const TovelProcess::Run r = tovel.onDevice(sim.process.ptyPath(), {"backup", path, "--fast"});
    QVERIFY2(r.status == 4, qPrintable(QString::number(r.status) + ": " + r.err));
    QCOMPARE(r.out, QString());
    QVERIFY2(QRegularExpression(message.replace("@", QRegularExpression::escape(path))).match(r.err).hasMatch(),
             qPrintable(r.err));
    // Whatever was there is there as it was; nothing was made beside it.
    struct stat after {};
    ::lstat(QFile::encodeName(path).constData(), &after);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ino, before.st_ino);
    const QDir folder = QFileInfo(path).dir();
    if (folder.exists() && place != "device")
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden | QDir::System).filter("backup").size(),
                 place == "pipe" || place == "link" ? 1 : 0);
    // Refused names are refused before the pedal is woken; a full disk after the 128 KB are read,
    // with the message of the backup itself.
    if (place != "full")
        QCOMPARE(sim.framesSince(0), QStringList());
    else
        QVERIFY2(r.err.contains("tovel: Nothing has been erased; the pedal stays in its bootloader."), qPrintable(r.err));
    QVERIFY(sim.process.stop());
}

QTEST_MAIN(TestTovelFlash)
#include "tst_tovelflash.moc"
