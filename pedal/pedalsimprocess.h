#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tovel::pedal {

// Runs tovel-pedal-sim for a test: starts it, takes the pseudo-terminal's path from its
// first line, and stops it with SIGTERM (so that it writes its flash dump). The sim also
// ends when this object goes, since it watches its stdin.
class PedalSimProcess {
public:
    explicit PedalSimProcess(const QString &program = defaultProgram());
    ~PedalSimProcess();

    // False, with errorText() set, when the sim did not start or printed no path in time.
    bool start(const QStringList &arguments = {}, int timeoutMs = 5000);
    // Asks the sim to end and waits; true when it ended on its own with status 0.
    bool stop(int timeoutMs = 5000);
    // Switches the sim's faults from now on ("none", "split:3:50", "garbage,short", ...: the
    // control command of tovel-pedal-sim). False, with errorText() set, when it refused them.
    bool setFaults(const QString &faults, int timeoutMs = 5000);
    // Pulls the cable: true once the terminal has closed.
    bool unplug(int timeoutMs = 5000);
    // Plugs it back in: true once a new terminal serves the pedal; ptyPath() names it.
    bool plug(int timeoutMs = 5000);
    // Waits for the sim's next news of the bridge, "unplugged" or "plugged", skipping none:
    // true when that is the next one (a "plugged" one updates ptyPath()), false when another
    // came first (errorText() says which) or none came in time.
    bool waitForEvent(const QString &event, int timeoutMs = 5000);
    // A settled point: returns once every byte written to the terminal before the call has
    // been parsed (and logged, with --log, followed by the line "mark N") and every answer to
    // them has been written back. N counts from 1; -1, with errorText() set, when the sim
    // did not answer. Waits as long as the pedal takes to say what it has to say.
    int mark(int timeoutMs = 10000);

    // The terminal that serves the pedal now: the first line's, or the last "plugged" one's.
    QString ptyPath() const { return m_ptyPath; }
    qint64 processId() const { return m_process.processId(); }
    QString errorText() const { return m_error; }
    // What the sim wrote on stderr so far.
    QByteArray standardError();

    // The sim next to the running program, else the one this build made.
    static QString defaultProgram();

private:
    // Sends a control command and returns its answer ("ok ...", "error ..."), empty when none
    // came in time; news of the bridge on the way is kept for waitForEvent.
    QString command(const QByteArray &line, int timeoutMs);
    // The next line on stdout within the deadline; empty when none came.
    QString nextLine(const QDeadlineTimer &deadline);

    QString m_program;
    QProcess m_process;
    QString m_ptyPath;
    QString m_error;
    QStringList m_events; // news of the bridge not yet waited for
};

} // namespace tovel::pedal
