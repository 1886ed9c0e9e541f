#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <memory>

namespace tovel {

// Every trace line of one run of the editor, in a file: the console window keeps only the last
// lines, this keeps the whole session. Lines are gathered in memory and written when the console
// flushes (or sooner once a megabyte waits), so a flood of lines costs the window one write.
//
// The file is UTF-8, one line per trace line. A line longer than kMaxLineChars is cut with a
// note of its length; a file that reaches kMaxFileBytes ends with a note and takes no more.
class SessionLog {
public:
    static constexpr int kKeptSessions = 5;                 // files in the folder, this one counted
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
    static constexpr qsizetype kMaxLineChars = 1024 * 1024;
    static constexpr qsizetype kMaxBufferedBytes = 1024 * 1024;

    // A new file for this session in `folder` (made when missing), named after `started`; the
    // oldest session files beyond the last kKeptSessions go. Null, with `error` set, when it
    // cannot be written.
    static std::unique_ptr<SessionLog> openInFolder(const QString &folder, const QDateTime &started,
                                                    QString &error);
    // The file at `path` (tovel-editor --log FILE): a regular file, added to after what it
    // holds with a header line for this run, or a new one. Anything else is refused.
    static std::unique_ptr<SessionLog> openFile(const QString &path, const QDateTime &started, QString &error);
    // "---- tovel-editor 1.2, process 4711, started 2026-01-31T14:25:03.000 ----"
    static QString headerLine(const QDateTime &started);

    ~SessionLog();

    void append(const QString &line);
    // Writes what has been gathered.
    void flush();
    QString path() const { return m_path; }
    // Why the file stopped taking lines; empty while it takes them.
    QString error() const { return m_error; }
    // Copies the log as written so far (after a flush) to `destination`, replacing it. Empty,
    // or why it could not.
    QString saveCopy(const QString &destination);

    // "session-20260131-142503-4711.log": the session's start, then the process.
    static QString fileNameFor(const QDateTime &started, qint64 pid);

private:
    explicit SessionLog(const QString &path);
    void write(const QByteArray &bytes);

    QString m_path;
    QFile m_file;
    QByteArray m_buffer;
    qint64 m_written = 0;
    bool m_full = false;
    QString m_error;
};

} // namespace tovel
