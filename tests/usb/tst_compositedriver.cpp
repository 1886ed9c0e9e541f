#include "tests/support/scriptedftdriver.h"
#include "usb/drivers/compositedriver.h"
#include "usb/drivers/systemdrivers.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

Q_DECLARE_METATYPE(tovel::FtStatus)

namespace {

// Two drivers that reach one bridge in common, as the kernel serial driver and libftdi1 do;
// each hands out the same handle number, so the composite must keep them apart.
struct TwoDrivers {
    ScriptedFtDriver *kernel;
    ScriptedFtDriver *usb;
    std::unique_ptr<CompositeDriver> composite;

    TwoDrivers()
    {
        auto k = std::make_unique<ScriptedFtDriver>();
        auto u = std::make_unique<ScriptedFtDriver>();
        k->devices = {{"A10KZP4Q", "FT232R USB UART", {}}, {"FTTTY01", "TTL232R", {}}};
        u->devices = {{"A10KZP4Q", "FT232R USB UART (usb)", {}}, {"FTUSB02", "FT230X Basic UART", {}}};
        kernel = k.get();
        usb = u.get();
        std::vector<std::unique_ptr<FtDriver>> drivers;
        drivers.push_back(std::move(k));
        drivers.push_back(std::move(u));
        composite = std::make_unique<CompositeDriver>(std::move(drivers));
    }

    QList<QByteArray> listed(int field)
    {
        quint32 count = 0;
        if (composite->listDeviceCount(count) != FT_OK)
            return {};
        QList<QByteArray> texts;
        for (quint32 i = 0; i < count; ++i) {
            QByteArray text;
            if (field == 0)
                composite->listSerialNumber(i, text);
            else
                composite->listDescription(i, text);
            texts.append(text);
        }
        return texts;
    }
};

} // namespace

Q_DECLARE_METATYPE(tovel::OpenProblem)

class TestCompositeDriver : public QObject {
    Q_OBJECT

private slots:
    void sharedBridgeIsListedOnce();
    void driverThatCannotCountIsPassedOver();
    void callsFollowTheDriverThatOpened();
    void openFallsThroughOnlyWhenNotFound_data();
    void openFallsThroughOnlyWhenNotFound();
    void closedAndUnknownHandlesAreInvalid();
    void failedCloseCanBeRetried();
    void systemDriverListsEachBridgeOnce();
    void newsOfAGoneDeviceNamesTheCompositeHandle();
};

void TestCompositeDriver::sharedBridgeIsListedOnce()
{
    TwoDrivers d;
    QCOMPARE(d.listed(0), (QList<QByteArray>{"A10KZP4Q", "FTTTY01", "FTUSB02"}));
    QCOMPARE(d.listed(1),
             (QList<QByteArray>{"FT232R USB UART", "TTL232R", "FT230X Basic UART"}));
    QByteArray text = "kept";
    QCOMPARE(d.composite->listSerialNumber(3, text), FT_DEVICE_NOT_FOUND);
    QCOMPARE(text, QByteArray("kept"));
}

void TestCompositeDriver::driverThatCannotCountIsPassedOver()
{
    TwoDrivers d;
    d.kernel->failing[ScriptedFtDriver::Call::Count] = FT_IO_ERROR;
    QCOMPARE(d.listed(0), (QList<QByteArray>{"A10KZP4Q", "FTUSB02"}));

    d.usb->failing[ScriptedFtDriver::Call::Count] = FT_INSUFFICIENT_RESOURCES;
    quint32 count = 99;
    QCOMPARE(d.composite->listDeviceCount(count), FT_IO_ERROR);
    QCOMPARE(count, 99u);
}

