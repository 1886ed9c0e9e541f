// The bootloader's frames, the chunking of images, the image checks and the reading of
// answers, without a window.
#include "core/clock.h"
#include "core/pacing.h"
#include "firmware/bootloaderlink.h"
#include "firmware/bootloaderprotocol.h"
#include "firmware/firmwareimage.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"

#include <QtEndian>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;
using namespace tovel::bootloader;

Q_DECLARE_METATYPE(tovel::bootloader::Frame)
Q_DECLARE_METATYPE(tovel::BootloaderAnswer::Outcome)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// An image of the given size shaped like the controller's: vector table first, then bytes that
// differ from chunk to chunk.
QByteArray controllerImage(int size, quint32 stack = 0x20005000, quint32 reset = 0x08000101)
{
    QByteArray b(size, '\0');
    quint32 x = 0xC0FFEE;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 16);
    }
    if (size >= 8) {
        qToLittleEndian(stack, b.data());
        qToLittleEndian(reset, b.data() + 4);
    }
    return b;
}

// A link on the scripted driver, its device open, on virtual time.
struct LinkRig {
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedPrompts prompts;
    RecordingConsole console;
    ScriptedFtDriver driver{&clock};
    WordedUnit usb{driver, prompts};
    BootloaderLink link{usb, pacing, clock, console};

    LinkRig()
    {
        driver.devices.append({"FT1", "Tovel", {}});
        usb.Open_USB_Device_By_Serial_Number(QStringLiteral("FT1"));
    }
};

} // namespace

class TestBootloader : public QObject {
    Q_OBJECT

private slots:
    void commandFrames();
    void addressFrames_data();
    void addressFrames();
    void markerFrames_data();
    void markerFrames();
    void splitImage_data();
    void splitImage();
    void imageChecks_data();
    void imageChecks();
    void builtInImages_data();
    void builtInImages();
    void answers_data();
    void answers();
    void readDataAfterTheAcknowledge();
    void answerThatCameWhileTheEditorWasHeldUp();
    void pacedAndFastSending();
};

void TestBootloader::commandFrames()
{
    QCOMPARE(commandFrame(Command::WriteMemory), hex("31CE"));
    QCOMPARE(commandFrame(Command::Erase), hex("43BC"));
    QCOMPARE(commandFrame(Command::Go), hex("21DE"));
    QCOMPARE(commandFrame(Command::ReadMemory), hex("11EE"));
    QCOMPARE(globalEraseFrame(), hex("FF00"));
    QCOMPARE(readCountFrame(256), hex("FF00"));
    QCOMPARE(readCountFrame(28), hex("1BE4"));
}

void TestBootloader::addressFrames_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("start-of-flash") << 0x08000000u << hex("0800000008");
    QTest::newRow("second-chunk") << 0x08000100u << hex("0800010009");
    QTest::newRow("variant-record") << 0x0801FC00u << hex("0801FC00F5");
    QTest::newRow("last-chunk-of-firmware-4") << 0x08005E00u << hex("08005E0056");
    QTest::newRow("last-chunk-of-firmware-5") << 0x08006A00u << hex("08006A0062");
}

void TestBootloader::addressFrames()
{
    QFETCH(quint32, address);
    QFETCH(QByteArray, frame);
    QCOMPARE(addressFrame(address), frame);
}

void TestBootloader::markerFrames_data()
{
    QTest::addColumn<int>("variant");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("firmware-4") << 4 << hex("07040000000000000003");
    QTest::newRow("firmware-5") << 5 << hex("07050000000000000002");
}

void TestBootloader::markerFrames()
{
    QFETCH(int, variant);
    QFETCH(QByteArray, frame);
    QCOMPARE(markerFrame(variant), frame);
}

void TestBootloader::splitImage_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("wholeChunks");
    QTest::addColumn<int>("lastSize");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<quint32>("lastAddress");
    QTest::addColumn<QString>("lastN");
    QTest::newRow("firmware-4-size") << 24296 << 94 << 232 << 95 << 0x08005E00u << "E7";
    QTest::newRow("firmware-5-size") << 27164 << 106 << 28 << 107 << 0x08006A00u << "1B";
    QTest::newRow("multiple-of-256-has-no-short-chunk") << 4096 << 16 << 0 << 16 << 0x08000F00u << "FF";
    QTest::newRow("one-short-chunk") << 100 << 0 << 100 << 1 << 0x08000000u << "63";
    QTest::newRow("whole-flash") << 131072 << 512 << 0 << 512 << 0x0801FF00u << "FF";
}

