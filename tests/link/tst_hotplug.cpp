// The editor following FTDI bridges as udev reports them (recorded event sequences, in the
// orders udevd may finish them): the labels as Scan leaves them, one console line for each plug
// and pull, a pull of the open bridge as its loss, and Connect When Plugged In.
#include "core/rememberedswitch.h"
#include "tests/support/editorfixture.h"

#include <QLabel>
#include <QPushButton>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kDisconnected = QStringLiteral("The pedal was disconnected.");
const QString kNoPedal = QStringLiteral("No pedal found: plug it in, then Connection > Scan.");
const QByteArray kDescription = "FT232R USB UART";

// Which driver serves the bridge. The kernel's serial driver lists a bridge through its tty and
// notices the tty's hang-up itself; libftdi1 lists every bridge on the bus and loses the open
// one when the monitor says its USB device left.
enum class Driver { KernelSerial, Libftdi };

struct HotplugFixture : EditorFixture {
    Driver kind;
    QHash<QString, UdevEvent> events = loadEvents(QStringLiteral(TOVEL_TEST_DATA "/hotplug/udev-events.txt"));

    HotplugFixture(Driver driverKind, bool connectWhenPluggedIn) : kind(driverKind)
    {
        if (connectWhenPluggedIn)
            QCOMPARE(saveRememberedSwitch(connectWhenPluggedInPath(folders.documents()), true), QString());
        start();
        followRecordedUdev([this] { busChanged(); });
    }

    // What the driver lists follows the bus.
    void busChanged()
    {
        QList<ScriptedFtDriver::Device> listed;
        for (const PluggedBridge &b : monitor->bridges()) {
            if (kind == Driver::Libftdi && !b.usbDevnode.isEmpty())
                driver.goneWithNode = b.usbDevnode;
            if (kind == Driver::KernelSerial && b.ttyDevnodes.isEmpty())
                continue;
            listed.append({b.serialNumber, kDescription, {}});
        }
        const bool stillListed = std::any_of(listed.cbegin(), listed.cend(), [this](const auto &d) {
            return d.serial == driver.openedSerial;
        });
        driver.devices = listed;
        if (kind == Driver::KernelSerial && driver.isOpen() && !stillListed)
            driver.tellGone(ScriptedFtDriver::kHandle); // its tty hung up
    }

    void play(const QString &name)
    {
        QVERIFY2(events.contains(name), qPrintable(name));
        udev->play(events.value(name));
    }

    // The labels, the status label and the link.
    QString state()
    {
        return QStringList{main().lblDeviceName->text(), main().lblSerialNumber->text(), main().lblStatus->text(),
                           app->session().linkOpen() ? QStringLiteral("open") : QStringLiteral("closed")}
            .join(QStringLiteral(" | "));
    }
};

const QString kNone = QStringLiteral("No device found | Serial Number:  | %1 | closed").arg(kNoPedal);
const QString kListed = QStringLiteral("FT232R USB UART | Serial Number: A50285BI | Status:  | closed");
const QString kOpen = QStringLiteral("FT232R USB UART connected | Serial Number: A50285BI | Status:  | open");

// Plugged in with the USB device first, pulled with the tty first; then plugged in with the tty
// first and pulled with the USB device first.
const QStringList kTwiceInBothOrders{"ft232r-usb-add",       "ft232r-tty-add",        "ft232r-tty-remove",
                                     "ft232r-usb-remove",    "ft232r-tty-add-again",  "ft232r-usb-add-again",
                                     "ft232r-usb-remove-again", "ft232r-tty-remove-again"};

} // namespace

class TestHotplug : public QObject {
    Q_OBJECT

private slots:
    void pluggedAndPulled_data();
    void pluggedAndPulled();
    void pluggedWithoutTtyConnectsAfterAWait();
    void noConnectWhileAnotherLinkIsOpenOrInUpgradeMode();
    void choiceIsRemembered();
};

void TestHotplug::pluggedAndPulled_data()
{
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<bool>("connectWhenPluggedIn");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("states");  // after each event
    QTest::addColumn<int>("losses");

    QTest::newRow("kernel-serial-labels-follow-the-bus")
        << Driver::KernelSerial << false << kTwiceInBothOrders
        << QStringList{kNone, kListed, kNone, kNone, kListed, kListed, kListed, kNone} << 0;
    QTest::newRow("kernel-serial-connects-on-its-tty-and-loses-it-with-the-tty")
        << Driver::KernelSerial << true << kTwiceInBothOrders
        << QStringList{kNone, kOpen, kNone, kNone, kOpen, kOpen, kOpen, kNone} << 2;
    // libftdi1 opening the bridge detaches the kernel's driver: its tty going is no loss.
    QTest::newRow("libftdi-connects-on-the-tty-and-loses-it-with-the-usb-device")
        << Driver::Libftdi << true << kTwiceInBothOrders
        << QStringList{kListed, kOpen, kOpen, kNone, kOpen, kOpen, kOpen, kNone} << 2;
}

