#include "pedal/pedalsimprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

namespace tovel::pedal {

PedalSimProcess::PedalSimProcess(const QString &program) : m_program(program) {}

PedalSimProcess::~PedalSimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(2000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QString PedalSimProcess::defaultProgram()
{
    const QString name = QStringLiteral("tovel-pedal-sim");
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
        if (QFileInfo(beside).isExecutable())
            return beside;
    }
#ifdef TOVEL_PEDAL_SIM_PATH
    return QStringLiteral(TOVEL_PEDAL_SIM_PATH);
#else
    return name;
#endif
}

bool PedalSimProcess::start(const QStringList &arguments, int timeoutMs)
{
    m_ptyPath.clear();
    m_error.clear();
    m_process.setProgram(m_program);
    m_process.setArguments(QStringList{QStringLiteral("--until-stdin-closes")} + arguments);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("%1 did not start: %2").arg(m_program, m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            m_error = QStringLiteral("%1 printed no terminal path: %2")
                          .arg(m_program, QString::fromLocal8Bit(m_process.readAllStandardError()));
            return false;
        }
    }
    m_ptyPath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_ptyPath.isEmpty();
}

bool PedalSimProcess::stop(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
        m_error = QStringLiteral("%1 did not end on SIGTERM").arg(m_program);
        m_process.kill();
        m_process.waitForFinished(timeoutMs);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QString PedalSimProcess::nextLine(const QDeadlineTimer &deadline)
{
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return {};
    }
    const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (line.startsWith(QLatin1String("plugged ")))
        m_ptyPath = line.mid(8);
    if (line == QLatin1String("unplugged") || line.startsWith(QLatin1String("plugged ")))
        m_events.append(line);
    return line;
}

QString PedalSimProcess::command(const QByteArray &line, int timeoutMs)
{
    m_process.write(line + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QString reply = nextLine(deadline);
        if (reply.isEmpty()) {
            m_error = QStringLiteral("%1 did not answer \"%2\"").arg(m_program, QString::fromLocal8Bit(line));
            return {};
        }
        if (reply == QLatin1String("ok") || reply.startsWith(QLatin1String("ok "))
            || reply.startsWith(QLatin1String("error ")) || reply.startsWith(QLatin1String("mark ")))
            return reply;
    }
}

bool PedalSimProcess::setFaults(const QString &faults, int timeoutMs)
{
    const QString reply = command("faults " + faults.toLocal8Bit(), timeoutMs);
    if (reply != QLatin1String("ok")) {
        if (!reply.isEmpty())
            m_error = reply;
        return false;
    }
    return true;
}

bool PedalSimProcess::unplug(int timeoutMs)
{
    const QString reply = command("unplug", timeoutMs);
    if (!reply.isEmpty() && reply != QLatin1String("ok"))
        m_error = reply;
    return reply == QLatin1String("ok");
}

bool PedalSimProcess::plug(int timeoutMs)
{
    const QString reply = command("plug", timeoutMs);
    if (!reply.startsWith(QLatin1String("ok "))) {
        if (!reply.isEmpty())
            m_error = reply;
        return false;
    }
    m_ptyPath = reply.mid(3);
    return true;
}

bool PedalSimProcess::waitForEvent(const QString &event, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_events.isEmpty()) {
        if (nextLine(deadline).isEmpty()) {
            m_error = QStringLiteral("%1 told no \"%2\" in time").arg(m_program, event);
            return false;
        }
    }
    const QString next = m_events.takeFirst();
    if (next.section(QLatin1Char(' '), 0, 0) != event) {
        m_error = QStringLiteral("%1 told \"%2\" before any \"%3\"").arg(m_program, next, event);
        return false;
    }
    return true;
}

int PedalSimProcess::mark(int timeoutMs)
{
    const QString reply = command("mark", timeoutMs);
    if (reply.isEmpty())
        return -1;
    bool ok = false;
    const int number = reply.startsWith(QLatin1String("mark ")) ? reply.mid(5).toInt(&ok) : 0;
    if (!ok || number < 1) {
        m_error = reply;
        return -1;
    }
    return number;
}

QByteArray PedalSimProcess::standardError()
{
    return m_process.readAllStandardError();
}

} // namespace tovel::pedal
