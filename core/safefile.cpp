#include "core/safefile.h"

#include "core/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovel {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("%1 cannot be written: %2").arg(shown(path), why);
}

// Where a link leads in the end, as the system resolves it; empty when it leads nowhere.
QString linkTarget(const QByteArray &native)
{
    char resolved[PATH_MAX];
    return ::realpath(native.constData(), resolved) ? QFile::decodeName(resolved) : QString();
}

} // namespace

QString unwritableReason(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no file name was given");
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            return cannotWrite(path, qt_error_string(errno));
        // A new name: its folder must be there already.
        const QString folder = QFileInfo(path).absolutePath();
        struct stat dir {};
        if (::stat(QFile::encodeName(folder).constData(), &dir) != 0)
            return QStringLiteral("%1 cannot be written: the folder %2 does not exist").arg(shown(path), shown(folder));
        if (!S_ISDIR(dir.st_mode))
            return QStringLiteral("%1 cannot be written: %2 is %3, not a folder")
                .arg(shown(path), shown(folder), fileKindText(dir.st_mode));
        return QString();
    }
    if (S_ISREG(st.st_mode))
        return QString();
    if (!S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is %2, not a regular file").arg(shown(path), fileKindText(st.st_mode));
    // A link is written through to a regular file only: replacing its target would remove
    // whatever it leads to, a device node as well.
    if (::stat(native.constData(), &st) != 0)
        return QStringLiteral("%1 is a link that leads to nothing").arg(shown(path));
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 leads to %2, %3, not a regular file")
            .arg(shown(path), shown(linkTarget(native)), fileKindText(st.st_mode));
    return QString();
}

SafeFileWriter::SafeFileWriter(const QString &path) : m_path(path), m_file(path) {}

QString SafeFileWriter::failed(const QString &why)
{
    m_file.cancelWriting();
    return cannotWrite(m_path, why);
}

QString SafeFileWriter::open()
{
    if (const QString why = unwritableReason(m_path); !why.isEmpty())
        return why;
    // Unbuffered, so that a disk that takes only part of a write is seen at that write: a
    // buffered QSaveFile flushes at commit, which would take a short write for success.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(m_path, m_file.errorString());
    return QString();
}

QString SafeFileWriter::write(const QByteArray &bytes)
{
    // A disk that fills takes part of a write; the next one says why.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = m_file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written == bytes.size())
        return QString();
    return failed(m_file.error() != QFileDevice::NoError
                      ? m_file.errorString()
                      : QStringLiteral("only %1 of %2 bytes could be written").arg(written).arg(bytes.size()));
}

QString SafeFileWriter::commit()
{
    // Looked at once more: the name may have been replaced by a pipe or a link meanwhile.
    if (const QString why = unwritableReason(m_path); !why.isEmpty()) {
        m_file.cancelWriting();
        return why;
    }
    if (!m_file.commit())
        return cannotWrite(m_path, m_file.errorString());
    return QString();
}

QString writeFileSafely(const QString &path, const QByteArray &bytes)
{
    SafeFileWriter writer(path);
    if (QString why = writer.open(); !why.isEmpty())
        return why;
    if (QString why = writer.write(bytes); !why.isEmpty())
        return why;
    return writer.commit();
}

QString openForAppend(QFile &file, bool newOnly)
{
    const QString path = file.fileName();
    if (const QString why = unwritableReason(path); !why.isEmpty())
        return why;
    // Without O_NONBLOCK, a name replaced by a pipe since the look would wait for a reader here.
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (newOnly ? O_EXCL : 0);
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return cannotWrite(path, qt_error_string(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("%1 is %2, not a regular file").arg(shown(path), fileKindText(st.st_mode));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return cannotWrite(path, file.errorString());
    }
    return QString();
}

} // namespace tovel
