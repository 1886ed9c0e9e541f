#include "usb/serialpathwatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace tovel {

namespace {

// The link and the node it leads to, as files: both are made anew when a bridge comes back, so
// a quick pull and plug whose news came together still shows.
QByteArray identityOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat link {}, node {};
    if (::lstat(name.constData(), &link) != 0 || ::stat(name.constData(), &node) != 0)
        return {};
    // A freed inode number may be given to the next file made: the change times tell them apart.
    const auto changed = [](const struct stat &st) {
        return QByteArray::number(qlonglong(st.st_ctim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_ctim.tv_nsec));
    };
    return QByteArray::number(qulonglong(link.st_ino)) + ':' + changed(link) + ':'
           + QByteArray::number(qulonglong(node.st_rdev)) + ':' + changed(node);
}

} // namespace

SerialPathWatch::SerialPathWatch(const QString &path, QObject *parent)
    : QObject(parent), m_path(QFileInfo(path).absoluteFilePath())
{
    m_identity = identityOf(m_path);
    m_present = !m_identity.isEmpty();
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
    // The path's folder, or while that is missing the nearest folder above it that exists: a
    // folder that comes back is seen in its parent.
    QString folder = QFileInfo(m_path).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).absolutePath();
    const QStringList watched = m_watcher.directories();
    if (watched == QStringList{folder})
        return;
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
    m_watcher.addPath(folder);
}

void SerialPathWatch::look()
{
    watchFolders();
    // A dangling link (its terminal gone) counts as gone.
    const QByteArray identity = identityOf(m_path);
    const bool present = !identity.isEmpty();
    const bool replaced = present && m_present && identity != m_identity;
    m_identity = identity;
    if (present == m_present && !replaced)
        return;
    if (m_present)
        emit bridgeLeft(bridge());
    m_present = present;
    if (present)
        emit bridgeArrived(bridge());
}

} // namespace tovel
