#include "console/sessionlog.h"

#include "core/regularfile.h"
#include "core/safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>


namespace tovel {

namespace {

const QString kSessionPattern = QStringLiteral("session-*.log");
// Room kept at the end of a full file for the note that says so.
constexpr qint64 kNoteRoom = 256;
constexpr qint64 kCopyChunkBytes = 1024 * 1024;

// The text as UTF-8 at the end of `out`; encoded in place, as a flood of short lines costs
// little else.
void appendUtf8(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + 3 * text.size()); // UTF-8 takes at most three bytes a UTF-16 unit
    QStringEncoder utf8(QStringEncoder::Utf8);
    char *end = utf8.appendToBuffer(out.data() + at, text);
    out.resize(end - out.constData());
}

void appendLine(QByteArray &out, const QString &line)
{
    if (line.size() <= SessionLog::kMaxLineChars) {
        appendUtf8(out, line);
    } else {
        appendUtf8(out, QStringView(line).left(SessionLog::kMaxLineChars));
        appendUtf8(out, QStringLiteral(" ... %1 more characters (%2 in all)")
                            .arg(line.size() - SessionLog::kMaxLineChars)
                            .arg(line.size()));
    }
    out.append('\n');
}

} // namespace

SessionLog::SessionLog(const QString &path) : m_path(path), m_file(path) {}

SessionLog::~SessionLog()
{
    flush();
}

QString SessionLog::fileNameFor(const QDateTime &started, qint64 pid)
{
    return QStringLiteral("session-%1-%2.log").arg(started.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"))).arg(pid);
}

std::unique_ptr<SessionLog> SessionLog::openInFolder(const QString &folder, const QDateTime &started,
                                                     QString &error)
{
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        error = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return nullptr;
    }
    // Names begin with the time they were started, so their order is the sessions' order.
    const QStringList old = dir.entryList({kSessionPattern}, QDir::Files, QDir::Name);
    for (qsizetype i = 0; i + (kKeptSessions - 1) < old.size(); ++i)
        dir.remove(old[i]);

    const QString name = fileNameFor(started, QCoreApplication::applicationPid());
    std::unique_ptr<SessionLog> log(new SessionLog(dir.filePath(name)));
    if (const QString why = openForAppend(log->m_file, true); !why.isEmpty()) {
        error = why;
        return nullptr;
    }
    return log;
}

std::unique_ptr<SessionLog> SessionLog::openFile(const QString &path, const QDateTime &started, QString &error)
{
    std::unique_ptr<SessionLog> log(new SessionLog(path));
    if (const QString why = openForAppend(log->m_file); !why.isEmpty()) {
        error = why;
        return nullptr;
    }
    // Runs follow each other in the file; each begins with a line that says which.
    log->append(headerLine(started));
    return log;
}

QString SessionLog::headerLine(const QDateTime &started)
{
    return QStringLiteral("---- %1 %2, process %3, started %4 ----")
        .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion())
        .arg(QCoreApplication::applicationPid())
        .arg(started.toString(Qt::ISODateWithMs));
}

void SessionLog::append(const QString &line)
{
    if (m_full || !m_error.isEmpty())
        return;
    const qsizetype before = m_buffer.size();
    appendLine(m_buffer, line);
    if (m_written + m_buffer.size() > kMaxFileBytes - kNoteRoom) {
        m_buffer.truncate(before);
        appendLine(m_buffer, QStringLiteral("... the session log stops here: it has reached its limit of %1 bytes")
                                 .arg(kMaxFileBytes));
        m_full = true;
    }
    if (m_buffer.size() >= kMaxBufferedBytes || m_full)
        flush();
}

void SessionLog::flush()
{
    if (m_buffer.isEmpty() || !m_error.isEmpty())
        return;
    write(m_buffer);
    m_buffer.truncate(0); // its room stays for the next lines
}

void SessionLog::write(const QByteArray &bytes)
{
    const qint64 n = m_file.write(bytes);
    if (n > 0)
        m_written += n;
    if (n != bytes.size())
        m_error = m_file.errorString();
}

QString SessionLog::saveCopy(const QString &destination)
{
    flush();
    if (!m_error.isEmpty())
        return QStringLiteral("the session log %1 stopped: %2").arg(QDir::toNativeSeparators(m_path), m_error);
    const QFileInfo source(m_path);
    if (source.canonicalFilePath() == QFileInfo(destination).canonicalFilePath())
        return QString(); // it is there already, and kept up to date
    QFile in(m_path);
    if (const QString why = openRegularFile(in); !why.isEmpty())
        return QStringLiteral("the session log %1 cannot be read: %2").arg(QDir::toNativeSeparators(m_path), why);
    SafeFileWriter out(destination);
    if (const QString why = out.open(); !why.isEmpty())
        return why;
    // What has been written so far: a line added meanwhile belongs to the next copy.
    qint64 left = m_written;
    while (left > 0) {
        const QByteArray chunk = in.read(std::min(left, kCopyChunkBytes));
        if (chunk.isEmpty())
            break;
        if (const QString why = out.write(chunk); !why.isEmpty())
            return why;
        left -= chunk.size();
    }
    if (in.error() != QFileDevice::NoError)
        return in.errorString();
    return out.commit();
}

} // namespace tovel
