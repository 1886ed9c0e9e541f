#include "app/usbfailuretext.h"
#include "tests/support/editorfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// EEPROM words laid out as the bridge keeps its identity: manufacturer from word 81 closed by
// a "$", device name up to word 103, serial number in words 105..112.
QList<quint16> eeprom(const QByteArray &manufacturer, const QByteArray &name, const QByteArray &serial)
{
    QList<quint16> words(128, 0);
    auto put = [&](int first, const QByteArray &text) {
        for (int i = 0; i < text.size(); i += 2)
            words[first + i / 2] = quint16(quint8(text[i]) << 8 | quint8(i + 1 < text.size() ? text[i + 1] : 0));
    };
    put(0, QByteArray::fromHex("40000304016000"));
    put(81, manufacturer);
    put(81 + (manufacturer.size() + 1) / 2, name);
    put(105, serial);
    return words;
}

QStringList identityLines(const QStringList &console)
{
    QStringList lines;
    for (const QString &l : console)
        if (!l.isEmpty() && !l.at(0).isDigit())
            lines << l;
    return lines;
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    void usbFailuresInTheWindowsWords_data();
    void usbFailuresInTheWindowsWords();
    void scanWithNoDevice();
    void identityWithoutAnEeprom_data();
    void identityWithoutAnEeprom();
    void scanWithTwoDevices();
    void connectDisconnectConnect();
    void failedOpenStaysNotConnected();
    void connectWithNoPedalSaysWhatToDo();
    void eepromWithoutDollarGivesDumpOnly();
    void connectToTheVirtualPedal();
    void bootloaderGreeting_data();
    void bootloaderGreeting();
};

void TestLink::usbFailuresInTheWindowsWords_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<int>("problem"); // OpenProblem
    QTest::addColumn<QString>("advice"); // the second line; empty: none
    const QString open = QStringLiteral("Open_USB_Device_By_Serial_Number");
    QTest::newRow("open-no-pedal-plugged-in") << open << 2u << int(OpenProblem::None) << noPedalFoundText();
    QTest::newRow("open-bridge-would-not-open") << open << 3u << int(OpenProblem::None)
        << "The pedal's USB bridge could not be opened: unplug the pedal, plug it in again, then Connection > Connect.";
    // The driver's reason, where it knows one, instead of the operation's line.
    QTest::newRow("open-held-by-another-program") << open << 3u << int(OpenProblem::Busy)
                                                  << D2XXUnit::openHelp(OpenProblem::Busy);
    QTest::newRow("write-cable-pulled") << "FT_Write" << 4u << int(OpenProblem::None)
        << "The pedal may not have got it: check its USB cable, then Connection > Disconnect and Connect.";
    QTest::newRow("listing-failed") << "GetFTDeviceCount" << 4u << int(OpenProblem::None)
        << "The USB bridges could not be listed: unplug the pedal, plug it in again, then Connection > Scan.";
    QTest::newRow("unknown-operation") << "X" << 4u << int(OpenProblem::None) << "";
}

void TestLink::usbFailuresInTheWindowsWords()
{
    QFETCH(QString, label);
    QFETCH(quint32, status);
    QFETCH(int, problem);
    QFETCH(QString, advice);
    const UsbFailure failure{label, status, OpenProblem(problem)};
    // The fixed text first, as it always was; the player's line below it, and for the status line.
    const QString fixed = D2XXUnit::statusMessage(label, status);
    QCOMPARE(usbFailureText(failure), advice.isEmpty() ? fixed : fixed + "\n" + advice);
    QCOMPARE(usbFailureAdvice(failure), advice);
    QCOMPARE(foundNoPedal(failure), advice == noPedalFoundText());
}