void TestCompositeDriver::callsFollowTheDriverThatOpened()
{
    TwoDrivers d;
    FtHandle shared = 0, usbOnly = 0;
    QCOMPARE(d.composite->openBySerialNumber("NOSUCH", shared), FT_DEVICE_NOT_FOUND);
    QCOMPARE(d.composite->openBySerialNumber("A10KZP4Q", shared), FT_OK);
    QCOMPARE(d.composite->openBySerialNumber("FTUSB02", usbOnly), FT_OK);
    QVERIFY(d.kernel->isOpen());
    QVERIFY(d.usb->isOpen());
    QCOMPARE(d.usb->openedSerial, QByteArray("FTUSB02"));
    QVERIFY(shared != usbOnly);
    QVERIFY(shared != 0 && usbOnly != 0);

    quint32 n = 0;
    QCOMPARE(d.composite->write(shared, "\x05", 1, n), FT_OK);
    QCOMPARE(d.composite->write(usbOnly, "\x7f", 1, n), FT_OK);
    QCOMPARE(d.kernel->writes, QList<QByteArray>{"\x05"});
    QCOMPARE(d.usb->writes, QList<QByteArray>{"\x7f"});

    d.usb->queueAnswer("\x79");
    QCOMPARE(d.composite->queueStatus(shared, n), FT_OK);
    QCOMPARE(n, 0u);
    QCOMPARE(d.composite->queueStatus(usbOnly, n), FT_OK);
    QCOMPARE(n, 1u);
    char byte = 0;
    QCOMPARE(d.composite->read(usbOnly, &byte, 1, n), FT_OK);
    QCOMPARE(byte, '\x79');

    QCOMPARE(d.composite->setBaudRate(shared, 115200), FT_OK);
    QCOMPARE(d.composite->setDataCharacteristics(usbOnly, 8, 0, 0), FT_OK);
    QCOMPARE(d.composite->purge(usbOnly, FT_PURGE_RX), FT_OK);
    QCOMPARE(d.kernel->baudRate, 115200u);
    QCOMPARE(d.usb->baudRate, 0u);
    QCOMPARE(d.usb->wordLength, quint8(8));
    QCOMPARE(d.kernel->purges.size(), 0);
    QCOMPARE(d.usb->purges, QList<quint32>{FT_PURGE_RX});

    // Whether a device may be a real pedal is the opening driver's answer; an unknown handle
    // may be one.
    d.usb->realBridge = false;
    QVERIFY(d.composite->isRealBridge(shared));
    QVERIFY(!d.composite->isRealBridge(usbOnly));
    QVERIFY(d.composite->isRealBridge(0x7777));
}

void TestCompositeDriver::openFallsThroughOnlyWhenNotFound_data()
{
    QTest::addColumn<FtStatus>("kernelOpen");
    QTest::addColumn<FtStatus>("status");
    QTest::addColumn<bool>("usbOpened");
    // A port held by another program must not be taken from it by detaching the kernel driver.
    QTest::addColumn<OpenProblem>("problem"); // what the composite tells after the open
    QTest::newRow("tty-held-by-another-program") << FT_DEVICE_NOT_OPENED << FT_DEVICE_NOT_OPENED << false << OpenProblem::Busy;
    QTest::newRow("tty-failed") << FT_IO_ERROR << FT_IO_ERROR << false << OpenProblem::Busy;
    QTest::newRow("tty-gone-since-listing") << FT_DEVICE_NOT_FOUND << FT_OK << true << OpenProblem::None;
}

void TestCompositeDriver::openFallsThroughOnlyWhenNotFound()
{
    QFETCH(FtStatus, kernelOpen);
    QFETCH(FtStatus, status);
    QFETCH(bool, usbOpened);
    QFETCH(OpenProblem, problem);
    TwoDrivers d;
    d.kernel->failing[ScriptedFtDriver::Call::Open] = kernelOpen;
    d.kernel->openProblem = OpenProblem::Busy;
    FtHandle handle = 0;
    QCOMPARE(d.composite->openBySerialNumber("A10KZP4Q", handle), status);
    QCOMPARE(d.usb->isOpen(), usbOpened);
    QCOMPARE(d.composite->lastOpenProblem(), problem);
}

