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

QString PedalSimProcess::command(const QByteArray &line, int timeoutMs)
{
    m_process.write(line + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            m_error = QStringLiteral("%1 did not answer \"%2\"").arg(m_program, QString::fromLocal8Bit(line));
            return {};
        }
    }
    return QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

bool PedalSimProcess::setFaults(const QString &faults, int timeoutMs)
{
    const QString reply = command("faults " + faults.toLocal8Bit(), timeoutMs);
    if (reply.isNull())
        return false;
    if (reply != QLatin1String("ok")) {
        m_error = reply;
        return false;
    }
    return true;
}

int PedalSimProcess::mark(int timeoutMs)
{
    const QString reply = command("mark", timeoutMs);
    if (reply.isNull())
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
