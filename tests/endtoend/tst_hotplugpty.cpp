// The pedal coming and going while the editor runs `--device PTY`: tovel-pedal-sim pulls its
// cable and plugs it back in on the modelled 115,200-baud line, the kernel serial driver
// watches the terminal, and the editor watches the by-id style link as it does a --device path.
#include "actions/firmwareactions.h"
#include "actions/pedalhotplug.h"
#include "actions/upgradereconnect.h"
#include "app/tformfirmwareupgrade.h"
#include "protocol/commandexchange.h"
#include "tests/support/ptyeditor.h"
#include "usb/serialpathwatch.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
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

// Pulls the cable while the editor waits for nothing, and waits for the window as after
// Disconnect with the one message for the loss.
void pullWhileIdle(LoggedSim &sim, PtyEditor &editor)
{
    QVERIFY2(sim.process.unplug(), qPrintable(sim.process.errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(showsDisconnected(editor.main()), 5000);
    runPostedEvents();
    QCOMPARE(editor.prompts.messages, QStringList{kDisconnected});
}

} // namespace

class TestHotplugPty : public QObject {
    Q_OBJECT

private slots:
    void pulledWhileIdle();
    void pulledWhileTheEffectQueryWaits();
    void pluggedBackInConnectsAgain();
    void pluggedBackInConnectsByItself();
    void upgradeEndsInTheNewFirmware_data();
    void upgradeEndsInTheNewFirmware();
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

    pullWhileIdle(sim, editor);
    if (QTest::currentTestFailed())
        return;
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
    pullWhileIdle(sim, editor);
    if (QTest::currentTestFailed())
        return;

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

// With Connect When Plugged In, the link comes back by itself once the bridge's link does, and
// the pedal answers on it.
void TestHotplugPty::pluggedBackInConnectsByItself()
{
    LoggedSim sim;
    const QString link = sim.dir.filePath(QStringLiteral("usb-ZANTH_Tovel_ZT000001-if00-port0"));
    QVERIFY2(sim.start({QStringLiteral("--link"), link}), qPrintable(sim.process.errorText()));
    PtyEditor editor(link);
    SerialPathWatch watch(link);
    editor.app->hotplug().follow(&watch);
    editor.main().menuConnectWhenPluggedIn->trigger();
    QVERIFY(editor.app->hotplug().connectWhenPluggedIn());
    editor.main().menuConnect->trigger();

    pullWhileIdle(sim, editor);
    if (QTest::currentTestFailed())
        return;

    QVERIFY2(sim.process.plug(), qPrintable(sim.process.errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(editor.main().menuDisconnect->isEnabled(), 5000);
    QVERIFY(editor.main().btnOpenEffect->isEnabled());
    QVERIFY(editor.main().lblDeviceName->text().endsWith(QStringLiteral(" connected")));
    QCOMPARE(editor.prompts.messages, QStringList{kDisconnected});
    const QStringList plugLines = editor.console().filter(QStringLiteral("FT device "));
    QCOMPARE(plugLines, (QStringList{"FT device unplugged: " + link, "FT device plugged in: " + link + ' ' + link}));

    const int from = sim.mark();
    editor.main().btnOpenEffect->click();
    QCOMPARE(editor.main().lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 5"));
    QCOMPARE(sim.framesSince(from), QStringList{"fw EffectQuery 00"});
    QVERIFY(sim.process.stop());
}

void TestHotplugPty::upgradeEndsInTheNewFirmware_data()
{
    QTest::addColumn<QString>("restart");
    QTest::addColumn<bool>("comesBack");
    QTest::addColumn<bool>("slowReader"); // the bridge is back before the completion message is closed
    QTest::newRow("bridge-stays") << "stays" << true << false;
    QTest::newRow("bridge-re-enumerates") << "reenumerate:700" << true << false;
    // Connect When Plugged In connects it while the message is up: that link is asked.
    QTest::newRow("bridge-re-enumerates-while-the-message-is-read") << "reenumerate:300" << true << true;
    QTest::newRow("bridge-never-back") << "never" << false << false;
}

// Through the windows: the upgrade, the completion message, and the editor connected to the
// new firmware, or telling how to connect once the pedal is back.
void TestHotplugPty::upgradeEndsInTheNewFirmware()
{
    QFETCH(QString, restart);
    QFETCH(bool, comesBack);
    QFETCH(bool, slowReader);
    LoggedSim sim;
    const QString link = sim.dir.filePath(QStringLiteral("usb-ZANTH_Tovel_ZT000001-if00-port0"));
    QVERIFY2(sim.start({QStringLiteral("--bootloader"), QStringLiteral("--restart-after-go"), restart,
                        QStringLiteral("--link"), link}),
             qPrintable(sim.process.errorText()));
    PtyEditor editor(link);
    SerialPathWatch watch(link);
    editor.app->hotplug().follow(&watch);
    TformMain &m = editor.main();
    m.menuFirmwareUpgradeMode->trigger();
    m.menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{"Connection to bootloader succeeded"});
    m.menuStartFirmwareUpgrade->trigger();
    TformFirmwareUpgrade &w = *editor.app->formFirmwareUpgrade();
    w.chkBackupFirst->setChecked(false);
    w.chkFastTransfer->setChecked(true);
    w.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware4);
    emit w.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware4);
    editor.prompts.messages.clear();
    if (slowReader) {
        m.menuConnectWhenPluggedIn->trigger();
        editor.prompts.onMessage = [&](const QString &text) {
            if (!text.startsWith(kUpgradeCompleteMessage))
                return;
            QVERIFY(sim.process.waitForEvent(QStringLiteral("unplugged")));
            QVERIFY(sim.process.waitForEvent(QStringLiteral("plugged")));
            QTRY_VERIFY_WITH_TIMEOUT(editor.app->session().linkOpen(), 5000);
        };
    }
    editor.prompts.scriptIrreversible(Prompts::Answer::Yes); // the question before writing
    w.btnUpgradeFirmware->click();
    editor.prompts.onMessage = nullptr;
    runPostedEvents();

    QVERIFY2(!m.menuFirmwareUpgradeMode->isChecked(), qPrintable(editor.prompts.messages.join(QStringLiteral(" / "))));
    QVERIFY(!editor.app->session().link.FirmwareUpgradeMode);
    if (comesBack) {
        QCOMPARE(editor.prompts.messages, (QStringList{kUpgradeCompleteMessage, "Firmware 4 is running."}));
        QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 4"));
        QVERIFY(m.menuDisconnect->isEnabled() && m.btnOpenEffect->isEnabled());
        QVERIFY(m.lblDeviceName->text().endsWith(QStringLiteral(" connected")));
        QVERIFY(sim.frames().last().startsWith(QStringLiteral("fw EffectQuery")));
        QVERIFY(sim.process.stop());
        return;
    }
    QCOMPARE(editor.prompts.messages.size(), 2);
    QCOMPARE(editor.prompts.messages.first(), kUpgradeCompleteMessage);
    QVERIFY2(editor.prompts.messages.last().contains(QStringLiteral("Connection > Scan and Connection > Connect")),
             qPrintable(editor.prompts.messages.last()));
    QVERIFY(showsDisconnected(m));
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: "));

    // Plugged in by hand: Connect finds the new firmware.
    QVERIFY2(sim.process.plug(), qPrintable(sim.process.errorText()));
    editor.prompts.messages.clear();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    m.menuConnect->trigger();
    m.btnOpenEffect->click();
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 4"));
    QVERIFY(sim.process.stop());
}

QTEST_MAIN(TestHotplugPty)
#include "tst_hotplugpty.moc"
