// The command line as the program reads it: the toolkit's own options set aside, and a wrong
// option told with a usage line and status 1 before any window system is asked for a display.
#include "app/toolkitoptions.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

using namespace tovel;

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void toolkitOptionsSetAside_data();
    void toolkitOptionsSetAside();
    void withoutADisplay_data();
    void withoutADisplay();
};

void TestCommandLine::toolkitOptionsSetAside_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("kept");
    const QString p = QStringLiteral("tovel-editor");
    QTest::newRow("own-options-kept") << QStringList{p, "--device", "/dev/pts/3", "--console"}
                                      << QStringList{p, "--device", "/dev/pts/3", "--console"};
    QTest::newRow("platform-and-its-value-set-aside") << QStringList{p, "-platform", "offscreen", "--bogus"}
                                                      << QStringList{p, "--bogus"};
    QTest::newRow("two-dashes-and-equals-sign") << QStringList{p, "--style=fusion", "--reverse", "--console"}
                                                << QStringList{p, "--console"};
    QTest::newRow("display-takes-the-next-argument") << QStringList{p, "-display", ":1", "--virtual-pedal"}
                                                     << QStringList{p, "--virtual-pedal"};
    QTest::newRow("after-two-dashes-nothing-is-an-option") << QStringList{p, "--", "-style", "x"}
                                                           << QStringList{p, "--", "-style", "x"};
}

void TestCommandLine::toolkitOptionsSetAside()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, kept);
    QCOMPARE(withoutToolkitOptions(arguments), kept);
}

void TestCommandLine::withoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stderrStart");
    QTest::addColumn<QString>("stdoutStart");
    const QString usage = QStringLiteral("\nUsage: tovel-editor [options]\nTry 'tovel-editor --help' for every option.\n");
    QTest::newRow("unknown-option") << QStringList{"--bogus"} << 1 << "tovel-editor: Unknown option 'bogus'." + usage << "";
    QTest::newRow("option-without-its-value") << QStringList{"--device"} << 1
                                              << "tovel-editor: Missing value after '--device'." + usage << "";
    QTest::newRow("unknown-option-after-a-toolkit-option") << QStringList{"-platform", "offscreen", "--bogus"} << 1
                                                           << "tovel-editor: Unknown option 'bogus'." + usage << "";
    QTest::newRow("version-answers") << QStringList{"--version"} << 0 << "" << "tovel-editor " TOVEL_VERSION_TEXT;
}

void TestCommandLine::withoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, stderrStart);
    QFETCH(QString, stdoutStart);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TOVEL_EDITOR_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == status, qPrintable(QStringLiteral("status %1: %2").arg(program.exitCode()).arg(err)));
    // Nothing where nothing is expected; else what is expected first.
    QVERIFY2(stderrStart.isEmpty() ? err.isEmpty() : err.startsWith(stderrStart), qPrintable(err));
    QVERIFY2(stdoutStart.isEmpty() ? out.isEmpty() : out.startsWith(stdoutStart), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
