// The pedal coming and going while the editor runs `--device PTY`: tovel-pedal-sim pulls its
// cable and plugs it back in on the modelled 115,200-baud line, the kernel serial driver
// watches the terminal.
#include "protocol/commandexchange.h"
#include "tests/support/ptyeditor.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kDisconnected = QStringLiteral("The pedal was disconnected.");

// Runs what the event loop has been handed so far: the news of a hang-up included.
void runPostedEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// The window as after Disconnect: Connect offered again, nothing that needs the pedal.
bool showsDisconnected(TformMain &main)
{
    return main.menuConnect->isEnabled() && main.menuScan->isEnabled() && !main.menuDisconnect->isEnabled()
        && !main.btnUpload->isEnabled() && !main.btnOpenEffect->isEnabled()
        && !main.lblDeviceName->text().contains(QStringLiteral("connected"));
}

} // namespace

class TestHotplugPty : public QObject {
    Q_OBJECT

private slots:
    void pulledWhileIdle();
    void pulledWhileTheEffectQueryWaits();
    void pluggedBackInConnectsAgain();
};

// No command runs: the hang-up alone brings the window to its disconnected state, with one
// message.
void TestHotplugPty::pulledWhileIdle()
{
    LoggedSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.process.errorText()));
    PtyEditor editor(sim.process.ptyPath());
    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{});
    QVERIFY(editor.main().lblDeviceName->text().endsWith(QStringLiteral(" connected")));

    QVERIFY2(sim.process.unplug(), qPrintable(sim.process.errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(showsDisconnected(editor.main()), 5000);
    runPostedEvents();
    QCOMPARE(editor.prompts.messages, QStringList{kDisconnected});
    QVERIFY(editor.app->usb.state.DeviceLost);
    QCOMPARE(sim.frames(), QStringList{});
    QVERIFY(sim.process.stop());
}

// The cable goes while the editor waits for the answer: the failing wait and the hang-up are
// one loss, told once.
void TestHotplugPty::pulledWhileTheEffectQueryWaits()
{
    LoggedSim sim;
    QVERIFY2(sim.start({QStringLiteral("--no-answer")}), qPrintable(sim.process.errorText()));
    PtyEditor editor(sim.process.ptyPath());
    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{});

    // Once the pedal has taken the query, the cable is pulled.
    bool pulled = false;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!sim.frames().join(QLatin1Char('\n')).contains(QStringLiteral("fw EffectQuery")))
            return;
        watch.stop();
        pulled = sim.process.unplug();
    });
    watch.start();
    editor.main().btnOpenEffect->click();
    QVERIFY2(pulled, qPrintable(sim.process.errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(showsDisconnected(editor.main()), 5000);
    runPostedEvents();
    QCOMPARE(editor.prompts.messages, QStringList{kDisconnected});
    QVERIFY(sim.process.stop());
}

// Plugged back in, the bridge is a new terminal behind the same by-id style link: a new
// Connect opens it and the pedal answers.
void TestHotplugPty::pluggedBackInConnectsAgain()
{
    LoggedSim sim;
    const QString link = sim.dir.filePath(QStringLiteral("usb-ZANTH_Tovel_ZT000001-if00-port0"));
    QVERIFY2(sim.start({QStringLiteral("--link"), link}), qPrintable(sim.process.errorText()));
    PtyEditor editor(link);
    editor.main().menuConnect->trigger();
    QVERIFY2(sim.process.unplug(), qPrintable(sim.process.errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(showsDisconnected(editor.main()), 5000);
    runPostedEvents();
    QCOMPARE(editor.prompts.messages, QStringList{kDisconnected});

    QVERIFY2(sim.process.plug(), qPrintable(sim.process.errorText()));
    editor.prompts.messages.clear();
    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{});
    QVERIFY(!editor.app->usb.state.DeviceLost);
    QVERIFY(editor.main().btnOpenEffect->isEnabled());
    editor.app->exchange().sendBytes(QByteArray::fromHex("0500"), true);
    const auto answer = editor.app->exchange().CollectAnswerText(effectQueryAnswer());
    QCOMPARE(answer.bytes, QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n"));
    QCOMPARE(editor.prompts.messages, QStringList{});
    QVERIFY(sim.process.stop());
}

QTEST_MAIN(TestHotplugPty)
#include "tst_hotplugpty.moc"
