#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"
#include "usb/pluggedbridge.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

Q_DECLARE_METATYPE(tovel::OpenProblem)

class TestD2XXUnit : public QObject {
    Q_OBJECT

private slots:
    void statusMessages_data();
    void statusMessages();
    void successShowsNothing();
    void openCutsSerialTo49Characters();
    void failedOpenSaysWhatToDo_data();
    void failedOpenSaysWhatToDo();
    void listRepliesEndAtZeroAndAt64();
    void failingListKeepsPreviousText();
    void readsOverwriteOnlyWhatTheyRead();
    void readTakesAtMostTheBuffer();
    void readWithNothingQueuedLeavesBuffer();
    void staleHandleAfterCloseIsReported();
    void eepromFailureIsSilentAndKeepsLastWord();
    void goneDeviceIsReportedOnce();
    void lossBetweenCallsIsToldOnce();
    void bridgeLeavingTheBusLosesTheOpenDevice();
};

void TestD2XXUnit::statusMessages_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("invalid-handle-on-write") << "FT_Write" << 1u << "FT_Write - Invalid handle...";
    QTest::newRow("not-found") << "X" << 2u << "X - Device not found...";
    QTest::newRow("not-opened") << "X" << 3u << "X - Device not opened...";
    QTest::newRow("io") << "X" << 4u << "X - General IO error...";
    QTest::newRow("resources") << "X" << 5u << "X - Insufficient resources...";
    QTest::newRow("parameter") << "X" << 6u << "X - Invalid parameter...";
    QTest::newRow("baud") << "X" << 7u << "X - Invalid baud rate...";
    QTest::newRow("erase-no-dash-on-close") << "FT_Close" << 8u << "FT_Close Device not opened for erase...";
    QTest::newRow("write-no-dash") << "X" << 9u << "X Device not opened for write...";
    QTest::newRow("failed-write") << "X" << 10u << "X - Failed to write...";
    QTest::newRow("ee-read") << "X" << 11u << "X - EEPROM read failed...";
    QTest::newRow("ee-write") << "X" << 12u << "X - EEPROM write failed...";
    QTest::newRow("ee-erase") << "X" << 13u << "X - EEPROM erase failed...";
    QTest::newRow("ee-absent") << "X" << 14u << "X - EEPROM not present...";
    QTest::newRow("ee-blank") << "X" << 15u << "X - EEPROM not programmed...";
    QTest::newRow("args") << "X" << 16u << "X - Invalid arguments...";
    QTest::newRow("other-blank-before-dots") << "X" << 17u << "X - Other error ...";
    QTest::newRow("above-17-empty") << "X" << 18u << "";
}

void TestD2XXUnit::statusMessages()
{
    QFETCH(QString, label);
    QFETCH(quint32, status);
    QFETCH(QString, text);
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    WordedUnit usb(driver, prompts);
    usb.ReportFTStatus(label, status);
    QCOMPARE(prompts.messages, QStringList{text});
}

void TestD2XXUnit::successShowsNothing()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    WordedUnit usb(driver, prompts);
    QCOMPARE(usb.GetFTDeviceCount(), 0u);
    QCOMPARE(usb.state.DeviceCount, 0u);
    QVERIFY(prompts.messages.isEmpty());
}

void TestD2XXUnit::openCutsSerialTo49Characters()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    const QByteArray long60(60, 'S');
    driver.devices.append({long60.left(49), "Tovel", {}});
    WordedUnit usb(driver, prompts);
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number(QString::fromLatin1(long60)), 0u);
    QCOMPARE(driver.openedSerial, long60.left(49));
    QCOMPARE(usb.state.DeviceHandle, ScriptedFtDriver::kHandle);
}

void TestD2XXUnit::failedOpenSaysWhatToDo_data()
{
    QTest::addColumn<FtStatus>("status");
    QTest::addColumn<OpenProblem>("problem");
    QTest::addColumn<QString>("help"); // a phrase of the help below the status; empty: none
    QTest::newRow("bridge-not-permitted") << FT_DEVICE_NOT_OPENED << OpenProblem::PermissionDenied
                                          << "Install the editor's udev rule";
    QTest::newRow("bridge-held-by-another-program") << FT_DEVICE_NOT_OPENED << OpenProblem::Busy
                                                    << "Close that program, then connect again.";
    QTest::newRow("driver-cannot-tell") << FT_DEVICE_NOT_OPENED << OpenProblem::None << "";
    QTest::newRow("bridge-unplugged") << FT_DEVICE_NOT_FOUND << OpenProblem::None << "";
    QTest::newRow("device-path-names-an-ordinary-file") << FT_DEVICE_NOT_OPENED << OpenProblem::NotASerialPort
                                                        << "is no serial port";
}