void TestBootloader::splitImage()
{
    QFETCH(int, size);
    QFETCH(int, wholeChunks);
    QFETCH(int, lastSize);
    QFETCH(int, chunks);
    QFETCH(quint32, lastAddress);
    QFETCH(QString, lastN);
    const QByteArray image = controllerImage(size);
    RecordingConsole console;
    const SplitImageResult split = SplitImage(image, console);

    QCOMPARE(console.lines, (QStringList{QStringLiteral("num of chunks: %1").arg(wholeChunks),
                                         QStringLiteral("num of byte last chunk: %1").arg(lastSize),
                                         QStringLiteral("num of bytes last chunk: %1").arg(lastSize)}));
    QCOMPARE(int(split.ChunkCount), chunks);
    QCOMPARE(int(split.LastChunkSize), lastSize);
    QCOMPARE(SplitImageResult::chunkAddress(chunks - 1), lastAddress);
    QCOMPARE(split.chunkLength(chunks), 0);
    QByteArray joined;
    for (int k = 0; k < chunks; ++k) {
        const QByteArray chunk = split.chunk(k);
        QCOMPARE(chunk, image.mid(256 * k, 256));
        joined += chunk;
        // The data frame's checksum, worked out here byte by byte.
        quint8 sum = quint8(chunk.size() - 1);
        for (char c : chunk)
            sum ^= quint8(c);
        const QByteArray frame = dataFrame(chunk);
        QCOMPARE(frame.size(), chunk.size() + 2);
        QCOMPARE(quint8(frame.back()), sum);
        QCOMPARE(frame.mid(1, chunk.size()), chunk);
    }
    QCOMPARE(joined, image);
    QCOMPARE(QString::number(quint8(dataFrame(split.chunk(chunks - 1)).front()), 16).toUpper(), lastN);
}

void TestBootloader::imageChecks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem"); // a part of the message; empty: fit

    QTest::newRow("firmware-5-shape") << controllerImage(27164, 0x20005000, 0x08005865) << "";
    QTest::newRow("whole-flash-backup") << controllerImage(131072) << "";
    QTest::newRow("raw-up-to-the-record-page") << controllerImage(130048) << "";
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("too-short-for-vectors") << QByteArray(6, '\x01') << "too few for a vector table";
    QTest::newRow("larger-than-the-flash") << controllerImage(131073) << "131,073 bytes; the controller's flash holds 131,072";
    QTest::newRow("reaches-the-record-page") << controllerImage(130049) << "not the 131,072 of a whole-flash backup";
    QTest::newRow("erased-flash-as-stack") << controllerImage(4096, 0xFFFFFFFF) << "stack pointer 0xFFFFFFFF";
    QTest::newRow("stack-below-ram") << controllerImage(4096, 0x20000000) << "stack pointer 0x20000000";
    QTest::newRow("stack-past-ram") << controllerImage(4096, 0x20005004) << "stack pointer 0x20005004";
    QTest::newRow("stack-misaligned") << controllerImage(4096, 0x20004FFE) << "stack pointer 0x20004FFE";
    QTest::newRow("reset-past-the-image") << controllerImage(4096, 0x20005000, 0x08001001) << "reset handler 0x08001001 does not lie in the image";
    QTest::newRow("reset-in-ram") << controllerImage(4096, 0x20005000, 0x20000101) << "reset handler 0x20000101";
    QTest::newRow("reset-without-thumb-bit") << controllerImage(4096, 0x20005000, 0x08000100) << "lacks the Thumb bit";
}

void TestBootloader::imageChecks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    FirmwareImage image;
    image.bytes = bytes;
    const QString found = checkImage(image);
    if (problem.isEmpty())
        QCOMPARE(found, QString());
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

void TestBootloader::builtInImages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("reset");
    QTest::newRow("firmware-4") << "Firmware_4" << 24296 << 0x08004BC1u;
    QTest::newRow("firmware-5") << "Firmware_5" << 27164 << 0x08005865u;
}

