#pragma once

#include "usb/pluggedbridge.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace tovel {

// A serial path the user named (--device /dev/serial/by-id/...) watched as the hot-plug
// monitor watches the bus: udev's by-id link goes when its bridge is pulled out and comes back
// when it is plugged in again. The bridge it reports has the path as its serial number and
// its tty, as the kernel serial driver lists a path. A missing folder on the way (udev
// removes /dev/serial with its last device) is waited for, and a link made anew while the
// news of its removal was still on its way counts as a pull and a plug.
class SerialPathWatch : public QObject {
    Q_OBJECT

public:
    explicit SerialPathWatch(const QString &path, QObject *parent = nullptr);

    bool present() const { return m_present; }
    PluggedBridge bridge() const;

signals:
    void bridgeArrived(const tovel::PluggedBridge &bridge);
    void bridgeLeft(const tovel::PluggedBridge &bridge);

private:
    void look();
    void watchFolders();

    QString m_path;
    QFileSystemWatcher m_watcher;
    bool m_present = false;
    QByteArray m_identity; // of the link and its node while present
};

} // namespace tovel
