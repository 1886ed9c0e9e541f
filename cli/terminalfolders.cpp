#include "cli/terminalfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace tovel {

QString TerminalFolders::documents() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString TerminalFolders::programFolder() const
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QDir installed(bin + QStringLiteral("/../share/tovel-editor"));
    return installed.exists() ? installed.canonicalPath() : bin;
}

QString TerminalFolders::state() const
{
    // Qt 6.4 knows no state location. A relative XDG_STATE_HOME is invalid and ignored.
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace tovel