void TestBootloader::builtInImages()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(quint32, reset);
    QCOMPARE(builtInImageNames(), (QStringList{"FIRMWARE_4", "FIRMWARE_5"}));
    QByteArray bytes;
    QVERIFY(loadBuiltInImage(name, bytes));
    QCOMPARE(bytes.size(), size);
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    QCOMPARE(qFromLittleEndian<quint32>(p), 0x20005000u);
    QCOMPARE(qFromLittleEndian<quint32>(p + 4), reset);
    FirmwareImage image;
    image.bytes = bytes;
    QCOMPARE(checkImage(image), QString());
#ifdef TOVEL_SAMPLE_FIRMWARE
    QVERIFY(isStandIn(bytes));
#endif
    QVERIFY(!loadBuiltInImage(QString(), bytes));
    QVERIFY(!loadBuiltInImage(QStringLiteral("Firmware_6"), bytes));
}

void TestBootloader::answers_data()
{
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<QStringList>("answers"); // "ms:hex" each: bytes the driver holds from then on
    QTest::addColumn<bool>("queueFails");
    QTest::addColumn<BootloaderAnswer::Outcome>("outcome");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QStringList>("lines");
    using O = BootloaderAnswer::Outcome;
    const QStringList ack{"num of bytes received: 1", "received: 79", "ACK"};

    QTest::newRow("ack") << Frame::WriteCommand << QStringList{"0:79"} << false << O::Ack << hex("79") << ack;
    QTest::newRow("nack") << Frame::WriteAddress << QStringList{"3:1F"} << false << O::Nack << hex("1F")
                          << QStringList{"num of bytes received: 1", "received: 1F", "NOT ACK"};
    QTest::newRow("two-bytes-together-first-counts") << Frame::WriteCommand << QStringList{"0:791F"} << false << O::Ack
                                                     << hex("791F") << QStringList{"num of bytes received: 2", "received: 79", "ACK"};
    QTest::newRow("unexpected-byte") << Frame::DataChecksum << QStringList{"0:5A"} << false << O::Unexpected << hex("5A")
                                     << QStringList{"num of bytes received: 1", "received: 5A"};
    QTest::newRow("silent-bootloader-times-out") << Frame::WriteCommand << QStringList{} << false << O::NoAnswer << QByteArray()
                                                 << QStringList{"num of bytes received: 0", "received: "};
    QTest::newRow("answer-just-in-time") << Frame::GoAddress << QStringList{"4995:79"} << false << O::Ack << hex("79") << ack;
    QTest::newRow("answer-after-the-time-out") << Frame::DataChecksum << QStringList{"5005:79"} << false << O::NoAnswer
                                               << QByteArray() << QStringList{"num of bytes received: 0", "received: "};
    QTest::newRow("erase-may-take-half-a-minute") << Frame::GlobalErase << QStringList{"30000:79"} << false << O::Ack << hex("79") << ack;
    QTest::newRow("busy-keeps-the-wait-going") << Frame::GlobalErase << QStringList{"0:76", "1000:76", "3000:79"} << false << O::Ack
                                               << hex("767679")
                                               << QStringList{"received: 76", "BUSY", "received: 76", "BUSY",
                                                              "num of bytes received: 3", "received: 79", "ACK"};
    QTest::newRow("busy-does-not-extend-the-time-out") << Frame::WriteCommand << QStringList{"0:76", "4000:76", "5005:79"} << false
                                                       << O::NoAnswer << hex("7676")
                                                       << QStringList{"received: 76", "BUSY", "received: 76", "BUSY",
                                                                      "num of bytes received: 2", "received: "};
    QTest::newRow("link-lost-while-waiting") << Frame::WriteCommand << QStringList{} << true << O::LinkLost << QByteArray()
                                             << QStringList{"num of bytes received: 0", "received: "};
}

