#include "console/tracestore.h"

#include "console/sessionlog.h"

namespace tovel {

QString TraceStore::cutLine(const QString &line, qsizetype keep, qsizetype length)
{
    if (length <= keep)
        return line;
    const QString note = QStringLiteral(" ... %1 more characters").arg(length - keep);
    QString cut;
    cut.reserve(keep + note.size());
    cut.append(QStringView(line).left(keep));
    cut.append(note);
    return cut;
}

void TraceStore::add(const QString &text, bool scroll)
{
    if (m_log)
        m_log->append(text);
    m_lines.append(cutLine(text, kKeptLineChars));
    m_lengths.append(text.size());
    m_keptChars += m_lines.last().size();
    while (m_lines.size() > kMaxLines || (m_keptChars > kKeptChars && m_lines.size() > 1)) {
        m_keptChars -= m_lines.first().size();
        m_lines.removeFirst();
        m_lengths.removeFirst();
        ++m_dropped;
    }
    if (m_sink) {
        if (scroll)
            m_sink->printToConsole(text);
        else
            m_sink->appendConsoleLine(text);
    }
    emit lineAdded(scroll);
}

void TraceStore::flushSessionLog()
{
    if (m_log)
        m_log->flush();
}

void TraceStore::clear()
{
    m_lines.clear();
    m_lengths.clear();
    m_keptChars = 0;
    m_dropped = 0;
    emit cleared();
}

} // namespace tovel
