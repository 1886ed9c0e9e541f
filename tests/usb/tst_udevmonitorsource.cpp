// udev's monitor source on this machine's own devices: what libudev shows becomes the event
// the hot-plug monitor reads.
#include "usb/drivers/udevmonitorsource.h"
#include "usb/hotplugmonitor.h"

#include <QFileInfo>
#include <QtTest>
#include <libudev.h>

using namespace tovel;

class TestUdevMonitorSource : public QObject {
    Q_OBJECT

private slots:
    void deviceBecomesAnEvent();
};

// A virtual console: a tty with a node and nothing on USB above it, so no bridge.
void TestUdevMonitorSource::deviceBecomesAnEvent()
{
    if (!QFileInfo::exists(QStringLiteral("/sys/class/tty/tty0")))
        QSKIP("this machine shows no tty0 in sysfs");
    udev *u = udev_new();
    QVERIFY(u);
    udev_device *tty0 = udev_device_new_from_subsystem_sysname(u, "tty", "tty0");
    QVERIFY(tty0);
    const UdevEvent event = UdevMonitorSource::eventFor(tty0);
    udev_device_unref(tty0);
    udev_unref(u);
    QCOMPARE(event.value("SUBSYSTEM"), QByteArray("tty"));
    QCOMPARE(event.value("DEVPATH"), QByteArray("/devices/virtual/tty/tty0"));
    QVERIFY2(event.value("DEVNAME").endsWith("tty0"), event.value("DEVNAME").constData());
    QVERIFY(event.parent.isEmpty());

    // Offered as a device present at start, it is no bridge.
    class Present : public UdevEventSource {
    public:
        explicit Present(UdevEvent e) : m_event(std::move(e)) {}
        bool start(Sink, QString &) override { return true; }
        QList<UdevEvent> presentDevices() override { return {m_event}; }
        UdevEvent m_event;
    };
    HotplugMonitor monitor(std::make_unique<Present>(event));
    QString error;
    QVERIFY(monitor.start(error));
    QCOMPARE(monitor.bridges().size(), 0);
}

QTEST_GUILESS_MAIN(TestUdevMonitorSource)
#include "tst_udevmonitorsource.moc"
