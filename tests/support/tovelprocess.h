#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace tovel::test {

// `tovel` as a script runs it: its own home folder (so its Documents folder is a fresh one),
// no standard input, and what it said and how it ended.
struct TovelProcess {
    QTemporaryDir home;
    // Changes to the environment each run gets (HOME taken away, say), and what the child does
    // before it starts tovel (a file-size limit); both optional.
    std::function<void(QProcessEnvironment &)> environment;
    std::function<void()> childSetup;

    struct Run {
        int status = -1;  // exit status; -1 when it did not end by itself in time
        QString out;
        QString err;
    };

    QString documents() const { return home.filePath(QStringLiteral("Documents")); }

    Run run(const QStringList &arguments, int timeoutMs = 60000) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        // The Documents folder is $HOME/Documents unless a user-dirs file says otherwise.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        if (environment)
            environment(env);
        process.setProcessEnvironment(env);
        if (childSetup)
            process.setChildProcessModifier(childSetup);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(TOVEL_PROGRAM), arguments);
        Run r;
        if (!process.waitForStarted(10000)) {
            r.err = process.errorString();
            return r;
        }
        const bool ended = process.waitForFinished(timeoutMs);
        if (!ended) {
            process.kill();
            process.waitForFinished(5000);
        }
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        if (ended && process.exitStatus() == QProcess::NormalExit)
            r.status = process.exitCode();
        return r;
    }
    // The same with --device PATH first.
    Run onDevice(const QString &pty, const QStringList &arguments, int timeoutMs = 60000) const
    {
        return run(QStringList{QStringLiteral("--device"), pty} + arguments, timeoutMs);
    }
};

} // namespace tovel::test