void TestLink::scanWithNoDevice()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.driver.devices.clear();
    f.main().menuScan->trigger();
    // The fixed text, then what to do in the words used wherever no pedal is found.
    QCOMPARE(f.prompts.messages, QStringList{"No device found\n" + noPedalFoundText()});
    QCOMPARE(f.main().lblStatus->text(), noPedalFoundText());
    QCOMPARE(f.main().lblDeviceName->text(), QStringLiteral("No device found"));
    QCOMPARE(f.main().lblSerialNumber->text(), QStringLiteral("Serial Number: "));
    QCOMPARE(f.app->session().link.ListedSerialNumber, QStringLiteral("FT1")); // keeps the last one listed
    QCOMPARE(f.consoleLines(), QStringList{"FT device count: 0"});
}

void TestLink::identityWithoutAnEeprom_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");
    QTest::newRow("kernel-serial-driver-reaches-no-eeprom")
        << int(FT_EEPROM_NOT_PRESENT)
        << "EEPROM not readable through this driver (the kernel serial driver reaches no EEPROM): no identity dump";
    QTest::newRow("read-fails") << int(FT_EEPROM_READ_FAILED) << "EEPROM word 0 not read (status 11): no identity dump";
}

void TestLink::identityWithoutAnEeprom()
{
    QFETCH(int, status);
    QFETCH(QString, line);
    EditorFixture f;
    f.driver.devices.append({"ZT000001", "ZANTH Tovel", eeprom("ZANTH$", "Tovel pedal", "ZT000001")});
    f.driver.failing.insert(ScriptedFtDriver::Call::Eeprom, FtStatus(status));
    f.start();
    f.main().menuConnect->trigger();
    QVERIFY(f.prompts.messages.isEmpty());
    // The link is open as with an EEPROM; one line says why no identity follows.
    QCOMPARE(f.consoleLines(), (QStringList{"serial number: ZT000001", "FT_HANDLE: 0x00A1B2C3", "baud rate = 115200", line}));
    QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Eeprom), 1);
    QVERIFY(f.main().btnUpload->isEnabled());
}

void TestLink::scanWithTwoDevices()
{
    EditorFixture f;
    f.start();
    f.driver.devices = {{"FT1", "Tovel A", {}}, {"FT2", "Tovel B", {}}};
    // One device at a time: its line, then its box, then the next one.
    QList<qsizetype> linesAtBox;
    f.prompts.onMessage = [&](const QString &) { linesAtBox.append(f.consoleLines().size()); };
    f.main().menuScan->trigger();
    QCOMPARE(f.prompts.messages, (QStringList{"Tovel A found, click Connect", "Tovel B found, click Connect"}));
    QCOMPARE(linesAtBox, (QList<qsizetype>{2, 3}));
    QCOMPARE(f.main().lblSerialNumber->text(), QStringLiteral("Serial Number: FT1FT2"));
    QCOMPARE(f.main().lblDeviceName->text(), QStringLiteral("Tovel B"));
    QCOMPARE(f.consoleLines(), (QStringList{"FT device count: 2", "FT_Device_String: FT1", "FT_Device_String: FT2"}));
    f.main().menuConnect->trigger();
    QCOMPARE(f.driver.openedSerial, QByteArray("FT2"));
}

