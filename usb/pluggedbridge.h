#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace tovel {

// An FTDI bridge on the bus as the hot-plug monitor knows it: one USB device and the tty nodes
// the kernel's serial driver gives its ports.
struct PluggedBridge {
    QByteArray serialNumber; // ID_SERIAL_SHORT, as the USB device reports it; may be empty
    QByteArray vendorId;     // "0403"
    QByteArray modelId;      // "6001" for an FT232R
    // The USB device's sysfs path (/devices/pci0000:00/0000:00:14.0/usb1/1-2): what ties the
    // bridge's nodes together, and what a re-plug into the same port gets again.
    QString usbDevicePath;
    QString usbDevnode;      // /dev/bus/usb/001/007; empty until udev has told of it
    // /dev/ttyUSB0 while the kernel serial driver serves the bridge (none while libftdi1 has
    // detached it). In a report of the bridge leaving: every tty node it had meanwhile.
    QStringList ttyDevnodes;

    QStringList devnodes() const
    {
        QStringList nodes = ttyDevnodes;
        if (!usbDevnode.isEmpty())
            nodes.append(usbDevnode);
        return nodes;
    }
};

} // namespace tovel

Q_DECLARE_METATYPE(tovel::PluggedBridge)