void TestCompositeDriver::closedAndUnknownHandlesAreInvalid()
{
    TwoDrivers d;
    FtHandle first = 0, second = 0;
    QCOMPARE(d.composite->openBySerialNumber("FTTTY01", first), FT_OK);
    QCOMPARE(d.composite->close(first), FT_OK);
    QVERIFY(!d.kernel->isOpen());
    QCOMPARE(d.composite->openBySerialNumber("FTTTY01", second), FT_OK);
    QVERIFY(second != first);

    // The stale handle no longer reaches the bridge, though the driver has it open again.
    for (const FtHandle handle : {first, FtHandle(0), ScriptedFtDriver::kHandle}) {
        char buffer[2] = {};
        quint32 n = 77;
        quint16 word = 0;
        QCOMPARE(d.composite->write(handle, buffer, 2, n), FT_INVALID_HANDLE);
        QCOMPARE(n, 0u);
        QCOMPARE(d.composite->read(handle, buffer, 2, n), FT_INVALID_HANDLE);
        QCOMPARE(d.composite->queueStatus(handle, n), FT_INVALID_HANDLE);
        QCOMPARE(d.composite->purge(handle, FT_PURGE_TX), FT_INVALID_HANDLE);
        QCOMPARE(d.composite->setBaudRate(handle, 9600), FT_INVALID_HANDLE);
        QCOMPARE(d.composite->setDataCharacteristics(handle, 8, 0, 0), FT_INVALID_HANDLE);
        QCOMPARE(d.composite->readEepromWord(handle, 0, word), FT_INVALID_HANDLE);
        QCOMPARE(d.composite->close(handle), FT_INVALID_HANDLE);
    }
    QVERIFY(d.kernel->writes.isEmpty());
    QVERIFY(d.kernel->isOpen());
}

void TestCompositeDriver::failedCloseCanBeRetried()
{
    TwoDrivers d;
    FtHandle handle = 0;
    QCOMPARE(d.composite->openBySerialNumber("FTUSB02", handle), FT_OK);
    d.usb->failing[ScriptedFtDriver::Call::Close] = FT_IO_ERROR;
    QCOMPARE(d.composite->close(handle), FT_IO_ERROR);
    d.usb->failing.remove(ScriptedFtDriver::Call::Close);
    QCOMPARE(d.composite->close(handle), FT_OK);
    QVERIFY(!d.usb->isOpen());
}

// On whatever this machine has attached (here: nothing), through udev and libusb for real.
void TestCompositeDriver::systemDriverListsEachBridgeOnce()
{
    const std::unique_ptr<FtDriver> driver = makeSystemDriver();
    quint32 count = 99;
    QCOMPARE(driver->listDeviceCount(count), FT_OK);
    QSet<QByteArray> serials;
    for (quint32 i = 0; i < count; ++i) {
        QByteArray serial;
        QCOMPARE(driver->listSerialNumber(i, serial), FT_OK);
        QVERIFY(!serial.isEmpty());
        QVERIFY(!serials.contains(serial));
        serials.insert(serial);
    }
    FtHandle handle = 0;
    QCOMPARE(driver->openBySerialNumber("TOVEL-NO-SUCH-BRIDGE", handle), FT_DEVICE_NOT_FOUND);
}

// Both drivers hand out the same handle number: the news of a device gone must come under the
// composite's handle of the driver that told it. A removal reaches every driver.
void TestCompositeDriver::newsOfAGoneDeviceNamesTheCompositeHandle()
{
    TwoDrivers d;
    QList<FtHandle> gone;
    d.composite->setGoneListener([&](FtHandle h) { gone.append(h); });
    FtHandle shared = 0, usbOnly = 0;
    QCOMPARE(d.composite->openBySerialNumber("A10KZP4Q", shared), FT_OK);
    QCOMPARE(d.composite->openBySerialNumber("FTUSB02", usbOnly), FT_OK);

    d.usb->goneWithNode = "/dev/bus/usb/001/009";
    d.composite->bridgeRemoved({"/dev/bus/usb/001/009"});
    QCOMPARE(d.kernel->removals, QList<QStringList>{{"/dev/bus/usb/001/009"}});
    QCOMPARE(d.usb->removals, QList<QStringList>{{"/dev/bus/usb/001/009"}});
    QCOMPARE(gone, QList<FtHandle>{usbOnly});

    d.kernel->tellGone(ScriptedFtDriver::kHandle + 1); // no handle of the composite's
    QCOMPARE(gone.size(), 1);
    d.kernel->tellGone(ScriptedFtDriver::kHandle);
    QCOMPARE(gone, (QList<FtHandle>{usbOnly, shared}));
}

QTEST_GUILESS_MAIN(TestCompositeDriver)
#include "tst_compositedriver.moc"
