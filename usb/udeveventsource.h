#pragma once

#include "usb/udevevent.h"

#include <QList>
#include <QString>
#include <functional>

namespace tovel {

// Where the hot-plug monitor hears of devices: udev's monitor socket in the program, a
// recorded sequence in tests.
class UdevEventSource {
public:
    using Sink = std::function<void(const UdevEvent &)>;

    virtual ~UdevEventSource() = default;
    // Starts passing every event of the tty and usb subsystems to sink, from the event loop.
    // False, with error set, when there is no udev to listen to.
    virtual bool start(Sink sink, QString &error) = 0;
    // The devices of those subsystems present now; asked after start(), so that a device
    // plugged in meanwhile is not missed (it may then come twice).
    virtual QList<UdevEvent> presentDevices() = 0;
};

} // namespace tovel