void TestLink::connectDisconnectConnect()
{
    EditorFixture f;
    f.driver.devices.append({"ZT000001", "ZANTH Tovel", eeprom("ZANTH$", "Tovel pedal", "ZT000001")});
    f.start();
    TformMain &m = f.main();
    m.menuConnect->trigger();
    QVERIFY(f.prompts.messages.isEmpty());
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("ZANTH Tovel connected"));
    QCOMPARE(f.driver.baudRate, 115200u);
    QCOMPARE(f.driver.wordLength, quint8(8));
    QCOMPARE(f.driver.stopBits, quint8(0));
    QCOMPARE(f.driver.parity, quint8(0));
    QVERIFY(f.driver.writes.isEmpty()); // nothing is sent to the pedal

    const QStringList first = f.consoleLines();
    QCOMPARE(first.mid(0, 3), (QStringList{"serial number: ZT000001", "FT_HANDLE: 0x00A1B2C3", "baud rate = 115200"}));
    QCOMPARE(f.consoleLines().size(), 3 + 128 + 4);
    QCOMPARE(first[3], QStringLiteral("0: @\u0000"));
    QCOMPARE(first[3 + 81], QStringLiteral("81: ZA"));
    QString name = QStringLiteral("Tovel pedal");
    name += QString(2 * (103 - 84 + 1) - name.size(), QChar(0));
    QCOMPARE(identityLines(first.mid(3 + 128)),
             (QStringList{"Manufacturer Name: ZANTH", "Start address in EEPROM of description: 84",
                          "Device Name: " + name,
                          "Device Serial Number: ZT000001" + QString(8, QChar(0))}));
    QVERIFY(m.btnUpload->isEnabled() && m.btnOpenEffect->isEnabled() && m.menuDisconnect->isEnabled());
    QVERIFY(!m.menuScan->isEnabled() && !m.menuConnect->isEnabled() && !m.chkFirmwareUpgradeMode->isEnabled());
    QVERIFY(!m.menuStartFirmwareUpgrade->isEnabled());

    m.btnRequest->setEnabled(true);
    m.menuDisconnect->trigger();
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("ZANTH Tovel "));
    QVERIFY(m.menuScan->isEnabled() && m.menuConnect->isEnabled() && !m.menuDisconnect->isEnabled());
    for (QPushButton *b : {m.btnUpload, m.btnOpenEffect, m.btnRequest, m.btnAssign, m.btnStoreSettingsOnPedal})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));

    f.console().btnClearClick();
    m.menuConnect->trigger();
    QCOMPARE(f.consoleLines(), first); // the identity is read afresh, not doubled
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("ZANTH Tovel  connected"));
}

void TestLink::failedOpenStaysNotConnected()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.driver.failing[ScriptedFtDriver::Call::Open] = FT_DEVICE_NOT_OPENED;
    f.main().menuConnect->trigger();
    // The fixed text, then what to do; the status area says the same.
    const QString advice = usbFailureAdvice(UsbFailure{"Open_USB_Device_By_Serial_Number", FT_DEVICE_NOT_OPENED});
    QVERIFY(!advice.isEmpty());
    QCOMPARE(f.prompts.messages, QStringList{"Open_USB_Device_By_Serial_Number - Device not opened...\n" + advice});
    QCOMPARE(f.main().lblActionStatus->text(), advice);
    QCOMPARE(f.consoleLines(), QStringList{"serial number: FT1"});
    QVERIFY(f.main().menuConnect->isEnabled() && f.main().menuScan->isEnabled());
    QVERIFY(!f.main().menuDisconnect->isEnabled() && !f.main().btnUpload->isEnabled()
            && !f.main().btnOpenEffect->isEnabled());
    QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Baud), 0);
    QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Data), 0);
    QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Eeprom), 0);
    QCOMPARE(f.main().lblDeviceName->text(), QStringLiteral("Tovel"));
}

void TestLink::connectWithNoPedalSaysWhatToDo()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.driver.failing[ScriptedFtDriver::Call::Open] = FT_DEVICE_NOT_FOUND;
    f.main().menuConnect->trigger();
    QCOMPARE(f.prompts.messages,
             QStringList{"Open_USB_Device_By_Serial_Number - Device not found...\n" + noPedalFoundText()});
    QCOMPARE(f.main().lblStatus->text(), noPedalFoundText());
}

void TestLink::eepromWithoutDollarGivesDumpOnly()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", eeprom("NO DOLLAR SIGN", "x", "FT1")});
    f.start();
    f.main().menuConnect->trigger();
    QCOMPARE(f.consoleLines().size(), 3 + 128);
    QCOMPARE(f.consoleLines().last(), QString("127: ") + QChar(0) + QChar(0));
}