void TestD2XXUnit::failedOpenSaysWhatToDo()
{
    QFETCH(FtStatus, status);
    QFETCH(OpenProblem, problem);
    QFETCH(QString, help);
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"A10KZP4Q", "Tovel", {}});
    driver.failing[ScriptedFtDriver::Call::Open] = status;
    driver.openProblem = problem;
    WordedUnit usb(driver, prompts);
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number("A10KZP4Q"), quint32(status));
    QCOMPARE(prompts.messages.size(), 1);
    const QString text = prompts.messages.first();
    const QString statusText = D2XXUnit::statusMessage("Open_USB_Device_By_Serial_Number", status);
    // The driver's reason where it knows one, below the fixed text (a terminal too); the
    // windows' line where it does not.
    if (help.isEmpty()) {
        QCOMPARE(text, statusText);
    } else {
        QVERIFY2(text.startsWith(statusText + "\n"), qPrintable(text));
        QVERIFY2(text.contains(help), qPrintable(text));
    }
    // Handed on typed, for each front end to word.
    QVERIFY(usb.lastFailure());
    QCOMPARE(usb.lastFailure()->label, QStringLiteral("Open_USB_Device_By_Serial_Number"));
    QCOMPARE(usb.lastFailure()->status, quint32(status));
    QCOMPARE(usb.lastFailure()->problem, problem);
}

void TestD2XXUnit::listRepliesEndAtZeroAndAt64()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({QByteArray("AB12\0junk", 9), QByteArray(70, 'D'), {}});
    WordedUnit usb(driver, prompts);
    usb.GetFTDeviceSerialNo(0);
    QCOMPARE(usb.state.DeviceListText, QStringLiteral("AB12"));
    usb.GetFTDeviceDescription(0);
    QCOMPARE(usb.state.DeviceListText, QString(64, 'D'));
}

void TestD2XXUnit::failingListKeepsPreviousText()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"FT1", "Tovel", {}});
    WordedUnit usb(driver, prompts);
    usb.GetFTDeviceSerialNo(0);
    driver.failing[ScriptedFtDriver::Call::Description] = FT_IO_ERROR;
    QCOMPARE(usb.GetFTDeviceDescription(0), quint32(FT_IO_ERROR));
    QCOMPARE(usb.state.DeviceListText, QStringLiteral("FT1"));
    QCOMPARE(prompts.messages, QStringList{"GetFTDeviceDescription - General IO error..."});
}

void TestD2XXUnit::readsOverwriteOnlyWhatTheyRead()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"FT1", "Tovel", {}});
    WordedUnit usb(driver, prompts);
    usb.Open_USB_Device_By_Serial_Number("FT1");
    driver.queueAnswer("0123456789");
    QCOMPARE(usb.ReadFTQueue(), 10u);
    driver.queueAnswer("abcd");
    QCOMPARE(usb.ReadFTQueue(), 4u);
    QCOMPARE(usb.receivedBytes(10), QByteArray("abcd456789"));
    QCOMPARE(usb.state.ReceiveBuffer[10], quint8(0));
}

void TestD2XXUnit::readTakesAtMostTheBuffer()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"FT1", "Tovel", {}});
    WordedUnit usb(driver, prompts);
    usb.Open_USB_Device_By_Serial_Number("FT1");
    QByteArray big(70000, 'x');
    big[65536] = 'y';
    driver.queueAnswer(big);
    QCOMPARE(usb.ReadFTQueue(17), 65536u); // the requested count does not limit the read
    QCOMPARE(usb.ReadFTQueue(), 70000u - 65536u);
    QCOMPARE(usb.state.ReceiveBuffer[0], quint8('y'));
}

void TestD2XXUnit::readWithNothingQueuedLeavesBuffer()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"FT1", "Tovel", {}});
    WordedUnit usb(driver, prompts);
    usb.Open_USB_Device_By_Serial_Number("FT1");
    usb.state.ReceiveBuffer[0] = 0x42;
    QCOMPARE(usb.ReadFTQueue(), 0u);
    QCOMPARE(usb.state.ReceiveBuffer[0], quint8(0x42));
    QVERIFY(prompts.messages.isEmpty());
}

void TestD2XXUnit::staleHandleAfterCloseIsReported()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"FT1", "Tovel", {}});
    WordedUnit usb(driver, prompts);
    usb.Open_USB_Device_By_Serial_Number("FT1");
    QCOMPARE(usb.CloseFTDevice(), 0u);
    QCOMPARE(usb.state.DeviceHandle, ScriptedFtDriver::kHandle); // close leaves the value
    usb.state.TransmitBuffer[0] = 0x05;
    QCOMPARE(usb.WriteFTBuffer(1), 0u);
    QCOMPARE(usb.ReadFTQueue(), 0u);
    QCOMPARE(prompts.messages,
             (QStringList{"FT_Write - Invalid handle...", "FT_Read - Invalid handle..."}));
}

void TestD2XXUnit::eepromFailureIsSilentAndKeepsLastWord()
{
    ScriptedFtDriver driver;
    ScriptedPrompts prompts;
    driver.devices.append({"FT1", "Tovel", {0x1234, 0x5678}});
    WordedUnit usb(driver, prompts);
    usb.Open_USB_Device_By_Serial_Number("FT1");
    usb.ReadFTEepromWord(1);
    driver.failing[ScriptedFtDriver::Call::Eeprom] = FT_EEPROM_READ_FAILED;
    QCOMPARE(usb.ReadFTEepromWord(0), quint32(FT_EEPROM_READ_FAILED));
    QCOMPARE(usb.state.EepromWord, quint16(0x5678));
    QVERIFY(prompts.messages.isEmpty());
}

