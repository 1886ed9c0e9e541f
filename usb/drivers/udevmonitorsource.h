#pragma once

#include "usb/udeveventsource.h"

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_device;
struct udev_monitor;

namespace tovel {

// udev's own monitor socket: the events udevd sends once its rules have run (so a node's
// permissions and ID_* properties are in place), for ttys and USB devices, read on the event
// loop through a socket notifier.
class UdevMonitorSource : public UdevEventSource {
public:
    UdevMonitorSource();
    ~UdevMonitorSource() override;
    UdevMonitorSource(const UdevMonitorSource &) = delete;
    UdevMonitorSource &operator=(const UdevMonitorSource &) = delete;

    bool start(Sink sink, QString &error) override;
    // The ttyUSB nodes and USB devices present now.
    QList<UdevEvent> presentDevices() override;

    // A device's properties and those of the USB device above it.
    static UdevEvent eventFor(udev_device *device);

private:
    void receive();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    Sink m_sink;
};

} // namespace tovel
