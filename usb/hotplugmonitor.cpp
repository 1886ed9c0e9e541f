#include "usb/hotplugmonitor.h"

#include <QRegularExpression>

namespace tovel {

namespace {

constexpr char kFtdiVendor[] = "0403";

// "403/6001/600", the kernel's PRODUCT of a USB device (vendor/product/release in hex without
// leading zeros), gives vendor and product as udev spells them: "0403", "6001".
QByteArray productField(const QByteArray &product, int field)
{
    const QList<QByteArray> parts = product.split('/');
    if (parts.size() < 2 || field >= parts.size())
        return {};
    bool ok = false;
    const uint value = parts[field].toUInt(&ok, 16);
    return ok ? QByteArray::number(value, 16).rightJustified(4, '0') : QByteArray();
}

// The event's own ID_* property, else what the kernel's PRODUCT says, else the same from the
// USB device above the node.
QByteArray idOf(const UdevEvent &e, const QByteArray &key, int productIndex)
{
    for (const auto *props : {&e.properties, &e.parent}) {
        QByteArray v = props->value(key).toLower();
        if (v.isEmpty())
            v = productField(props->value("PRODUCT"), productIndex);
        if (!v.isEmpty())
            return v;
    }
    return {};
}

// The USB device above a node, from the node's own sysfs path when libudev gave no parent
// link: the component before the first interface ("1-2:1.0", "3-1.4:1.1").
QString usbDeviceAbove(const QByteArray &devpath)
{
    static const QRegularExpression interfaceName(QStringLiteral("^\\d+-[\\d.]+:\\d+\\.\\d+$"));
    const QStringList parts = QString::fromLocal8Bit(devpath).split(QLatin1Char('/'));
    for (int i = 1; i < parts.size(); ++i)
        if (interfaceName.match(parts[i]).hasMatch())
            return parts.mid(0, i).join(QLatin1Char('/'));
    return {};
}

// udevd sends the full path; the kernel's own events name the node under /dev.
QString devnodeOf(const UdevEvent &e)
{
    const QString name = QString::fromLocal8Bit(e.value("DEVNAME"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return name;
    return QStringLiteral("/dev/") + name;
}

} // namespace

HotplugMonitor::HotplugMonitor(std::unique_ptr<UdevEventSource> source, QObject *parent)
    : QObject(parent), m_source(std::move(source))
{
}

HotplugMonitor::~HotplugMonitor() = default;

bool HotplugMonitor::start(QString &error)
{
    if (!m_source->start([this](const UdevEvent &event) { take(event, true); }, error))
        return false;
    for (const UdevEvent &event : m_source->presentDevices())
        addNode(event, false);
    return true;
}

QList<PluggedBridge> HotplugMonitor::bridges() const
{
    QList<PluggedBridge> present;
    for (const QString &key : m_order)
        present.append(m_bridges.value(key).now);
    return present;
}

void HotplugMonitor::take(const UdevEvent &event, bool announce)
{
    const QByteArray action = event.value("ACTION");
    if (action == "remove")
        removeNode(event.value("DEVPATH"));
    // unbind and offline leave the node in place; remove follows when it goes.
    else if (action == "add" || action == "change" || action == "bind" || action == "online")
        addNode(event, announce);
}

void HotplugMonitor::addNode(const UdevEvent &event, bool announce)
{
    const QByteArray subsystem = event.value("SUBSYSTEM");
    const QByteArray devpath = event.value("DEVPATH");
    const bool tty = subsystem == "tty";
    // USB interfaces and the usb-serial ports between them have no node of their own.
    if (!tty && !(subsystem == "usb" && event.value("DEVTYPE") == "usb_device"))
        return;
    if (devpath.isEmpty() || m_nodes.contains(devpath))
        return;
    const QString devnode = devnodeOf(event);
    if (devnode.isEmpty() || idOf(event, "ID_VENDOR_ID", 0) != kFtdiVendor)
        return;
    QString key = QString::fromLocal8Bit(devpath);
    if (tty) {
        key = QString::fromLocal8Bit(event.parent.value("DEVPATH"));
        if (key.isEmpty())
            key = usbDeviceAbove(devpath);
        if (key.isEmpty())
            return;
    }

    const bool arrived = !m_bridges.contains(key);
    Bridge &b = m_bridges[key];
    if (arrived)
        m_order.append(key);
    PluggedBridge &now = b.now;
    now.usbDevicePath = key;
    if (now.serialNumber.isEmpty())
        now.serialNumber = event.value("ID_SERIAL_SHORT");
    if (now.serialNumber.isEmpty())
        now.serialNumber = event.parent.value("ID_SERIAL_SHORT");
    if (now.vendorId.isEmpty())
        now.vendorId = idOf(event, "ID_VENDOR_ID", 0);
    if (now.modelId.isEmpty())
        now.modelId = idOf(event, "ID_MODEL_ID", 1);
    if (tty) {
        now.ttyDevnodes.append(devnode);
        if (!b.hadTtys.contains(devnode))
            b.hadTtys.append(devnode);
    } else {
        now.usbDevnode = devnode;
        b.hadUsbDevnode = devnode;
    }
    b.nodes.insert(devpath);
    m_nodes.insert(devpath, Node{key, devnode, tty});

    if (!announce)
        return;
    const PluggedBridge report = now;
    if (arrived)
        emit bridgeArrived(report);
    else
        emit bridgeChanged(report);
}

void HotplugMonitor::removeNode(const QByteArray &devpath)
{
    const auto it = m_nodes.constFind(devpath);
    if (it == m_nodes.constEnd())
        return; // not a node of a bridge
    const Node node = *it;
    m_nodes.erase(it);
    Bridge &b = m_bridges[node.bridge];
    b.nodes.remove(devpath);
    if (node.tty)
        b.now.ttyDevnodes.removeAll(node.devnode);
    else
        b.now.usbDevnode.clear();
    if (!b.nodes.isEmpty()) {
        const PluggedBridge report = b.now;
        emit bridgeChanged(report);
        return;
    }
    PluggedBridge gone = b.now;
    gone.ttyDevnodes = b.hadTtys;
    gone.usbDevnode = b.hadUsbDevnode;
    m_bridges.remove(node.bridge);
    m_order.removeAll(node.bridge);
    emit bridgeLeft(gone);
}

} // namespace tovel
