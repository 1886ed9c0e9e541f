// The hot-plug monitor fed with udev's events for FTDI bridges and other devices, in the
// orders udevd may finish them (tests/data/hotplug/udev-events.txt).
#include "tests/support/recordedudev.h"
#include "usb/hotplugmonitor.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// What the monitor said, one line a signal: "arrived A50285BI /dev/ttyUSB0 /dev/bus/usb/001/007".
struct Trace {
    QStringList lines;

    void watch(HotplugMonitor &monitor)
    {
        QObject::connect(&monitor, &HotplugMonitor::bridgeArrived, [this](const PluggedBridge &b) { add("arrived", b); });
        QObject::connect(&monitor, &HotplugMonitor::bridgeChanged, [this](const PluggedBridge &b) { add("changed", b); });
        QObject::connect(&monitor, &HotplugMonitor::bridgeLeft, [this](const PluggedBridge &b) { add("left", b); });
    }
    void add(const QString &what, const PluggedBridge &b)
    {
        lines.append((QStringList{what, QString::fromLatin1(b.serialNumber)} + b.devnodes()).join(QLatin1Char(' ')));
    }
};

const QString kUsb7 = QStringLiteral("/dev/bus/usb/001/007");
const QString kUsb8 = QStringLiteral("/dev/bus/usb/001/008");

QString line(const QString &what, const QString &serial, const QStringList &nodes)
{
    return (QStringList{what, serial} + nodes).join(QLatin1Char(' '));
}

} // namespace

class TestHotplugMonitor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void recordedSequences_data();
    void recordedSequences();
    void bridgesPresentAtStartAreKnownNotAnnounced();
    void identityOfTheBridge();

private:
    QHash<QString, UdevEvent> m_events;
};

void TestHotplugMonitor::initTestCase()
{
    m_events = loadEvents(QStringLiteral(TOVEL_TEST_DATA "/hotplug/udev-events.txt"));
    QVERIFY2(m_events.size() >= 30, "the recorded events did not load");
}

void TestHotplugMonitor::recordedSequences_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("expected");

    const QString a = QStringLiteral("A50285BI");
    const QString tty0 = QStringLiteral("/dev/ttyUSB0");
    const QStringList plugged{line("arrived", a, {kUsb7}), line("changed", a, {tty0, kUsb7})};

    QTest::newRow("plugged-and-pulled-in-the-kernel's-order")
        << QStringList{"ft232r-usb-add", "ft232r-interface-add", "ft232r-usb-serial-add", "ft232r-tty-add",
                       "ft232r-usb-serial-bind", "ft232r-interface-bind", "ft232r-usb-bind",
                       "ft232r-tty-remove", "ft232r-usb-serial-unbind", "ft232r-usb-serial-remove",
                       "ft232r-interface-unbind", "ft232r-interface-remove", "ft232r-usb-unbind", "ft232r-usb-remove"}
        << plugged + QStringList{line("changed", a, {kUsb7}), line("left", a, {tty0, kUsb7})};
    QTest::newRow("tty-finished-first-and-the-usb-device-removed-first")
        << QStringList{"ft232r-tty-add", "ft232r-usb-add", "ft232r-usb-remove", "ft232r-tty-remove"}
        << QStringList{line("arrived", a, {tty0}), line("changed", a, {tty0, kUsb7}), line("changed", a, {tty0}),
                       line("left", a, {tty0, kUsb7})};
    QTest::newRow("plugged-twice-in-both-orders")
        << QStringList{"ft232r-usb-add", "ft232r-tty-add", "ft232r-tty-remove", "ft232r-usb-remove",
                       "ft232r-tty-add-again", "ft232r-usb-add-again", "ft232r-usb-remove-again", "ft232r-tty-remove-again"}
        << QStringList{line("arrived", a, {kUsb7}), line("changed", a, {tty0, kUsb7}), line("changed", a, {kUsb7}),
                       line("left", a, {tty0, kUsb7}),
                       line("arrived", a, {tty0}), line("changed", a, {tty0, kUsb8}), line("changed", a, {tty0}),
                       line("left", a, {tty0, kUsb8})};
    QTest::newRow("devices-that-are-no-ftdi-bridge")
        << QStringList{"keyboard-usb-add", "keyboard-interface-add", "cp2102-usb-add", "cp2102-tty-add",
                       "serial8250-tty-change", "root-hub-change", "ft232r-interface-add", "ft232r-usb-serial-add",
                       "cp2102-tty-remove", "cp2102-usb-remove", "keyboard-usb-remove", "ft232r-interface-remove"}
        << QStringList{};
    QTest::newRow("plugged-and-pulled-among-other-devices")
        << QStringList{"keyboard-usb-add", "ft232r-usb-add", "cp2102-usb-add", "cp2102-tty-add", "ft232r-tty-add",
                       "serial8250-tty-change", "keyboard-usb-remove", "ft232r-tty-remove", "cp2102-tty-remove",
                       "ft232r-usb-remove", "cp2102-usb-remove"}
        << plugged + QStringList{line("changed", a, {kUsb7}), line("left", a, {tty0, kUsb7})};
    // libftdi1 opening the bridge detaches the kernel's serial driver, and closing it gives the
    // port back: the tty goes and comes, the bridge stays.
    QTest::newRow("kernel-driver-detached-and-attached-again")
        << QStringList{"ft232r-usb-add", "ft232r-tty-add", "ft232r-tty-remove", "ft232r-tty-add"}
        << plugged + QStringList{line("changed", a, {kUsb7}), line("changed", a, {tty0, kUsb7})};
    QTest::newRow("repeated-bind-and-change-events-add-nothing")
        << QStringList{"ft232r-usb-add", "ft232r-usb-bind", "ft232r-tty-add", "ft232r-usb-add", "ft232r-tty-change",
                       "ft232r-usb-serial-bind"}
        << plugged;
    QTest::newRow("removals-without-udev's-properties")
        << QStringList{"ft232r-usb-add", "ft232r-tty-add", "ft232r-tty-remove-bare", "ft232r-usb-remove-bare"}
        << plugged + QStringList{line("changed", a, {kUsb7}), line("left", a, {tty0, kUsb7})};
    QTest::newRow("tty-without-parent-link-joins-its-usb-device-by-path")
        << QStringList{"ft232r-usb-add", "ft232r-tty-add-unlinked", "ft232r-usb-remove", "ft232r-tty-remove"}
        << QStringList{line("arrived", a, {kUsb7}), line("changed", a, {tty0, kUsb7}), line("changed", a, {tty0}),
                       line("left", a, {tty0, kUsb7})};
    QTest::newRow("two-bridges-one-pulled")
        << QStringList{"ft232r-usb-add", "ft232r-tty-add", "second-usb-add", "second-tty-add", "ft232r-tty-remove",
                       "ft232r-usb-remove"}
        << plugged
               + QStringList{line("arrived", "AB0LMNOP", {"/dev/bus/usb/001/009"}),
                             line("changed", "AB0LMNOP", {"/dev/ttyUSB1", "/dev/bus/usb/001/009"}),
                             line("changed", a, {kUsb7}), line("left", a, {tty0, kUsb7})};
    QTest::newRow("removal-of-a-node-never-seen")
        << QStringList{"ft232r-tty-remove", "ft232r-usb-remove"} << QStringList{};
}

