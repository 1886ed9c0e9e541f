#include "pedal/pedalsimprocess.h"

#include <QFileInfo>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace tovel::pedal;

namespace {

// A flash image shaped like the controller's: a vector table (stack pointer, reset handler),
// then bytes that differ from page to page, so a misplaced block shows.
QByteArray firmwareImage(int size)
{
    QByteArray b(size, '\0');
    quint32 x = 0x12345678;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    const quint8 vectors[] = {0x00, 0x50, 0x00, 0x20, 0x65, 0x58, 0x00, 0x08};
    for (int i = 0; i < 8; ++i)
        b[i] = char(vectors[i]);
    return b;
}

// Writes to the terminal and collects the answer until it has `expected` bytes or 3 s pass.
QByteArray exchange(const QString &path, const QByteArray &command, int expected)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return "cannot open";
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    QByteArray answer;
    if (::write(fd, command.constData(), size_t(command.size())) == command.size()) {
        QDeadlineTimer deadline(3000);
        while (answer.size() < expected && !deadline.hasExpired()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char buffer[256];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    answer.append(buffer, n);
            }
        }
    }
    ::close(fd);
    return answer;
}

// The terminal opened raw, as a client holds it.
struct Terminal {
    int fd = -1;
    explicit Terminal(const QString &path) : fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY))
    {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    ~Terminal() { ::close(fd); }
    bool write(const QByteArray &bytes) { return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
};

QStringList logLines(const QString &path)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestPedalSim : public QObject {
    Q_OBJECT

private slots:
    void stm32flashWritesAndVerifies();
    void effectFirmwareOnTheTerminal_data();
    void effectFirmwareOnTheTerminal();
    void unplugAndPlugBackIn();
    void bridgeAfterGo_data();
    void bridgeAfterGo();
    void markFollowsEverythingWrittenBefore_data();
    void markFollowsEverythingWrittenBefore();
};

void TestPedalSim::stm32flashWritesAndVerifies()
{
    QTemporaryDir dir;
    const QString imagePath = dir.filePath(QStringLiteral("firmware.bin"));
    const QString dumpPath = dir.filePath(QStringLiteral("flash.bin"));
    const QString logPath = dir.filePath(QStringLiteral("frames.log"));
    const QByteArray image = firmwareImage(27164);
    {
        QFile f(imagePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image);
    }

    PedalSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--dump-flash"), dumpPath,
                        QStringLiteral("--log"), logPath}),
             qPrintable(sim.errorText()));
    QVERIFY(sim.ptyPath().startsWith(QStringLiteral("/dev/")));

    QProcess flasher;
    flasher.setProcessChannelMode(QProcess::MergedChannels);
    flasher.start(QStringLiteral(STM32FLASH_PROGRAM),
                  {QStringLiteral("-b"), QStringLiteral("115200"), QStringLiteral("-m"), QStringLiteral("8n1"),
                   QStringLiteral("-w"), imagePath, QStringLiteral("-v"), QStringLiteral("-g"),
                   QStringLiteral("0x08000000"), sim.ptyPath()});
    QVERIFY(flasher.waitForFinished(30000));
    const QByteArray output = flasher.readAll();
    QVERIFY2(flasher.exitStatus() == QProcess::NormalExit && flasher.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("0x0410"), output.constData());
    QVERIFY(sim.stop());

    QFile dump(dumpPath);
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray flash = dump.readAll();
    QCOMPARE(flash.size(), 128 * 1024);
    QVERIFY(flash.left(image.size()) == image);
    // The pages it erased past the image stay erased.
    QCOMPARE(flash.mid(image.size(), 27 * 1024 - image.size()), QByteArray(27 * 1024 - image.size(), char(0xFF)));

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray frames = log.readAll();
    QVERIFY(frames.startsWith("boot sync\n"));
    QCOMPARE(frames.count("boot WRITE "), 107);
    QVERIFY(frames.contains("boot GO 08000000\n"));
}

void TestPedalSim::effectFirmwareOnTheTerminal_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("query-answered") << QStringList{} << QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n");
    QTest::newRow("query-at-line-rate-in-pieces")
        << QStringList{QStringLiteral("--line-rate"), QStringLiteral("115200"), QStringLiteral("--split"), QStringLiteral("2:20"),
                       QStringLiteral("--firmware-version"), QStringLiteral("4")}
        << QByteArray("TOVEL\r\n0\r\n0\r\n4\r\n");
    QTest::newRow("bootloader-sync") << QStringList{QStringLiteral("--bootloader")} << QByteArray("\x79");
}

void TestPedalSim::effectFirmwareOnTheTerminal()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, answer);
    PedalSimProcess sim;
    QVERIFY2(sim.start(options), qPrintable(sim.errorText()));
    const QByteArray command = options.contains(QStringLiteral("--bootloader")) ? QByteArray("\x7F") : QByteArray("\x05\x00", 2);
    QCOMPARE(exchange(sim.ptyPath(), command, int(answer.size())), answer);
    QVERIFY(sim.stop());
}

