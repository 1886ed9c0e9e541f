#include "usb/drivers/libftdidriver.h"
#include "usb/drivers/libftdistatus.h"
#include "usb/drivers/linesettings.h"

#include <QtTest>

using namespace tovel;

Q_DECLARE_METATYPE(tovel::LibFtdiCall)
Q_DECLARE_METATYPE(tovel::FtStatus)

// No bridge is attached to the machine these tests run on: what needs one (open, line
// settings, reads and writes on a real chip) is not exercised here.
Q_DECLARE_METATYPE(tovel::OpenProblem)

class TestLibFtdiDriver : public QObject {
    Q_OBJECT

private slots:
    void statuses_data();
    void statuses();
    void lineSettings_data();
    void lineSettings();
    void openProblems_data();
    void openProblems();

    void noBridgeListsNothing();
    void absentSerialIsNotFound();
    void unknownHandlesFailEveryCall();
    void usbNodeIsTheOneUdevNames();
};

void TestLibFtdiDriver::openProblems_data()
{
    QTest::addColumn<int>("rc");
    QTest::addColumn<OpenProblem>("problem");
    QTest::newRow("opened") << 0 << OpenProblem::None;
    QTest::newRow("usb-device-not-permitted") << -4 << OpenProblem::PermissionDenied;
    QTest::newRow("interface-claimed-by-another-program") << -5 << OpenProblem::Busy;
    QTest::newRow("tty-driver-not-detachable") << -11 << OpenProblem::Busy;
    QTest::newRow("usb-configuration-failed") << -3 << OpenProblem::None;
}

void TestLibFtdiDriver::openProblems()
{
    QFETCH(int, rc);
    QFETCH(OpenProblem, problem);
    QCOMPARE(LibFtdiDriver::openProblemFor(rc), problem);
}

void TestLibFtdiDriver::statuses_data()
{
    QTest::addColumn<LibFtdiCall>("call");
    QTest::addColumn<int>("rc");
    QTest::addColumn<FtStatus>("status");
    using C = LibFtdiCall;
    QTest::newRow("find-found-three") << C::FindAll << 3 << FT_OK;
    QTest::newRow("find-out-of-memory") << C::FindAll << -3 << FT_INSUFFICIENT_RESOURCES;
    QTest::newRow("find-device-list-failed") << C::FindAll << -5 << FT_IO_ERROR;
    QTest::newRow("strings-unable-to-open") << C::GetStrings << -4 << FT_DEVICE_NOT_OPENED;
    QTest::newRow("strings-serial-unreadable") << C::GetStrings << -9 << FT_IO_ERROR;
    QTest::newRow("interface-unknown") << C::SetInterface << -1 << FT_INVALID_PARAMETER;
    QTest::newRow("open-fine") << C::OpenDevice << 0 << FT_OK;
    QTest::newRow("open-config-failed") << C::OpenDevice << -3 << FT_IO_ERROR;
    QTest::newRow("open-no-permission") << C::OpenDevice << -4 << FT_DEVICE_NOT_OPENED;
    QTest::newRow("open-claimed-elsewhere") << C::OpenDevice << -5 << FT_DEVICE_NOT_OPENED;
    QTest::newRow("open-reset-failed") << C::OpenDevice << -6 << FT_IO_ERROR;
    QTest::newRow("open-invalid-context") << C::OpenDevice << -8 << FT_INVALID_HANDLE;
    QTest::newRow("open-kernel-driver-kept") << C::OpenDevice << -11 << FT_DEVICE_NOT_OPENED;
    QTest::newRow("close-unplugged") << C::Close << -1 << FT_IO_ERROR;
    QTest::newRow("close-invalid-context") << C::Close << -3 << FT_INVALID_HANDLE;
    QTest::newRow("baud-unreachable") << C::SetBaudRate << -1 << FT_INVALID_BAUD_RATE;
    QTest::newRow("baud-transfer-failed") << C::SetBaudRate << -2 << FT_IO_ERROR;
    QTest::newRow("line-transfer-failed") << C::SetLineProperty << -1 << FT_IO_ERROR;
    QTest::newRow("read-nothing-waiting") << C::ReadData << 0 << FT_OK;
    QTest::newRow("read-unplugged") << C::ReadData << -4 << FT_IO_ERROR;
    QTest::newRow("read-no-device") << C::ReadData << -666 << FT_IO_ERROR;
    QTest::newRow("write-timed-out") << C::WriteData << -7 << FT_IO_ERROR;
    QTest::newRow("purge-rx-failed") << C::PurgeRx << -1 << FT_IO_ERROR;
    QTest::newRow("purge-tx-no-device") << C::PurgeTx << -2 << FT_IO_ERROR;
    QTest::newRow("eeprom-read-failed") << C::ReadEeprom << -1 << FT_EEPROM_READ_FAILED;
    QTest::newRow("eeprom-no-device") << C::ReadEeprom << -2 << FT_EEPROM_READ_FAILED;
}

void TestLibFtdiDriver::statuses()
{
    QFETCH(LibFtdiCall, call);
    QFETCH(int, rc);
    QFETCH(FtStatus, status);
    QCOMPARE(libFtdiStatus(call, rc), status);
}