void TestHotplugMonitor::recordedSequences()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, expected);
    auto source = std::make_unique<RecordedSource>(QList<UdevEvent>{});
    RecordedSource &recorded = *source;
    HotplugMonitor monitor(std::move(source));
    Trace trace;
    trace.watch(monitor);
    QString error;
    QVERIFY(monitor.start(error));
    for (const QString &name : events) {
        QVERIFY2(m_events.contains(name), qPrintable(name));
        recorded.play(m_events.value(name));
    }
    QCOMPARE(trace.lines, expected);
}

void TestHotplugMonitor::bridgesPresentAtStartAreKnownNotAnnounced()
{
    auto source = std::make_unique<RecordedSource>(QList<UdevEvent>{
        m_events.value("ft232r-usb-add"), m_events.value("ft232r-tty-add"), m_events.value("keyboard-usb-add"),
        m_events.value("second-tty-add")});
    RecordedSource &recorded = *source;
    HotplugMonitor monitor(std::move(source));
    Trace trace;
    trace.watch(monitor);
    QString error;
    QVERIFY(monitor.start(error));
    QCOMPARE(trace.lines, QStringList{});
    QCOMPARE(monitor.bridges().size(), 2);
    QCOMPARE(monitor.bridges().at(0).devnodes(), (QStringList{"/dev/ttyUSB0", kUsb7}));
    QCOMPARE(monitor.bridges().at(1).devnodes(), QStringList{"/dev/ttyUSB1"});

    recorded.play(m_events.value("ft232r-usb-add")); // the event of a plug the list had seen
    recorded.play(m_events.value("ft232r-tty-remove"));
    recorded.play(m_events.value("ft232r-usb-remove"));
    QCOMPARE(trace.lines, (QStringList{line("changed", "A50285BI", {kUsb7}),
                                       line("left", "A50285BI", {"/dev/ttyUSB0", kUsb7})}));
    QCOMPARE(monitor.bridges().size(), 1);
    QCOMPARE(monitor.bridges().first().serialNumber, QByteArray("AB0LMNOP"));
}

// What a report tells of the bridge: enough to find its tty, its USB device and its serial
// number, whichever node came first.
void TestHotplugMonitor::identityOfTheBridge()
{
    auto source = std::make_unique<RecordedSource>(QList<UdevEvent>{});
    RecordedSource &recorded = *source;
    HotplugMonitor monitor(std::move(source));
    QList<PluggedBridge> arrived;
    connect(&monitor, &HotplugMonitor::bridgeArrived, [&](const PluggedBridge &b) { arrived.append(b); });
    QString error;
    QVERIFY(monitor.start(error));
    recorded.play(m_events.value("second-tty-add")); // no parent link: all from the tty
    recorded.play(m_events.value("ft232r-usb-add"));
    QCOMPARE(arrived.size(), 2);
    const PluggedBridge &hub = arrived[0];
    QCOMPARE(hub.serialNumber, QByteArray("AB0LMNOP"));
    QCOMPARE(hub.vendorId, QByteArray("0403"));
    QCOMPARE(hub.modelId, QByteArray("6001"));
    QCOMPARE(hub.usbDevicePath, QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.3"));
    QCOMPARE(hub.ttyDevnodes, QStringList{"/dev/ttyUSB1"});
    QCOMPARE(hub.usbDevnode, QString());
    const PluggedBridge &direct = arrived[1];
    QCOMPARE(direct.serialNumber, QByteArray("A50285BI"));
    QCOMPARE(direct.usbDevicePath, QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-2"));
    QCOMPARE(direct.usbDevnode, kUsb7);
}

QTEST_GUILESS_MAIN(TestHotplugMonitor)
#include "tst_hotplugmonitor.moc"