void TestHotplug::pluggedAndPulled()
{
    QFETCH(Driver, driver);
    QFETCH(bool, connectWhenPluggedIn);
    QFETCH(QStringList, events);
    QFETCH(QStringList, states);
    QFETCH(int, losses);

    HotplugFixture f(driver, connectWhenPluggedIn);
    QCOMPARE(f.state(), QStringLiteral("Device Name:  | Serial Number:  | %1 | closed").arg(kNoPedal));
    QStringList seen;
    for (const QString &event : events) {
        f.play(event);
        seen.append(event + QStringLiteral(": ") + f.state());
    }
    QStringList expected;
    for (int i = 0; i < events.size(); ++i)
        expected.append(events[i] + QStringLiteral(": ") + states.value(i));
    QCOMPARE(seen, expected);

    // One message for one loss, and the window as after Disconnect.
    QCOMPARE(f.prompts.messages, QStringList(losses, kDisconnected));
    QVERIFY(f.main().menuConnect->isEnabled() && !f.main().menuDisconnect->isEnabled());
    QVERIFY(!f.main().btnOpenEffect->isEnabled());
    QCOMPARE(f.consoleLines().filter(QStringLiteral("FT device ")),
             (QStringList{"FT device plugged in: A50285BI /dev/bus/usb/001/007", "FT device unplugged: A50285BI",
                          "FT device plugged in: A50285BI /dev/ttyUSB0", "FT device unplugged: A50285BI"}));
    QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Open), connectWhenPluggedIn ? 2 : 0);
}

// Without a tty (no kernel serial driver for it) the bridge is connected through whichever
// driver lists it, once the tty has had time to come.
void TestHotplug::pluggedWithoutTtyConnectsAfterAWait()
{
    HotplugFixture f(Driver::Libftdi, true);
    f.play(QStringLiteral("ft232r-usb-add"));
    QCOMPARE(f.state(), kListed);
    QTRY_VERIFY_WITH_TIMEOUT(f.app->session().linkOpen(), 20000);
    QCOMPARE(f.state(), kOpen);
    QCOMPARE(f.prompts.messages, QStringList{});
}

void TestHotplug::noConnectWhileAnotherLinkIsOpenOrInUpgradeMode()
{
    {
        HotplugFixture f(Driver::KernelSerial, true);
        f.play(QStringLiteral("ft232r-usb-add"));
        f.play(QStringLiteral("ft232r-tty-add"));
        QCOMPARE(f.state(), kOpen);
        // A second bridge: the open link stays, and the labels keep naming it.
        f.play(QStringLiteral("second-usb-add"));
        f.play(QStringLiteral("second-tty-add"));
        QCOMPARE(f.state(), kOpen);
        QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Open), 1);
        QCOMPARE(f.driver.openedSerial, QByteArray("A50285BI"));
    }
    {
        // Upgrade Mode's Connect greets the bootloader: only the player starts that.
        HotplugFixture f(Driver::KernelSerial, true);
        f.click(f.main().menuFirmwareUpgradeMode);
        f.play(QStringLiteral("ft232r-tty-add"));
        QCOMPARE(f.state(), kListed);
        QCOMPARE(f.driver.calls(ScriptedFtDriver::Call::Open), 0);
        QCOMPARE(f.driver.writes, QList<QByteArray>{});
    }
}

void TestHotplug::choiceIsRemembered()
{
    HotplugFixture f(Driver::KernelSerial, false);
    QAction *item = f.main().menuConnectWhenPluggedIn;
    QVERIFY(item->isCheckable() && !item->isChecked());
    QCOMPARE(item->text().remove(QLatin1Char('&')), QStringLiteral("Connect When Plugged In"));
    f.click(item);
    QVERIFY(loadRememberedSwitch(connectWhenPluggedInPath(f.folders.documents())));
    QVERIFY(QFileInfo(connectWhenPluggedInPath(f.folders.documents())).dir() ==
            QFileInfo(f.folders.documents() + QStringLiteral("/ZANTH/style.txt")).dir());
    f.play(QStringLiteral("ft232r-tty-add"));
    QCOMPARE(f.state(), kOpen);

    // The next start shows it on.
    f.app.reset();
    f.start();
    QVERIFY(f.main().menuConnectWhenPluggedIn->isChecked());
}

QTEST_MAIN(TestHotplug)
#include "tst_hotplug.moc"