// Pulled while a client holds the terminal: the client sees the hang-up, the by-id style link
// goes; plugged back in, a new terminal serves the pedal behind the link.
void TestPedalSim::unplugAndPlugBackIn()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-ZANTH_Tovel_ZT000001-if00-port0"));
    PedalSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--line-rate"), QStringLiteral("115200"), QStringLiteral("--link"), link}),
             qPrintable(sim.errorText()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());
    const int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);

    QVERIFY2(sim.unplug(), qPrintable(sim.errorText()));
    QVERIFY2(sim.waitForEvent(QStringLiteral("unplugged")), qPrintable(sim.errorText()));
    pollfd p{fd, 0, 0};
    QCOMPARE(::poll(&p, 1, 0), 1);
    QVERIFY(p.revents & POLLHUP);
    ::close(fd);
    QVERIFY(!QFileInfo(link).isSymLink());

    QVERIFY2(sim.plug(), qPrintable(sim.errorText()));
    QVERIFY2(sim.waitForEvent(QStringLiteral("plugged")), qPrintable(sim.errorText()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());
    QCOMPARE(exchange(link, QByteArray("\x05\x00", 2), 16), QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n"));
    QVERIFY(sim.stop());
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestPedalSim::bridgeAfterGo_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("bridge-stays") << QStringLiteral("stays");
    QTest::newRow("bridge-re-enumerates") << QStringLiteral("reenumerate:300");
    QTest::newRow("bridge-never-comes-back") << QStringLiteral("never");
}

// The bootloader gets a vector table and the variant record of firmware 4, then GO: the
// pedal restarts into that firmware behind a bridge that stays, comes back on a new terminal,
// or stays away until plugged in again.
void TestPedalSim::bridgeAfterGo()
{
    QFETCH(QString, mode);
    PedalSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--line-rate"), QStringLiteral("115200"), QStringLiteral("--bootloader"),
                        QStringLiteral("--restart-after-go"), mode}),
             qPrintable(sim.errorText()));
    const QString first = sim.ptyPath();
    const char *const frames[] = {"7F", "31CE", "0800000008", "0300500020" "73", "31CE", "0801FC00F5",
                                  "07" "0400000000000000" "03", "21DE", "0800000008"};
    for (const char *frame : frames)
        QCOMPARE(exchange(first, QByteArray::fromHex(frame), 1), QByteArray("\x79"));

    const QByteArray query("\x05\x00", 2);
    const QByteArray version4("TOVEL\r\n0\r\n0\r\n4\r\n");
    if (mode == QLatin1String("stays")) {
        QCOMPARE(exchange(first, query, 16), version4);
        QVERIFY(sim.stop());
        return;
    }
    QVERIFY2(sim.waitForEvent(QStringLiteral("unplugged")), qPrintable(sim.errorText()));
    if (mode == QLatin1String("never")) {
        // Looked for well past the time a re-enumerating bridge takes: it does not come.
        QVERIFY(!sim.waitForEvent(QStringLiteral("plugged"), 2000));
        QVERIFY2(sim.plug(), qPrintable(sim.errorText()));
    } else {
        QVERIFY2(sim.waitForEvent(QStringLiteral("plugged")), qPrintable(sim.errorText()));
    }
    QCOMPARE(exchange(sim.ptyPath(), query, 16), version4);
    QVERIFY(sim.stop());
}

void TestPedalSim::markFollowsEverythingWrittenBefore_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("frame"); // the one frame logged before the mark

    // 2,000 bytes take 174 ms on the line: the frame is logged long after the write returned.
    QByteArray upload(2000, '\x11');
    upload[0] = 0x00;
    upload[1] = char(2000 >> 8);
    upload[2] = char(2000 & 0xFF);
    const QStringList lineRate{QStringLiteral("--line-rate"), QStringLiteral("115200")};
    QTest::newRow("upload-still-on-the-line") << lineRate << upload << QStringLiteral("fw ProgramUpload 2000 of 2000 bytes");
    // The mark's own quiet ends a frame the host broke off.
    QTest::newRow("frame-broken-off") << lineRate << QByteArray::fromHex("01CB") << QStringLiteral("fw dropped incomplete frame 01CB");
    // Whatever the answer's pieces take, the mark waits for them.
    QTest::newRow("query-answered-in-pieces")
        << QStringList{QStringLiteral("--split"), QStringLiteral("3:300")} << QByteArray::fromHex("0500")
        << QStringLiteral("fw EffectQuery 00");
}

// A mark in the frame log comes after every frame of what was written to the terminal before
// it, however long the pedal takes over them; what is written after the mark comes after it.
void TestPedalSim::markFollowsEverythingWrittenBefore()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, written);
    QFETCH(QString, frame);
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("frames.log"));
    PedalSimProcess sim;
    QVERIFY2(sim.start(options + QStringList{QStringLiteral("--log"), logPath}), qPrintable(sim.errorText()));
    Terminal terminal(sim.ptyPath());
    QVERIFY(terminal.fd >= 0);
    const QStringList booted = logLines(logPath);

    QVERIFY(terminal.write(written));
    QCOMPARE(sim.mark(), 1);
    QVERIFY(terminal.write(QByteArray::fromHex("0300")));
    QCOMPARE(sim.mark(), 2);
    const QStringList lines = logLines(logPath).mid(booted.size());
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith(frame), qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("mark 1"));
    QVERIFY2(lines[2].startsWith(QStringLiteral("fw StoreSettings")), qPrintable(lines[2]));
    QCOMPARE(lines[3], QStringLiteral("mark 2"));
    // Faults and marks share the control channel, each answered in turn.
    QVERIFY(sim.setFaults(QStringLiteral("none")));
    QVERIFY(sim.stop());
}

QTEST_GUILESS_MAIN(TestPedalSim)
#include "tst_pedalsim.moc"
