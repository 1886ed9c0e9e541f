#include "core/rememberedswitch.h"

#include "core/regularfile.h"
#include "core/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tovel {

namespace {
// "1" with a line end or blanks an editor may add; anything longer is not one of these files.
constexpr qint64 kMaxSwitchBytes = 8;
} // namespace

bool loadRememberedSwitch(const QString &path, QString *problem)
{
    if (!QFileInfo::exists(path))
        return false;
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty()) {
        if (problem)
            *problem = why;
        return false;
    }
    return file.read(kMaxSwitchBytes).trimmed() == "1";
}

QString saveRememberedSwitch(const QString &path, bool on)
{
    if (path.isEmpty())
        return QStringLiteral("there is no Documents folder to keep it in");
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder of %1").arg(path);
    return writeFileSafely(path, on ? "1" : "0");
}

} // namespace tovel
