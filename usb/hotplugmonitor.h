#pragma once

#include "usb/pluggedbridge.h"
#include "usb/udeveventsource.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <memory>

namespace tovel {

// Tells when an FTDI bridge (vendor 0x0403, the pedal's kind) arrives on the bus or leaves it.
// A bridge shows up as two nodes, its USB device and the tty of the kernel's serial driver, in
// whichever order udev finishes them; it counts as present while either node is. So a plug
// gives one bridgeArrived and a pull one bridgeLeft, whatever the order of the events, and
// libftdi1 detaching the kernel driver (the tty goes, the USB device stays) is no pull.
//
// A node is known by its sysfs path from its first event on: a removal needs none of the
// vendor's properties, which udev may no longer have by then.
class HotplugMonitor : public QObject {
    Q_OBJECT

public:
    explicit HotplugMonitor(std::unique_ptr<UdevEventSource> source, QObject *parent = nullptr);
    ~HotplugMonitor() override;

    // Starts listening and takes the bridges present now, without announcing them. False, with
    // error set, when the source cannot listen (no udev, as in some containers): then nothing
    // is ever reported, and Connection > Scan still finds bridges.
    bool start(QString &error);
    // The bridges present now, in the order they came.
    QList<PluggedBridge> bridges() const;

signals:
    // The bridge's first node appeared: the USB device, or its tty when udev finished that first.
    void bridgeArrived(const tovel::PluggedBridge &bridge);
    // The nodes of a bridge that stays changed: its tty appeared after its USB device, or went
    // and came back as libftdi1 detached and re-attached the kernel's serial driver. Listing
    // the bridges again now finds it through the tty.
    void bridgeChanged(const tovel::PluggedBridge &bridge);
    // The bridge's last node went: it is off the bus. The report holds every node it had.
    void bridgeLeft(const tovel::PluggedBridge &bridge);

private:
    struct Bridge {
        PluggedBridge now;
        QSet<QByteArray> nodes;  // sysfs paths of the nodes present
        QStringList hadTtys;     // every tty node it had while present
        QString hadUsbDevnode;
    };
    struct Node {
        QString bridge; // the bridge's USB device path
        QString devnode;
        bool tty = false;
    };

    void take(const UdevEvent &event, bool announce);
    void addNode(const UdevEvent &event, bool announce);
    void removeNode(const QByteArray &devpath);

    std::unique_ptr<UdevEventSource> m_source;
    QHash<QByteArray, Node> m_nodes;
    QHash<QString, Bridge> m_bridges;
    QStringList m_order; // bridge keys, oldest first
};

} // namespace tovel
