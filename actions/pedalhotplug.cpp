#include "actions/pedalhotplug.h"

#include "actions/linkactions.h"
#include "core/rememberedswitch.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "session/editorsession.h"
#include "usb/hotplugmonitor.h"
#include "usb/serialpathwatch.h"

#include <QDir>
#include <QTimer>

namespace tovel {

namespace {

QString keyOf(const PluggedBridge &bridge)
{
    return bridge.usbDevicePath.isEmpty() ? QString::fromLocal8Bit(bridge.serialNumber) : bridge.usbDevicePath;
}

QString nameOf(const PluggedBridge &bridge)
{
    return bridge.serialNumber.isEmpty() ? bridge.usbDevicePath : QString::fromLocal8Bit(bridge.serialNumber);
}

} // namespace

QString connectWhenPluggedInPath(const QString &documents)
{
    return documents.isEmpty() ? QString() : QDir(documents).filePath(QStringLiteral("ZANTH/connect_when_plugged_in.txt"));
}

PedalHotplug::PedalHotplug(EditorSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    m_connectWhenPluggedIn =
        loadRememberedSwitch(connectWhenPluggedInPath(session.folders.documents()), &m_startupProblem);
    connect(&session.exchange(), &CommandExchange::busyChanged, this, [this](bool busy) {
        if (!busy)
            exchangeEnded();
    });
    connect(&session, &EditorSession::linkClosed, this, [this] {
        if (m_relistPending)
            relist();
    });
}

QString PedalHotplug::setConnectWhenPluggedIn(bool on)
{
    m_connectWhenPluggedIn = on;
    return saveRememberedSwitch(connectWhenPluggedInPath(m_session.folders.documents()), on);
}

void PedalHotplug::follow(HotplugMonitor *monitor)
{
    connect(monitor, &HotplugMonitor::bridgeArrived, this, &PedalHotplug::bridgeArrived);
    connect(monitor, &HotplugMonitor::bridgeChanged, this, &PedalHotplug::bridgeChanged);
    connect(monitor, &HotplugMonitor::bridgeLeft, this, &PedalHotplug::bridgeLeft);
}

void PedalHotplug::follow(SerialPathWatch *watch)
{
    connect(watch, &SerialPathWatch::bridgeArrived, this, &PedalHotplug::bridgeArrived);
    connect(watch, &SerialPathWatch::bridgeLeft, this, &PedalHotplug::bridgeLeft);
}

void PedalHotplug::bridgeArrived(const PluggedBridge &bridge)
{
    m_session.console().printToConsole(
        QStringLiteral("FT device plugged in: %1 %2").arg(nameOf(bridge), bridge.devnodes().join(QLatin1Char(' '))));
    const QString key = keyOf(bridge);
    m_waiting.insert(key, bridge);
    relist();
    if (bridge.ttyDevnodes.isEmpty())
        QTimer::singleShot(kTtyWait, this, [this, key] { connectIfWanted(key, true); });
    else
        connectIfWanted(key, false);
}

void PedalHotplug::bridgeChanged(const PluggedBridge &bridge)
{
    // Its tty came (or went with libftdi1 detaching the kernel's driver): the list changes.
    const QString key = keyOf(bridge);
    relist();
    if (m_waiting.contains(key)) {
        m_waiting.insert(key, bridge);
        if (!bridge.ttyDevnodes.isEmpty())
            connectIfWanted(key, false);
    }
}

void PedalHotplug::bridgeLeft(const PluggedBridge &bridge)
{
    m_session.console().printToConsole(QStringLiteral("FT device unplugged: ") + nameOf(bridge));
    m_waiting.remove(keyOf(bridge));
    // The open device on it is lost now, also for a driver that would notice only at its next
    // call; the session tells it once.
    m_session.usb.bridgeLeft(bridge);
    relist();
}

bool PedalHotplug::mayListNow() const
{
    // While a link is open the labels name it (Scan is off then too); while an exchange runs,
    // its own waits own the USB layer.
    return !m_session.linkOpen() && !m_session.exchange().busy() && !m_session.exchange().quitting();
}

void PedalHotplug::relist()
{
    if (!mayListNow()) {
        m_relistPending = true;
        return;
    }
    m_relistPending = false;
    relistBridges(m_session);
}

void PedalHotplug::exchangeEnded()
{
    // Deferred: the exchange's handler runs on after its scope; the list comes after it.
    QTimer::singleShot(0, this, [this] {
        if (m_relistPending)
            relist();
        for (const QString &key : m_waiting.keys())
            connectIfWanted(key, false);
    });
}

void PedalHotplug::connectIfWanted(const QString &key, bool anyNode)
{
    if (!m_waiting.contains(key))
        return;
    const PluggedBridge bridge = m_waiting.value(key);
    if (!m_connectWhenPluggedIn || m_session.link.FirmwareUpgradeMode) {
        m_waiting.remove(key);
        return;
    }
    if (m_session.linkOpen()) {
        m_waiting.remove(key); // the player was quicker, or another bridge is in use
        return;
    }
    if (!mayListNow())
        return; // once the exchange ends
    if (!anyNode && bridge.ttyDevnodes.isEmpty())
        return;
    m_waiting.remove(key);
    const QList<ListedBridge> bridges = relistBridges(m_session);
    m_relistPending = false;
    const QString serial = QString::fromLocal8Bit(bridge.serialNumber);
    for (const ListedBridge &listed : bridges) {
        if (serial.isEmpty() || listed.serialNumber == serial) {
            m_session.link.ListedSerialNumber = listed.serialNumber;
            m_session.link.ListedDeviceName = listed.description;
            m_session.console().printToConsole(QStringLiteral("Connect When Plugged In: ") + listed.serialNumber);
            connectPedal(m_session);
            return;
        }
    }
}

} // namespace tovel
