// The editor program itself, started as a user starts it: where its trace goes (--log FILE, or
// a new file in the state folder), and a start-up that meets a named pipe for its remembered
// look neither hangs before its window nor stays quiet about it.
#include "tests/support/fifowatch.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovel::test;

namespace {

constexpr int kRunMs = 60000; // far beyond a start-up; a hang ends here instead of never

struct Run {
    int exitCode = -1;
    bool finished = false;
    QByteArray errors;
};

// Starts the editor on the virtual pedal with `args` in a home of its own, lets it paint its
// window once and quit.
Run runEditor(const QString &home, const QStringList &args, const QString &stateHome = QString())
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOVEL_QUIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
    if (stateHome.isEmpty())
        env.remove(QStringLiteral("XDG_STATE_HOME"));
    else
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TOVEL_EDITOR_PROGRAM), QStringList{QStringLiteral("--virtual-pedal")} + args);
    Run run;
    run.finished = process.waitForFinished(kRunMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.errors = process.readAllStandardError();
    return run;
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no file %1>").arg(path)};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestSessionLogFile : public QObject {
    Q_OBJECT

private slots:
    void traceGoesToItsFile_data();
    void traceGoesToItsFile();
    void logToAPipeIsRefused();
};

void TestSessionLogFile::traceGoesToItsFile_data()
{
    QTest::addColumn<QString>("option");    // --log's file, under the home; empty: none
    QTest::addColumn<QString>("stateHome"); // XDG_STATE_HOME under the home; empty: unset
    QTest::addColumn<QString>("folder");    // where the session file is, under the home
    QTest::newRow("log-option-names-the-file") << "trace.log" << "" << "";
    QTest::newRow("state-folder-by-default") << "" << "" << ".local/state/tovel-editor";
    QTest::newRow("state-folder-from-the-environment") << "" << "xdg-state" << "xdg-state/tovel-editor";
}

void TestSessionLogFile::traceGoesToItsFile()
{
    QFETCH(QString, option);
    QFETCH(QString, stateHome);
    QFETCH(QString, folder);
    QTemporaryDir home;
    const QString style = home.filePath(QStringLiteral("Documents/ZANTH/style.txt"));
    QVERIFY(QDir().mkpath(QFileInfo(style).path()));
    FifoWatch watch(style);
    QVERIFY(watch.made());

    const QStringList args = option.isEmpty() ? QStringList()
                                              : QStringList{QStringLiteral("--log"), home.filePath(option)};
    const Run run = runEditor(home.path(), args, stateHome.isEmpty() ? QString() : home.filePath(stateHome));
    QVERIFY2(run.finished, "the editor did not start and quit");
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!watch.readerCame());

    QString path = home.filePath(option);
    if (option.isEmpty()) {
        const QDir dir(home.filePath(folder));
        const QStringList sessions = dir.entryList({QStringLiteral("session-*.log")}, QDir::Files);
        QCOMPARE(sessions.size(), 1);
        path = dir.filePath(sessions.first());
    }
    QStringList lines = fileLines(path);
    // A --log file is added to, each run after a header line of its own.
    if (!option.isEmpty() && !lines.isEmpty()) {
        QVERIFY2(lines.first().startsWith(QStringLiteral("---- tovel-editor ")), qPrintable(lines.first()));
        lines.removeFirst();
    }
    QCOMPARE(lines,
             QStringList{QStringLiteral("Look choice not read from %1: style.txt is a named pipe (FIFO), not a "
                                        "regular file; look 0 is shown.")
                             .arg(style)});
}

void TestSessionLogFile::logToAPipeIsRefused()
{
    QTemporaryDir home;
    const QString pipe = home.filePath(QStringLiteral("trace.pipe"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    const Run run = runEditor(home.path(), {QStringLiteral("--log"), pipe});
    QVERIFY2(run.finished, "the editor waited for a reader of its log");
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains("tovel-editor: --log: " + QFile::encodeName(pipe)
                                 + " is a named pipe (FIFO), not a regular file"),
             run.errors.constData());
}

QTEST_GUILESS_MAIN(TestSessionLogFile)
#include "tst_sessionlogfile.moc"
