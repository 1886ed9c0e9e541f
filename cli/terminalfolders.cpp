#include "cli/terminalfolders.h"

#include "core/homefolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace tovel {

QString TerminalFolders::documents() const
{
    return documentsFolder();
}

QString TerminalFolders::documentsProblem() const
{
    QString problem;
    documentsFolder(&problem);
    return problem;
}

QString TerminalFolders::programFolder() const
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QDir installed(bin + QStringLiteral("/../share/tovel-editor"));
    return installed.exists() ? installed.canonicalPath() : bin;
}

QString TerminalFolders::state() const
{
    return stateFolder();
}

} // namespace tovel