void TestLink::connectToTheVirtualPedal()
{
    EditorFixture f;
    f.startOnVirtualPedal();
    QCOMPARE(f.main().lblDeviceName->text(), QStringLiteral("ZANTH Tovel"));
    f.main().menuConnect->trigger();
    QVERIFY(f.prompts.messages.isEmpty());
    const QStringList identity = identityLines(f.consoleLines().mid(3 + 128));
    QCOMPARE(identity.value(0), QStringLiteral("Manufacturer Name: ZANTH"));
    QCOMPARE(identity.value(1), QStringLiteral("Start address in EEPROM of description: 84"));
    QVERIFY(identity.value(2).startsWith("Device Name: Tovel"));
    QVERIFY(identity.value(3).startsWith("Device Serial Number: ZT000001"));
}

void TestLink::bootloaderGreeting_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("upgradeEnabled");
    QTest::addColumn<QString>("resync"); // the console's last word on bringing it in step; empty: none tried
    QTest::addColumn<int>("withinMs");   // the link is held no longer than this
    QTest::newRow("ack") << QByteArray("\x79") << "79" << "Connection to bootloader succeeded" << true << "" << 1100;
    QTest::newRow("ack-then-nack-first-counts")
        << QByteArray("\x79\x1F") << "79" << "Connection to bootloader succeeded" << true << "" << 1100;
    // A line that refuses the sync byte and nothing else is no bootloader in its command loop.
    QTest::newRow("nack-to-the-sync-byte-alone")
        << QByteArray("\x1F") << "1F" << "Connection to bootloader failed" << false
        << "bootloader not in step (received: 1F)" << 1300;
    // The greeting's 5 s, the resync's 300 ms of quiet, then its wait for the sync byte and
    // for the byte after it.
    QTest::newRow("bootloader-silent")
        << QByteArray() << "" << "Connection to bootloader failed" << false
        << "bootloader not in step (received: nothing)" << 15500;
}

void TestLink::bootloaderGreeting()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, received);
    QFETCH(QString, message);
    QFETCH(bool, upgradeEnabled);
    QFETCH(QString, resync);
    QFETCH(int, withinMs);
    int turns = 0; // outlives the fixture, whose waits count it
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.app->session().link.FirmwareUpgradeMode = true;
    f.driver.onWrite = [&](const QByteArray &bytes) {
        if (bytes == QByteArray("\x7F") && !answer.isEmpty())
            f.driver.queueAnswer(answer, f.clock.nowUs() + 2000);
    };
    // The user tries to disconnect while the editor waits: the greeting holds the link until
    // its answer or its time-out, five seconds, and a resync after it until that ends.
    f.pacing.onTurn = [&] {
        if (++turns == 20)
            f.main().menuDisconnect->trigger();
    };
    // The greeting's message comes before the bridge's identity is read.
    QStringList linesAtMessage;
    f.prompts.onMessage = [&](const QString &) { linesAtMessage = f.consoleLines(); };
    f.main().menuConnect->trigger();
    QVERIFY(!linesAtMessage.isEmpty());
    QVERIFY(linesAtMessage.filter(QRegularExpression("^\\d+: ")).isEmpty());
    QVERIFY(!f.consoleLines().filter(QRegularExpression("^\\d+: ")).isEmpty());
    QVERIFY(f.driver.isOpen());
    QVERIFY(f.clock.nowUs() < qint64(withinMs) * 1000);
    QCOMPARE(f.driver.writes.value(0), QByteArray("\x7F"));
    QVERIFY(f.consoleLines().contains("received Byte: " + received));
    QCOMPARE(f.prompts.messages.last(), message);
    QCOMPARE(f.main().menuStartFirmwareUpgrade->isEnabled(), upgradeEnabled);
    QCOMPARE(f.consoleLines().contains(QStringLiteral("Start Resync")), !resync.isEmpty());
    if (!resync.isEmpty())
        QVERIFY2(f.consoleLines().contains(resync), qPrintable(f.consoleLines().join('\n')));
}

QTEST_MAIN(TestLink)
#include "tst_link.moc"