void TestLibFtdiDriver::lineSettings_data()
{
    QTest::addColumn<int>("wordLength");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stops");
    QTest::addColumn<int>("parityKind");
    using P = LineSettings::Parity;
    QTest::newRow("pedal-link-8N1") << 8 << 0 << 0 << true << 8 << 1 << int(P::None);
    QTest::newRow("7-bits-odd") << 7 << 0 << 1 << true << 7 << 1 << int(P::Odd);
    QTest::newRow("even-two-stops") << 8 << 2 << 2 << true << 8 << 2 << int(P::Even);
    QTest::newRow("mark") << 8 << 0 << 3 << true << 8 << 1 << int(P::Mark);
    QTest::newRow("space") << 8 << 0 << 4 << true << 8 << 1 << int(P::Space);
    QTest::newRow("6-bits") << 6 << 0 << 0 << false << 0 << 0 << 0;
    QTest::newRow("one-and-a-half-stops") << 8 << 1 << 0 << false << 0 << 0 << 0;
    QTest::newRow("stop-code-3") << 8 << 3 << 0 << false << 0 << 0 << 0;
    QTest::newRow("parity-code-5") << 8 << 0 << 5 << false << 0 << 0 << 0;
}

void TestLibFtdiDriver::lineSettings()
{
    QFETCH(int, wordLength);
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(bool, valid);
    const auto line = lineSettingsFromD2xx(quint8(wordLength), quint8(stopBits), quint8(parity));
    QCOMPARE(line.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, dataBits);
    QFETCH(int, stops);
    QFETCH(int, parityKind);
    QCOMPARE(line->dataBits, dataBits);
    QCOMPARE(line->stopBits, stops);
    QCOMPARE(int(line->parity), parityKind);
}

void TestLibFtdiDriver::noBridgeListsNothing()
{
    LibFtdiDriver driver;
    quint32 count = 99;
    const FtStatus s = driver.listDeviceCount(count);
    if (s == FT_IO_ERROR)
        QSKIP("libusb cannot start here: no USB access at all");
    QCOMPARE(s, FT_OK);
    if (count != 0)
        QSKIP("an FTDI bridge is attached");
    QByteArray text = "kept";
    QCOMPARE(driver.listSerialNumber(0, text), FT_DEVICE_NOT_FOUND);
    QCOMPARE(driver.listDescription(0, text), FT_DEVICE_NOT_FOUND);
    QCOMPARE(text, QByteArray("kept"));
}

void TestLibFtdiDriver::absentSerialIsNotFound()
{
    LibFtdiDriver driver;
    FtHandle handle = 0;
    const FtStatus s = driver.openBySerialNumber("TOVEL-NO-SUCH-BRIDGE", handle);
    if (s == FT_IO_ERROR)
        QSKIP("libusb cannot start here: no USB access at all");
    QCOMPARE(s, FT_DEVICE_NOT_FOUND);
    QCOMPARE(handle, 0u);
}

void TestLibFtdiDriver::unknownHandlesFailEveryCall()
{
    LibFtdiDriver driver;
    for (const FtHandle handle : {FtHandle(0), FtHandle(1), FtHandle(0xA1B2C3)}) {
        char buffer[4] = {};
        quint32 n = 77;
        quint16 word = 0xBEEF;
        QCOMPARE(driver.read(handle, buffer, 4, n), FT_INVALID_HANDLE);
        QCOMPARE(n, 0u);
        QCOMPARE(driver.write(handle, buffer, 4, n), FT_INVALID_HANDLE);
        QCOMPARE(n, 0u);
        QCOMPARE(driver.queueStatus(handle, n), FT_INVALID_HANDLE);
        QCOMPARE(driver.purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_INVALID_HANDLE);
        QCOMPARE(driver.setBaudRate(handle, 115200), FT_INVALID_HANDLE);
        QCOMPARE(driver.setDataCharacteristics(handle, 8, 0, 0), FT_INVALID_HANDLE);
        QCOMPARE(driver.readEepromWord(handle, 0, word), FT_INVALID_HANDLE);
        QCOMPARE(word, quint16(0xBEEF));
        QCOMPARE(driver.close(handle), FT_INVALID_HANDLE);
    }
}

// The monitor names a bridge that left by udev's DEVNAME for its USB device; the driver keeps
// the same name for the bridge it opened, from libusb's bus number and device address.
void TestLibFtdiDriver::usbNodeIsTheOneUdevNames()
{
    QCOMPARE(LibFtdiDriver::usbDevnode(1, 7), QStringLiteral("/dev/bus/usb/001/007"));
    QCOMPARE(LibFtdiDriver::usbDevnode(3, 127), QStringLiteral("/dev/bus/usb/003/127"));
    LibFtdiDriver driver;
    int gone = 0;
    driver.setGoneListener([&](FtHandle) { ++gone; });
    driver.bridgeRemoved({QStringLiteral("/dev/bus/usb/001/007")}); // nothing open
    QCOMPARE(gone, 0);
}

QTEST_GUILESS_MAIN(TestLibFtdiDriver)
#include "tst_libftdidriver.moc"
