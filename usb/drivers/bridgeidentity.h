#pragma once

#include <QByteArray>
#include <QString>

namespace tovel {

// How a bridge is listed: the serial number it is opened by and its description.
struct BridgeIdentity {
    QByteArray serial;
    QByteArray description;
};

// What udev tells about one FTDI tty and the USB device behind it.
struct TtyBridgeFacts {
    QByteArray serialAttribute;   // the USB device's "serial"
    QByteArray serialShort;       // ID_SERIAL_SHORT (udev database; may be missing)
    QByteArray productAttribute;  // the USB device's "product"
    QByteArray modelFromDatabase; // ID_MODEL_FROM_DATABASE
    int interfaceNumber = 0;
    int interfaceCount = 1;
    QString devnode;              // e.g. /dev/ttyUSB0
};

// Multi-port chips carry one serial number for the whole chip; each port is listed with its
// letter appended ("FT1234A", "FT1234B"; descriptions "Dual RS232 A"), as the D2XX driver
// lists them. A single-port chip gets nothing appended.
QByteArray portLetter(int interfaceNumber, int interfaceCount);

// The raw "serial" attribute comes first: it is the string descriptor libftdi1 reads, so a
// bridge both drivers reach gets the same serial number from each. A bridge without any
// serial number is listed by its device path, so that it can still be opened.
BridgeIdentity ttyBridgeIdentity(const TtyBridgeFacts &facts);

} // namespace tovel
