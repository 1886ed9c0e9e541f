#include "tests/support/testseams.h"

#include <QDir>

namespace tovel::test {

Prompts::Answer ScriptedPrompts::askYesNo(const QString &text)
{
    questions.append(text);
    if (m_answers.isEmpty()) {
        surprises.append(text);
        return Answer::No;
    }
    return m_answers.takeFirst();
}

Prompts::Answer ScriptedPrompts::askBeforeIrreversible(const QString &text)
{
    irreversible.append(text);
    if (m_irreversibleAnswers.isEmpty()) {
        surprises.append(text);
        return Answer::No;
    }
    return m_irreversibleAnswers.takeFirst();
}

QString ScriptedPrompts::openFile(const QString &filter)
{
    filters.append(filter);
    if (m_files.isEmpty()) {
        surprises.append(QStringLiteral("file dialog: ") + filter);
        return QString();
    }
    return m_files.takeFirst();
}

QString ScriptedPrompts::openFileIn(const QString &filter, const QString &folder)
{
    dialogPaths.append(folder);
    return openFile(filter);
}

QString ScriptedPrompts::saveFile(const QString &filter, const QString &proposedPath)
{
    dialogPaths.append(proposedPath);
    filters.append(filter);
    if (m_files.isEmpty()) {
        surprises.append(QStringLiteral("save dialog: ") + filter);
        return QString();
    }
    return m_files.takeFirst();
}

TempFolders::TempFolders()
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("Documents"));
    root.mkpath(QStringLiteral("bin"));
    m_documents = root.filePath(QStringLiteral("Documents"));
    m_program = root.filePath(QStringLiteral("bin"));
    // Made by whoever writes there first, as the desktop's is.
    m_state = root.filePath(QStringLiteral("state"));
}

} // namespace tovel::test
