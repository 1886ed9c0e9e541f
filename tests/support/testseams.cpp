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

QString ScriptedPrompts::openFile(const QString &filter)
{
    filters.append(filter);
    if (m_files.isEmpty()) {
        surprises.append(QStringLiteral("file dialog: ") + filter);
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
}

} // namespace tovel::test
