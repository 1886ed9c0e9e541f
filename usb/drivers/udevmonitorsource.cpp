#include "usb/drivers/udevmonitorsource.h"

#include <QSocketNotifier>
#include <libudev.h>

namespace tovel {

namespace {

QMap<QByteArray, QByteArray> propertiesOf(udev_device *device)
{
    QMap<QByteArray, QByteArray> properties;
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device))
    {
        properties.insert(QByteArray(udev_list_entry_get_name(entry)),
                          QByteArray(udev_list_entry_get_value(entry)));
    }
    return properties;
}

} // namespace

UdevMonitorSource::UdevMonitorSource() = default;

UdevMonitorSource::~UdevMonitorSource()
{
    m_notifier.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

UdevEvent UdevMonitorSource::eventFor(udev_device *device)
{
    UdevEvent event;
    event.properties = propertiesOf(device);
    // An enumerated device has no ACTION; the subsystem and path are there either way.
    if (const char *subsystem = udev_device_get_subsystem(device))
        event.properties.insert("SUBSYSTEM", subsystem);
    if (const char *devpath = udev_device_get_devpath(device))
        event.properties.insert("DEVPATH", devpath);
    // The parent belongs to the device: no unref of its own.
    if (udev_device *usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")) {
        event.parent = propertiesOf(usb);
        if (const char *devpath = udev_device_get_devpath(usb))
            event.parent.insert("DEVPATH", devpath);
    }
    return event;
}

bool UdevMonitorSource::start(Sink sink, QString &error)
{
    m_udev = udev_new();
    if (!m_udev) {
        error = QStringLiteral("libudev could not start");
        return false;
    }
    // "udev", not "kernel": udevd sends a device's event after its rules have set the node's
    // permissions, so a bridge it announces can be opened at once.
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor
        || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0
        || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        error = QStringLiteral("cannot listen to udev's device events");
        return false;
    }
    m_sink = std::move(sink);
    m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { receive(); });
    return true;
}

void UdevMonitorSource::receive()
{
    // The socket does not block: take every event waiting.
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const UdevEvent event = eventFor(device);
        udev_device_unref(device);
        if (m_sink)
            m_sink(event);
    }
}

QList<UdevEvent> UdevMonitorSource::presentDevices()
{
    QList<UdevEvent> present;
    if (!m_udev)
        return present;
    const auto scan = [&](const char *subsystem, const char *sysname, const char *devtype) {
        udev_enumerate *e = udev_enumerate_new(m_udev);
        if (!e)
            return;
        udev_enumerate_add_match_subsystem(e, subsystem);
        if (sysname)
            udev_enumerate_add_match_sysname(e, sysname);
        if (devtype)
            udev_enumerate_add_match_property(e, "DEVTYPE", devtype);
        udev_enumerate_scan_devices(e);
        udev_list_entry *entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            if (udev_device *device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry))) {
                present.append(eventFor(device));
                udev_device_unref(device);
            }
        }
        udev_enumerate_unref(e);
    };
    // The kernel names the ports of USB serial bridges ttyUSB<n>: no need to read every
    // virtual console and pseudo-terminal of the system.
    scan("tty", "ttyUSB*", nullptr);
    scan("usb", nullptr, "usb_device");
    return present;
}

} // namespace tovel
