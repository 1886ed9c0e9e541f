#include "core/regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovel {

QString fileKindText(unsigned mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

namespace {

QString notRegular(const QString &path, mode_t mode)
{
    return QStringLiteral("%1 is %2, not a regular file").arg(QFileInfo(path).fileName(), fileKindText(mode));
}

} // namespace

QString openRegularFile(QFile &file)
{
    const QString path = file.fileName();
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    // Looked at before the open: opening a device can act on it (a tape rewinds, a modem hangs up).
    if (::stat(native.constData(), &st) != 0)
        return qt_error_string(errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(path, st.st_mode);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return qt_error_string(errno);
    // What was opened is what counts: the name may lead elsewhere since the look.
    const bool looked = ::fstat(fd, &st) == 0;
    const int error = errno;
    if (!looked || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return looked ? notRegular(path, st.st_mode) : qt_error_string(error);
    }
    // Reads of a regular file never wait anyway; the flag goes so that nothing is surprised.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return QString();
}

} // namespace tovel
