#include "usb/serialpathwatch.h"

#include <QDir>
#include <QFileInfo>

namespace tovel {

SerialPathWatch::SerialPathWatch(const QString &path, QObject *parent)
    : QObject(parent), m_path(QFileInfo(path).absoluteFilePath())
{
    m_present = QFileInfo::exists(m_path);
    watchFolders();
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { look(); });
}

PluggedBridge SerialPathWatch::bridge() const
{
    PluggedBridge b;
    b.serialNumber = m_path.toLocal8Bit();
    b.ttyDevnodes = QStringList{m_path};
    return b;
}

void SerialPathWatch::watchFolders()
{
    // The path's folder and every folder above it that exists: a folder that comes back is
    // seen in its parent.
    QStringList folders;
    for (QDir dir = QFileInfo(m_path).absoluteDir();; ) {
        if (dir.exists())
            folders.append(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    const QStringList watched = m_watcher.directories();
    for (const QString &folder : folders)
        if (!watched.contains(folder))
            m_watcher.addPath(folder);
}

void SerialPathWatch::look()
{
    watchFolders();
    // A dangling link (its terminal gone) counts as gone.
    const bool present = QFileInfo::exists(m_path);
    if (present == m_present)
        return;
    m_present = present;
    if (present)
        emit bridgeArrived(bridge());
    else
        emit bridgeLeft(bridge());
}

} // namespace tovel
