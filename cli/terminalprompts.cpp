#include "cli/terminalprompts.h"

#include "cli/terminaltext.h"

#include <utility>

namespace tovel {

void TerminalPrompts::showMessage(const QString &text)
{
    if (m_collecting) {
        m_collected.append(text.trimmed());
        return;
    }
    // Every line says whose it is; the blank lines between a message box's paragraphs go.
    for (const QString &line : escapedForTerminal(text.trimmed()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        std::fprintf(m_stream, "tovel: %s\n", qPrintable(line));
    std::fflush(m_stream);
}

Prompts::Answer TerminalPrompts::askYesNo(const QString &text)
{
    showMessage(text + QStringLiteral("\n(not asked on the command line: taken as No)"));
    return Answer::No;
}

QString TerminalPrompts::openFile(const QString &)
{
    return QString();
}

QString TerminalPrompts::saveFile(const QString &, const QString &)
{
    return QString();
}

QStringList TerminalPrompts::takeCollected()
{
    return std::exchange(m_collected, {});
}

} // namespace tovel