// With a listener for the loss, a bridge that left the bus is reported once, instead of one box
// per failing call; a fresh open starts afresh. Other failures still show their boxes.
void TestD2XXUnit::goneDeviceIsReportedOnce()
{
    ScriptedFtDriver driver;
    driver.devices = {{"FT1", "Tovel", {}}};
    ScriptedPrompts prompts;
    WordedUnit usb(driver, prompts);
    int losses = 0;
    usb.onDeviceLost = [&] { ++losses; };
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number("FT1"), 0u);

    driver.failing[ScriptedFtDriver::Call::Write] = FT_FAILED_TO_WRITE_DEVICE; // a stalled line
    usb.WriteFTBuffer(2);
    QCOMPARE(prompts.messages, QStringList{"FT_Write - Failed to write..."});
    driver.failing.clear();

    driver.failing[ScriptedFtDriver::Call::Queue] = FT_IO_ERROR;
    driver.failing[ScriptedFtDriver::Call::Write] = FT_IO_ERROR;
    usb.GetFTQueueStatus();
    usb.WriteFTBuffer(7);
    usb.PurgeFTReceive();
    usb.CloseFTDevice();
    usb.WriteFTBuffer(7); // on the closed handle
    QCOMPARE(losses, 1);
    QVERIFY(usb.state.DeviceLost);
    QCOMPARE(prompts.messages.size(), 1);

    driver.failing.clear();
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number("FT1"), 0u);
    QVERIFY(!usb.state.DeviceLost);
    driver.failing[ScriptedFtDriver::Call::Read] = FT_IO_ERROR;
    driver.queueAnswer("x");
    usb.ReadFTQueue();
    QCOMPARE(losses, 2);
    QCOMPARE(prompts.messages.size(), 1);
}

// The driver's news of a device gone while no call ran goes the way of a failing call: one
// onDeviceLost, no box for what fails after. News of another handle, or of a loss told
// already, changes nothing.
void TestD2XXUnit::lossBetweenCallsIsToldOnce()
{
    ScriptedFtDriver driver;
    driver.devices = {{"FT1", "Tovel", {}}};
    ScriptedPrompts prompts;
    WordedUnit usb(driver, prompts);
    int losses = 0;
    usb.onDeviceLost = [&] { ++losses; };
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number("FT1"), 0u);

    driver.tellGone(ScriptedFtDriver::kHandle + 1); // a handle closed long ago
    QCOMPARE(losses, 0);
    QVERIFY(!usb.state.DeviceLost);
    driver.tellGone(ScriptedFtDriver::kHandle);
    QCOMPARE(losses, 1);
    QVERIFY(usb.state.DeviceLost);
    driver.tellGone(ScriptedFtDriver::kHandle);
    driver.failing[ScriptedFtDriver::Call::Queue] = FT_IO_ERROR;
    usb.GetFTQueueStatus();
    usb.CloseFTDevice();
    QCOMPARE(losses, 1);
    QCOMPARE(prompts.messages, QStringList{});

    // Lost through a failing call first, then the driver's news: still one.
    driver.failing.clear();
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number("FT1"), 0u);
    driver.failing[ScriptedFtDriver::Call::Write] = FT_IO_ERROR;
    usb.WriteFTBuffer(2);
    driver.tellGone(ScriptedFtDriver::kHandle);
    QCOMPARE(losses, 2);
    QCOMPARE(prompts.messages, QStringList{});
}

void TestD2XXUnit::bridgeLeavingTheBusLosesTheOpenDevice()
{
    ScriptedFtDriver driver;
    driver.devices = {{"A50285BI", "FT232R USB UART", {}}};
    driver.goneWithNode = "/dev/bus/usb/001/007";
    ScriptedPrompts prompts;
    WordedUnit usb(driver, prompts);
    int losses = 0;
    usb.onDeviceLost = [&] { ++losses; };
    QCOMPARE(usb.Open_USB_Device_By_Serial_Number("A50285BI"), 0u);

    PluggedBridge other;
    other.usbDevnode = "/dev/bus/usb/002/003";
    usb.bridgeLeft(other);
    QCOMPARE(losses, 0);

    PluggedBridge bridge;
    bridge.serialNumber = "A50285BI";
    bridge.usbDevnode = "/dev/bus/usb/001/007";
    bridge.ttyDevnodes = {"/dev/ttyUSB0"};
    usb.bridgeLeft(bridge);
    QCOMPARE(driver.removals.last(), (QStringList{"/dev/ttyUSB0", "/dev/bus/usb/001/007"}));
    QCOMPARE(losses, 1);
    QVERIFY(usb.state.DeviceLost);
}

QTEST_GUILESS_MAIN(TestD2XXUnit)
#include "tst_d2xxunit.moc"
