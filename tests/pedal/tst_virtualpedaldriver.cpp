#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/virtualpedaldriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::pedal;

namespace {

constexpr char kQueryAnswer[] = "TOVEL\r\n0\r\n0\r\n5\r\n"; // 16 bytes

struct Rig {
    VirtualClock clock;
    VirtualPedalDriver driver;
    FtHandle handle = 0;

    explicit Rig(const VirtualPedalOptions &options = {}) : driver(options, clock)
    {
        driver.openBySerialNumber("ZT000001", handle);
    }
    void write(const QByteArray &hex)
    {
        const QByteArray bytes = QByteArray::fromHex(hex);
        quint32 written = 0;
        QCOMPARE(driver.write(handle, bytes.constData(), quint32(bytes.size()), written), FT_OK);
    }
    quint32 queuedAt(qint64 us)
    {
        clock.advanceUs(us - clock.nowUs());
        quint32 n = 0;
        driver.queueStatus(handle, n);
        return n;
    }
    QByteArray readAll()
    {
        quint32 n = 0;
        driver.queueStatus(handle, n);
        QByteArray b(int(n), '\0');
        quint32 got = 0;
        driver.read(handle, b.data(), n, got);
        return b.left(int(got));
    }
};

// The effect firmware's part of an upgrade: erase, one chunk, the variant record, GO.
QByteArray upgradeBytes(int variant)
{
    QByteArray s = "7F 43BC FF00 31CE 0800000008 03 00500020 73";
    if (variant >= 0)
        s += " 31CE 0801FC00F5 07" + QByteArray::number(variant, 16).rightJustified(2, '0')
            + "00000000000000" + QByteArray::number(7 ^ variant, 16).rightJustified(2, '0');
    return s + " 21DE 0800000008";
}

} // namespace

class TestVirtualPedalDriver : public QObject {
    Q_OBJECT

private slots:
    void listsOneBridgeWithItsIdentity();
    void handles();
    void unpluggedBridgeFailsEveryCall_data();
    void unpluggedBridgeFailsEveryCall();
    void answerTiming_data();
    void answerTiming();
    void noAnswerStillActs();
    void garbageAnswers();
    void stalledAnswerHoldsBackTheNext();
    void purgeDropsOnlyWhatArrived();
    void editorWaitsInVirtualTime();
    void upgradeSetsFirmwareVersion_data();
    void upgradeSetsFirmwareVersion();
    void unplugIsToldOnceFromTheEventLoop();
    void bridgeAfterGo_data();
    void bridgeAfterGo();
};

void TestVirtualPedalDriver::listsOneBridgeWithItsIdentity()
{
    Rig rig;
    quint32 count = 0;
    QByteArray serial, description;
    QCOMPARE(rig.driver.listDeviceCount(count), FT_OK);
    QCOMPARE(count, 1u);
    QCOMPARE(rig.driver.listSerialNumber(0, serial), FT_OK);
    QCOMPARE(rig.driver.listDescription(0, description), FT_OK);
    QCOMPARE(serial, QByteArray("ZT000001"));
    QCOMPARE(description, QByteArray("ZANTH Tovel"));
    QCOMPARE(rig.driver.listSerialNumber(1, serial), FT_DEVICE_NOT_FOUND);

    // Read the texts the way the editor's identity read does: two characters a word, high
    // byte first; manufacturer from word 81 to the word holding "$".
    const auto chars = [&](int w) {
        quint16 word = 0;
        rig.driver.readEepromWord(rig.handle, quint32(w), word);
        return QByteArray() + char(word >> 8) + char(word & 0xFF);
    };
    QByteArray manufacturer;
    int w = 81;
    do
        manufacturer += chars(w++);
    while (!manufacturer.contains('$') && w < 127);
    QCOMPARE(manufacturer, QByteArray("ZANTH$"));
    QCOMPARE(w, 84);
    QByteArray name;
    for (; w <= 103; ++w)
        name += chars(w);
    QCOMPARE(name, QByteArray("Tovel").leftJustified(40, ' '));
    QByteArray serialText;
    for (w = 105; w <= 112; ++w)
        serialText += chars(w);
    QCOMPARE(serialText, QByteArray("ZT000001        "));

    quint16 word = 0;
    QCOMPARE(rig.driver.readEepromWord(rig.handle, 1, word), FT_OK);
    QCOMPARE(word, quint16(0x0403));
    QCOMPARE(rig.driver.readEepromWord(rig.handle, 128, word), FT_INVALID_PARAMETER);
}