void TestBootloader::answers()
{
    QFETCH(Frame, frame);
    QFETCH(QStringList, answers);
    QFETCH(bool, queueFails);
    QFETCH(BootloaderAnswer::Outcome, outcome);
    QFETCH(QByteArray, received);
    QFETCH(QStringList, lines);
    LinkRig rig;
    for (const QString &a : answers)
        rig.driver.queueAnswer(QByteArray::fromHex(a.section(':', 1).toLatin1()), a.section(':', 0, 0).toLongLong() * 1000);
    if (queueFails)
        rig.driver.failing[ScriptedFtDriver::Call::Queue] = FT_IO_ERROR;

    const BootloaderAnswer answer = rig.link.ReadBootloaderAnswer(frame);
    QCOMPARE(answer.outcome, outcome);
    QCOMPARE(answer.received.toHex(' '), received.toHex(' '));
    QCOMPARE(rig.console.lines, lines);
    // The time-out is the frame's, measured on the clock, never longer.
    QVERIFY(rig.clock.nowUs() <= qint64(frameInfo(frame).answerTimeout.count()) * 1000 + 2000);
    QCOMPARE(rig.prompts.messages, queueFails ? QStringList{"FT_GetQueueStatus - General IO error..."} : QStringList{});
    // The scrolling lines are the count's only.
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(rig.console.scrolled[i], lines[i].startsWith(QLatin1String("num of bytes")));
}

void TestBootloader::readDataAfterTheAcknowledge()
{
    // The acknowledge of a read comes together with the data: nothing of it is dropped.
    LinkRig rig;
    rig.driver.queueAnswer(hex("79") + QByteArray("\x01\x02\x03\x04", 4));
    QVERIFY(rig.link.ReadBootloaderAnswer(Frame::ReadCount, true).ok());
    QByteArray data;
    QVERIFY(rig.link.readData(4, kAnswerTimeout, data).ok());
    QCOMPARE(data, QByteArray("\x01\x02\x03\x04", 4));

    // Data that stops coming ends the wait at its time-out with what came.
    rig.driver.queueAnswer(hex("AABB"));
    const BootloaderAnswer cut = rig.link.readData(4, kAnswerTimeout, data);
    QCOMPARE(cut.outcome, BootloaderAnswer::Outcome::NoAnswer);
    QCOMPARE(cut.received, hex("AABB"));
}

void TestBootloader::answerThatCameWhileTheEditorWasHeldUp()
{
    // The editor looks at the queue, finds nothing, and is then held up for 2 s (a loaded
    // machine); the acknowledge landed half a second in. Past its deadline, the wait still
    // takes it.
    LinkRig rig;
    int looks = 0;
    rig.driver.afterQueueStatus = [&] {
        if (++looks != 2) // the second look: the last of the wait's first turn
            return;
        rig.clock.advanceUs(2'000'000);
        rig.driver.queueAnswer(hex("79"), 500'000);
    };
    const BootloaderAnswer answer = rig.link.ReadBootloaderAnswer(Frame::WriteCommand);
    QCOMPARE(answer.outcome, BootloaderAnswer::Outcome::Ack);
    QVERIFY(looks > 2);
    QCOMPARE(rig.console.lines.value(1), QStringLiteral("received: 79"));
}

void TestBootloader::pacedAndFastSending()
{
    LinkRig rig;
    // Paced: one byte a write; the erase frame sleeps before each byte, then 20 ms.
    QVERIFY(rig.link.send(globalEraseFrame(), Frame::GlobalErase));
    QCOMPARE(rig.driver.writes, (QList<QByteArray>{hex("FF"), hex("00")}));
    QCOMPARE(rig.pacing.sleeps(), (QList<int>{1, 1, 20}));
    // A chunk's data bytes follow each other without a pause, in one write.
    rig.driver.writes.clear();
    rig.pacing.clearSleeps();
    QVERIFY(rig.link.send(hex("010203"), Frame::DataBytes));
    QCOMPARE(rig.driver.writes, QList<QByteArray>{hex("010203")});
    QCOMPARE(rig.pacing.sleeps(), QList<int>{});
    // Fast: the frame in one write, no sleep.
    rig.driver.writes.clear();
    rig.link.setFast(true);
    QVERIFY(rig.link.send(addressFrame(0x08000000), Frame::GoAddress));
    QCOMPARE(rig.driver.writes, QList<QByteArray>{hex("0800000008")});
    QCOMPARE(rig.pacing.sleeps(), QList<int>{});
    // A write that fails says so.
    rig.driver.failing[ScriptedFtDriver::Call::Write] = FT_IO_ERROR;
    QVERIFY(!rig.link.send(hex("31CE"), Frame::WriteCommand));
}

QTEST_GUILESS_MAIN(TestBootloader)
#include "tst_bootloader.moc"
