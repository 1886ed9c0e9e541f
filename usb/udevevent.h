#pragma once

#include <QByteArray>
#include <QMap>

namespace tovel {

// One device event as udev sends it: the event's properties (ACTION, SUBSYSTEM, DEVTYPE,
// DEVPATH, DEVNAME, ID_VENDOR_ID, ID_MODEL_ID, ID_SERIAL_SHORT, PRODUCT, ...) and those of the
// USB device the node hangs off, through libudev's parent link. A USB device has no such
// parent; nor has a node whose parent sysfs no longer shows (removed first).
struct UdevEvent {
    QMap<QByteArray, QByteArray> properties;
    QMap<QByteArray, QByteArray> parent;

    QByteArray value(const QByteArray &key) const { return properties.value(key); }
};

} // namespace tovel
