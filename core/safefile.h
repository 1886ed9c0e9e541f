#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class QFile;

namespace tovel {

// Every file the programs write goes through here. Only two kinds of name are written: one
// that leads (also through links) to a regular file, and a new name in a folder that exists.
// Anything else (a named pipe, a device node, a folder, a link to one of these or to nothing)
// is refused unopened and named in the reason: replacing it would remove a pipe or a device
// node, and writing into it would act on the device. Reasons name the path as given.

// Empty when `path` may be written; otherwise why not.
QString unwritableReason(const QString &path);

// The whole new content of a file, in place only once it is all on disk (QSaveFile): a failed
// write leaves the previous file as it was. open(), write() and commit() return empty or why
// not; a write the disk takes only in part (a full disk) is a failure at that write.
class SafeFileWriter {
public:
    explicit SafeFileWriter(const QString &path);
    QString open();
    QString write(const QByteArray &bytes);
    QString commit();

private:
    QString failed(const QString &why);

    QString m_path;
    QSaveFile m_file;
};

// The whole content of `path` replaced by `bytes`. Empty, or why not.
QString writeFileSafely(const QString &path, const QByteArray &bytes);

// Opens `file` (by its name) for appending, creating it when new; with newOnly, only a new
// name is taken. The open never waits and never acts on a device: what it would open is
// looked at first, and what was opened is checked again. Empty, or why not.
QString openForAppend(QFile &file, bool newOnly = false);

} // namespace tovel
