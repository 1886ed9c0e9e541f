#pragma once

#include "usb/pluggedbridge.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <chrono>

namespace tovel {

class EditorSession;
class HotplugMonitor;
class SerialPathWatch;

// Documents/ZANTH/connect_when_plugged_in.txt: "Connect When Plugged In", beside the look's
// style.txt; off when nothing is remembered.
QString connectWhenPluggedInPath(const QString &documents);

// What the editor does as bridges of the pedal's kind come and go: one console line for each
// plug and pull; the bridges listed again as Scan would (session.bridgesListed) while no link
// is open; a pull of the open bridge is its loss, told once through the session's deviceLost;
// and with "Connect When Plugged In" on, a bridge plugged in while no link is open and no
// exchange runs is connected in normal mode. Upgrade Mode connects only at the player's
// Connect: its greeting writes to the controller.
class PedalHotplug : public QObject {
    Q_OBJECT

public:
    // Reads the remembered choice; startupProblem() says what could not be read.
    explicit PedalHotplug(EditorSession &session, QObject *parent = nullptr);

    bool connectWhenPluggedIn() const { return m_connectWhenPluggedIn; }
    // Takes and remembers the choice; the reason when it cannot be remembered (it holds for
    // this run all the same).
    QString setConnectWhenPluggedIn(bool on);
    const QString &startupProblem() const { return m_startupProblem; }

    // Takes the news of the hot-plug monitor, or of a watched serial path.
    void follow(HotplugMonitor *monitor);
    void follow(SerialPathWatch *watch);

    // A bridge plugged in without its tty (the kernel's serial driver has not bound it, or
    // there is none) is connected this long after, through whichever driver lists it.
    static constexpr std::chrono::milliseconds kTtyWait{2000};

public slots:
    void bridgeArrived(const tovel::PluggedBridge &bridge);
    void bridgeChanged(const tovel::PluggedBridge &bridge);
    void bridgeLeft(const tovel::PluggedBridge &bridge);

private:
    // Lists the bridges for the labels, or leaves it for when the link closes or the running
    // exchange ends.
    void relist();
    void exchangeEnded();
    // Connects the plugged bridge if the choice is on and nothing else holds the link.
    // anyNode: also through a driver other than the kernel's serial one.
    void connectIfWanted(const QString &key, bool anyNode);
    bool mayListNow() const;

    EditorSession &m_session;
    bool m_connectWhenPluggedIn = false;
    QString m_startupProblem;
    bool m_relistPending = false;
    // Plugged in, not yet connected: by USB device path.
    QHash<QString, PluggedBridge> m_waiting;
};

} // namespace tovel