void TestVirtualPedalDriver::handles()
{
    Rig rig;
    QVERIFY(rig.handle != 0);
    FtHandle other = 0;
    QCOMPARE(rig.driver.openBySerialNumber("ZT000002", other), FT_DEVICE_NOT_FOUND);
    QCOMPARE(rig.driver.openBySerialNumber("ZT000001", other), FT_DEVICE_NOT_OPENED);
    QCOMPARE(rig.driver.setBaudRate(rig.handle, 115200), FT_OK);
    QCOMPARE(rig.driver.setDataCharacteristics(rig.handle, 8, 0, 0), FT_OK);
    QCOMPARE(rig.driver.setDataCharacteristics(rig.handle, 9, 0, 0), FT_INVALID_PARAMETER);
    QCOMPARE(rig.driver.close(rig.handle), FT_OK);
    QCOMPARE(rig.driver.close(rig.handle), FT_INVALID_HANDLE);
    quint32 n = 0;
    QCOMPARE(rig.driver.queueStatus(rig.handle, n), FT_INVALID_HANDLE);
    QCOMPARE(rig.driver.openBySerialNumber("ZT000001", other), FT_OK);
    QVERIFY(other != rig.handle);
}

void TestVirtualPedalDriver::unpluggedBridgeFailsEveryCall_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<quint32>("status");
    QTest::newRow("not-listed") << "count" << quint32(FT_OK);
    QTest::newRow("no-serial-to-list") << "serial" << quint32(FT_DEVICE_NOT_FOUND);
    QTest::newRow("open-finds-nothing") << "open" << quint32(FT_DEVICE_NOT_FOUND);
    QTest::newRow("read-io-error") << "read" << quint32(FT_IO_ERROR);
    QTest::newRow("write-io-error") << "write" << quint32(FT_IO_ERROR);
    QTest::newRow("queue-io-error") << "queue" << quint32(FT_IO_ERROR);
    QTest::newRow("purge-io-error") << "purge" << quint32(FT_IO_ERROR);
    QTest::newRow("baud-io-error") << "baud" << quint32(FT_IO_ERROR);
    QTest::newRow("eeprom-io-error") << "eeprom" << quint32(FT_IO_ERROR);
    QTest::newRow("close-io-error") << "close" << quint32(FT_IO_ERROR);
}

void TestVirtualPedalDriver::unpluggedBridgeFailsEveryCall()
{
    QFETCH(QString, call);
    QFETCH(quint32, status);
    Rig rig;
    rig.driver.pedal().unplug();
    quint32 n = 99;
    QByteArray text;
    char buffer[4] = {0x05, 0x00};
    quint16 word = 0;
    FtHandle h = 0;
    FtStatus got = FT_OTHER_ERROR;
    if (call == "count") {
        got = rig.driver.listDeviceCount(n);
        QCOMPARE(n, 0u);
    } else if (call == "serial") {
        got = rig.driver.listSerialNumber(0, text);
    } else if (call == "open") {
        got = rig.driver.openBySerialNumber("ZT000001", h);
    } else if (call == "read") {
        got = rig.driver.read(rig.handle, buffer, 4, n);
    } else if (call == "write") {
        got = rig.driver.write(rig.handle, buffer, 2, n);
    } else if (call == "queue") {
        got = rig.driver.queueStatus(rig.handle, n);
    } else if (call == "purge") {
        got = rig.driver.purge(rig.handle, FT_PURGE_RX | FT_PURGE_TX);
    } else if (call == "baud") {
        got = rig.driver.setBaudRate(rig.handle, 115200);
    } else if (call == "eeprom") {
        got = rig.driver.readEepromWord(rig.handle, 81, word);
    } else if (call == "close") {
        got = rig.driver.close(rig.handle);
    }
    QCOMPARE(quint32(got), status);

    // Plugged back in, the old handle stays dead and a new open works.
    rig.driver.pedal().unplug(false);
    QCOMPARE(rig.driver.queueStatus(rig.handle, n), FT_IO_ERROR);
    QCOMPARE(rig.driver.openBySerialNumber("ZT000001", h), FT_OK);
    QCOMPARE(rig.driver.queueStatus(h, n), FT_OK);
}

