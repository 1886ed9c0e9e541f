#include "cli/stderrconsole.h"

#include "cli/terminaltext.h"

#include <QString>

namespace tovel {

void StderrConsole::printToConsole(const QString &text)
{
    std::fprintf(m_stream, "%s\n", qPrintable(escapedForTerminal(text)));
    std::fflush(m_stream);
}

void StderrConsole::appendConsoleLine(const QString &text)
{
    printToConsole(text);
}

} // namespace tovel
