#include "cli/terminalprogress.h"

namespace tovel {

QString TerminalProgress::text(UpgradeStep step, int value, int maximum)
{
    const auto percent = [&] { return maximum > 0 ? QStringLiteral(" %1%").arg(value * 100 / maximum) : QString(); };
    switch (step) {
    case UpgradeStep::Resync:
        return QStringLiteral("Resync");
    case UpgradeStep::Backup:
        return QStringLiteral("Backup") + percent();
    case UpgradeStep::Erase:
        return QStringLiteral("Erase");
    case UpgradeStep::Chunk:
        return QStringLiteral("Writing chunk %1 of %2").arg(value).arg(maximum);
    case UpgradeStep::Verify:
        return QStringLiteral("Verify") + percent();
    case UpgradeStep::Marker:
        return QStringLiteral("Record");
    case UpgradeStep::Go:
        return QStringLiteral("Start");
    }
    return QString();
}

void TerminalProgress::show(UpgradeStep step, int value, int maximum)
{
    const QString line = text(step, value, maximum);
    if (line == m_shown)
        return;
    // Back to the line's start, the new text, and blanks over what a longer one left.
    std::fprintf(m_stream, "\r%-*s", int(std::max(m_shown.size(), line.size())), qPrintable(line));
    std::fflush(m_stream);
    m_shown = line;
}

void TerminalProgress::finish()
{
    if (m_shown.isEmpty())
        return;
    std::fprintf(m_stream, "\n");
    std::fflush(m_stream);
    m_shown.clear();
}

} // namespace tovel
