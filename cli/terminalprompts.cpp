#include "cli/terminalprompts.h"

namespace tovel {

void TerminalPrompts::showMessage(const QString &text)
{
    ++m_shown;
    // The message boxes' paragraphs (blank lines between them) stay apart; the text ends the line.
    std::fprintf(m_stream, "tovel: %s\n", qPrintable(text.trimmed()));
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

} // namespace tovel