void TestVirtualPedalDriver::answerTiming_data()
{
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QList<qint64>>("atUs");      // after the query was written at 0
    QTest::addColumn<QList<quint32>>("queued");   // bytes readable then
    QTest::addColumn<int>("latencyMs");           // the bridge's latency timer; 0: none
    QTest::newRow("answer-at-once") << 0u << 1 << 0 << QList<qint64>{0} << QList<quint32>{16} << 0;
    // 10 bits a byte: 86.8 us. The 2 query bytes, then 16 answer bytes.
    QTest::newRow("line-rate-115200")
        << 115200u << 1 << 0 << QList<qint64>{173, 261, 1562, 1563} << QList<quint32>{0, 1, 15, 16} << 0;
    QTest::newRow("answer-in-three-pieces-50ms-apart")
        << 0u << 3 << 50 << QList<qint64>{0, 49'999, 50'000, 99'999, 100'000} << QList<quint32>{5, 5, 10, 10, 16} << 0;
    QTest::newRow("pieces-at-line-rate")
        << 115200u << 2 << 10 << QList<qint64>{868, 869, 10'000, 10'869} << QList<quint32>{7, 8, 8, 16} << 0;
    // The whole answer is in the chip after 1.563 ms; it leaves on the timer's next tick.
    QTest::newRow("bridge-default-latency-16ms-holds-the-answer")
        << 115200u << 1 << 0 << QList<qint64>{1563, 15'999, 16'000} << QList<quint32>{0, 0, 16} << 16;
    QTest::newRow("bridge-low-latency-1ms")
        << 115200u << 1 << 0 << QList<qint64>{999, 1000, 1999, 2000} << QList<quint32>{0, 9, 9, 16} << 1;
    QTest::newRow("pieces-leave-on-separate-ticks")
        << 0u << 2 << 10 << QList<qint64>{0, 9'999, 10'000} << QList<quint32>{8, 8, 16} << 1;
}

void TestVirtualPedalDriver::answerTiming()
{
    QFETCH(quint32, baud);
    QFETCH(int, pieces);
    QFETCH(int, gapMs);
    QFETCH(QList<qint64>, atUs);
    QFETCH(QList<quint32>, queued);
    QFETCH(int, latencyMs);
    VirtualPedalOptions options;
    options.lineRateBaud = baud;
    options.latencyTimerMs = latencyMs;
    options.faults.splitPieces = pieces;
    options.faults.splitGapMs = gapMs;
    Rig rig(options);
    rig.write("0500");
    for (int i = 0; i < atUs.size(); ++i)
        QCOMPARE(rig.queuedAt(atUs[i]), queued[i]);
    QCOMPARE(rig.readAll(), QByteArray(kQueryAnswer));
}

void TestVirtualPedalDriver::noAnswerStillActs()
{
    VirtualPedalOptions options;
    options.faults.noAnswer = true;
    Rig rig(options);
    rig.write("0500");
    QCOMPARE(rig.queuedAt(1'000'000), 0u);
    rig.write("0600 00 00400000");
    QCOMPARE(rig.driver.pedal().firmware().settings().minCode[0], quint8(63));
}

void TestVirtualPedalDriver::garbageAnswers()
{
    VirtualPedalOptions options;
    options.faults.garbage = true;
    options.bootloader = true;
    Rig rig(options);
    rig.write("7F");
    const QByteArray noise = rig.readAll();
    QCOMPARE(noise.size(), 1);
    QVERIFY(noise[0] != char(0x79) && noise[0] != char(0x1F));
    QVERIFY(rig.driver.pedal().bootloader().synced()); // only the answer was garbled

    PedalFaults clean;
    rig.driver.pedal().setFaults(clean);
    rig.write("02FD");
    QCOMPARE(rig.readAll(), QByteArray::fromHex("7901041079"));
}

// A firmware held up in the middle of its state answer sends the rest later, every time at
// the same byte; what it answers after that waits behind the rest, as on one serial line.
void TestVirtualPedalDriver::stalledAnswerHoldsBackTheNext()
{
    VirtualPedalOptions options;
    options.faults.stateStall = {10, 4000};
    Rig rig(options);
    rig.write("0200");
    QCOMPARE(rig.queuedAt(1000), 10u);
    const QByteArray head = rig.readAll();
    rig.write("0500");
    QCOMPARE(rig.queuedAt(3'999'000), 0u);
    QCOMPARE(rig.queuedAt(4'000'000), quint32(288 * 3 - 10 + QByteArray(kQueryAnswer).size()));
    const QByteArray rest = rig.readAll();
    QCOMPARE(head + rest.left(rest.size() - 16), QByteArray("0\r\n").repeated(288));
    QCOMPARE(rest.right(16), QByteArray(kQueryAnswer));
    // The next state answer stops at the same byte.
    rig.write("0200");
    QCOMPARE(rig.queuedAt(4'001'000), 10u);
}

