#include "core/homefolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tovel {

namespace {

QString homeProblem()
{
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        return QStringLiteral("HOME is not set, so there is no home folder to keep files in. Set HOME to your "
                              "home folder.");
    if (!QDir::isAbsolutePath(home))
        return QStringLiteral("HOME (%1) is not an absolute path. Set HOME to your home folder.").arg(home);
    if (!QFileInfo(home).isDir())
        return QStringLiteral("HOME (%1) is not an existing folder. Set HOME to your home folder.").arg(home);
    return QString();
}

} // namespace

QString documentsFolder(QString *problem)
{
    if (const QString why = homeProblem(); !why.isEmpty()) {
        if (problem)
            *problem = why;
        return QString();
    }
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString stateFolder(QString *problem)
{
    // Qt 6.4 knows no state location. A relative XDG_STATE_HOME is invalid and ignored.
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    if (const QString why = homeProblem(); !why.isEmpty()) {
        if (problem)
            *problem = why;
        return QString();
    }
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace tovel
