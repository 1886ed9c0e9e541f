#pragma once

#include "core/seams.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace tovel {

class SessionLog;

// Every trace line of the program goes here: the session keeps the last kMaxLines of them (and
// no more than kKeptChars characters), writes each to the session log when there is one, and
// hands each on to the sink attached last (standard error for tovel). The console window shows
// the kept lines; the tests read them here.
//
// Lines are numbered from the last clear(): line n is lines()[n - droppedLines()] while it is
// kept, so a reader that remembers a number knows which lines went since it last looked.
class TraceStore : public QObject, public Console {
    Q_OBJECT

public:
    static constexpr int kMaxLines = 10000;
    // A line is kept whole up to this length, as in the session log (a longer one costs a copy
    // of what is kept); all kept lines together up to kKeptChars (16 MB).
    static constexpr qsizetype kKeptLineChars = 1024 * 1024;
    static constexpr qsizetype kKeptChars = 8 * 1024 * 1024;

    // Adds a line; a console that shows it scrolls to the end when its auto-scroll is on.
    void printToConsole(const QString &text) override { add(text, true); }
    // Adds a line without scrolling, whatever auto-scroll says.
    void appendConsoleLine(const QString &text) override { add(text, false); }

    void attach(Console *sink) { m_sink = sink; }
    Console *sink() const { return m_sink; }
    // Lines go to `log` too from now on (it must outlive the store, or be detached with nullptr).
    void attachSessionLog(SessionLog *log) { m_log = log; }
    SessionLog *sessionLog() const { return m_log; }
    // Writes what the session log has gathered.
    void flushSessionLog();

    // The last lines since clear(), unchanged up to kKeptLineChars (a longer one is cut with a
    // note of what was left out).
    const QStringList &lines() const { return m_lines; }
    // The length of kept line i as it was given.
    qsizetype givenLength(qsizetype i) const { return m_lengths.at(i); }
    // Lines since clear() that are no longer kept, which is also the number of the first kept line.
    qint64 droppedLines() const { return m_dropped; }
    // The number the next line will have.
    qint64 endNumber() const { return m_dropped + m_lines.size(); }
    // Forgets the kept lines (the session log keeps them) and numbers from 0 again.
    void clear();

    // The first `keep` characters of a longer line and " ... 131072 more characters", counted
    // from `length`, the line's length as it was given.
    static QString cutLine(const QString &line, qsizetype keep, qsizetype length);
    static QString cutLine(const QString &line, qsizetype keep) { return cutLine(line, keep, line.size()); }

signals:
    // A line was added; scroll: by printToConsole.
    void lineAdded(bool scroll);
    void cleared();

private:
    void add(const QString &text, bool scroll);

    QStringList m_lines;
    QList<qsizetype> m_lengths; // of each kept line as it was given
    qsizetype m_keptChars = 0;
    qint64 m_dropped = 0;
    Console *m_sink = nullptr;
    SessionLog *m_log = nullptr;
};

} // namespace tovel