void TestVirtualPedalDriver::purgeDropsOnlyWhatArrived()
{
    VirtualPedalOptions options;
    options.faults.splitPieces = 2;
    options.faults.splitGapMs = 30;
    Rig rig(options);
    rig.write("0500");
    QCOMPARE(rig.queuedAt(0), 8u);
    QCOMPARE(rig.driver.purge(rig.handle, FT_PURGE_RX), FT_OK);
    QCOMPARE(rig.queuedAt(29'999), 0u);
    QCOMPARE(rig.readAll().size(), 0);
    QCOMPARE(rig.queuedAt(30'000), 8u);
    QCOMPARE(rig.readAll(), QByteArray(kQueryAnswer).mid(8));
}

// How the editor's code meets the pedal: D2XXUnit on the driver, waits through VirtualPacing.
void TestVirtualPedalDriver::editorWaitsInVirtualTime()
{
    VirtualPedalOptions options;
    options.lineRateBaud = 115200;
    VirtualClock clock;
    VirtualPacing pacing(clock);
    VirtualPedalDriver driver(options, clock);
    D2XXUnit usb(driver);
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number(QStringLiteral("ZT000001")), 0u);

    // One delivered image announces 2,176 bytes and holds 2,048: 177.8 ms on the wire, then
    // the pedal waits for 20 ms of quiet before it answers.
    QByteArray image(2048, '\0');
    image[1] = char(2176 >> 8);
    image[2] = char(2176 & 0xFF);
    image[35] = 41;
    usb.putTransmitBytes(image);
    QCOMPARE(usb.WriteFTBuffer(2048), 2048u);
    do
        pacing.processEvents();
    while (usb.GetFTQueueStatus() == 0 && usb.state.QueuedBytes == 0);
    QVERIFY(clock.nowUs() >= 197'778 && clock.nowUs() < 199'000);
    pacing.sleepMs(10);
    QCOMPARE(usb.ReadFTQueue(), 17u);
    QCOMPARE(usb.receivedBytes(17), QByteArray("Upload complete\r\n"));
    QCOMPARE(driver.pedal().firmware().effectNumber(), 41);
    QVERIFY(!usb.lastFailure());
}

void TestVirtualPedalDriver::upgradeSetsFirmwareVersion_data()
{
    QTest::addColumn<int>("variant"); // -1: no variant record
    QTest::addColumn<bool>("erased");
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("variant-4") << 4 << false << QByteArray("TOVEL\r\n0\r\n0\r\n4\r\n");
    QTest::newRow("variant-5") << 5 << false << QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n");
    QTest::newRow("no-record-default-5") << -1 << false << QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n");
    QTest::newRow("erased-flash-halts") << -1 << true << QByteArray();
}

void TestVirtualPedalDriver::upgradeSetsFirmwareVersion()
{
    QFETCH(int, variant);
    QFETCH(bool, erased);
    QFETCH(QByteArray, query);
    Rig rig;
    rig.driver.pedal().enterBootloader();
    QByteArray bytes = upgradeBytes(variant);
    if (erased)
        bytes = "7F 43BC FF00 21DE 0800000008";
    rig.write(bytes);
    const QByteArray acks = rig.readAll();
    QCOMPARE(acks, QByteArray(acks.size(), char(0x79)));
    QCOMPARE(rig.driver.pedal().mode(), erased ? VirtualPedal::Mode::Halted : VirtualPedal::Mode::EffectFirmware);
    rig.write("0500");
    QCOMPARE(rig.readAll(), query);
}

// The gone listener hears of the open bridge's unplug once, from the event loop (never from
// inside the call or the unplug itself); a bridge unplugged with nothing open tells nothing.
void TestVirtualPedalDriver::unplugIsToldOnceFromTheEventLoop()
{
    Rig rig;
    QList<FtHandle> gone;
    rig.driver.setGoneListener([&](FtHandle h) { gone.append(h); });
    rig.driver.pedal().unplug();
    QCOMPARE(gone, QList<FtHandle>{});
    QCoreApplication::sendPostedEvents();
    QCOMPARE(gone, QList<FtHandle>{rig.handle});

    rig.driver.pedal().unplug(false);
    FtHandle again = 0;
    QCOMPARE(rig.driver.openBySerialNumber("ZT000001", again), FT_OK);
    QCOMPARE(rig.driver.close(again), FT_OK);
    rig.driver.pedal().unplug();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(gone, QList<FtHandle>{rig.handle});
}

void TestVirtualPedalDriver::bridgeAfterGo_data()
{
    QTest::addColumn<int>("bridge");
    QTest::newRow("bridge-stays") << int(RestartAfterGo::Bridge::Stays);
    QTest::newRow("bridge-re-enumerates-1500-ms-later") << int(RestartAfterGo::Bridge::Reenumerates);
    QTest::newRow("bridge-never-comes-back") << int(RestartAfterGo::Bridge::NeverBack);
}

// After GO the pedal runs the firmware just written (variant 4) behind its bridge, which stays,
// comes back as a new device, or stays away until plugged in again.
void TestVirtualPedalDriver::bridgeAfterGo()
{
    QFETCH(int, bridge);
    const auto kind = RestartAfterGo::Bridge(bridge);
    constexpr qint64 kGoneMs = 1500;
    VirtualPedalOptions options;
    options.lineRateBaud = 115200;
    options.restartAfterGo = {kind, int(kGoneMs)};
    Rig rig(options);
    QList<FtHandle> gone;
    rig.driver.setGoneListener([&](FtHandle h) { gone.append(h); });
    rig.driver.pedal().enterBootloader();
    rig.write(upgradeBytes(4));
    // 42 bytes cross the line in under 4 ms: every acknowledge, the GO's too, is read by 10 ms.
    rig.clock.advanceUs(10'000);
    const QByteArray acks = rig.readAll();
    QCOMPARE(acks.size(), 11);
    QCOMPARE(acks, QByteArray(acks.size(), char(0x79)));
    const QByteArray query = "TOVEL\r\n0\r\n0\r\n4\r\n";
    const qint64 leaveUs = RestartAfterGo::kLeaveAfterAckMs * 1000; // after the acknowledge
    quint32 n = 0;
    const auto listed = [&] {
        quint32 count = 99;
        rig.driver.listDeviceCount(count);
        return count;
    };

    rig.clock.advanceUs(leaveUs - 11'000);
    QCOMPARE(rig.driver.queueStatus(rig.handle, n), FT_OK);
    // A query still on the line as the bridge leaves reaches the new firmware all the same.
    rig.driver.pedal().clearFrameLog();
    rig.write("0500");
    rig.clock.advanceUs(11'000);
    if (kind == RestartAfterGo::Bridge::Stays) {
        rig.clock.advanceUs(3600LL * 1000 * 1000);
        QCOMPARE(listed(), 1u);
        QCOMPARE(rig.readAll(), query);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(gone, QList<FtHandle>{});
        return;
    }
    QCOMPARE(rig.driver.queueStatus(rig.handle, n), FT_IO_ERROR);
    QCOMPARE(rig.driver.pedal().frameLog(), (QStringList{"fw EffectQuery 00", "bridge left the bus"}));
    QCOMPARE(listed(), 0u);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(gone, QList<FtHandle>{rig.handle});

    // It left within the last 10 ms: it is due back within 10 ms of kGoneMs from now.
    FtHandle fresh = 0;
    rig.clock.advanceUs(kGoneMs * 1000 - 11'000);
    QCOMPARE(listed(), 0u);
    QCOMPARE(rig.driver.openBySerialNumber("ZT000001", fresh), FT_DEVICE_NOT_FOUND);
    rig.clock.advanceUs(11'000);
    if (kind == RestartAfterGo::Bridge::NeverBack) {
        rig.clock.advanceUs(3600LL * 1000 * 1000);
        QCOMPARE(listed(), 0u);
        rig.driver.pedal().unplug(false); // the user plugs it in again
    }
    QCOMPARE(listed(), 1u);
    QCOMPARE(rig.driver.openBySerialNumber("ZT000001", fresh), FT_OK);
    quint32 written = 0;
    QCOMPARE(rig.driver.write(fresh, "\x05\x00", 2, written), FT_OK);
    rig.clock.advanceUs(10'000); // the query and its 16-byte answer cross the line
    QCOMPARE(rig.driver.queueStatus(fresh, n), FT_OK);
    QByteArray answer(int(n), '\0');
    QCOMPARE(rig.driver.read(fresh, answer.data(), n, written), FT_OK);
    QCOMPARE(answer, query);
    QCOMPARE(rig.driver.queueStatus(rig.handle, n), FT_IO_ERROR);
    QCOMPARE(gone, QList<FtHandle>{rig.handle});
}

QTEST_GUILESS_MAIN(TestVirtualPedalDriver)
#include "tst_virtualpedaldriver.moc"
