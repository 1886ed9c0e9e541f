// After the firmware upgrade's GO, through the windows on the virtual pedal: the editor lets go
// of the bootloader, waits for the pedal to start its new firmware (its bridge staying,
// re-enumerating, or never coming back), connects in normal mode and says which firmware runs.
#include "tests/support/editorfixture.h"

#include "actions/firmwareactions.h"
#include "actions/upgradereconnect.h"
#include "app/tformfirmwareupgrade.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;
using Bridge = pedal::RestartAfterGo::Bridge;

Q_DECLARE_METATYPE(Bridge)

class TestUpgradeRestart : public QObject {
    Q_OBJECT

private slots:
    void restart_data();
    void restart();
};

void TestUpgradeRestart::restart_data()
{
    QTest::addColumn<Bridge>("bridge");
    QTest::addColumn<int>("goneMs");
    QTest::addColumn<bool>("comesBack");

    QTest::newRow("bridge-stays") << Bridge::Stays << 0 << true;
    QTest::newRow("bridge-re-enumerates") << Bridge::Reenumerates << 1000 << true;
    // Back only after the editor has stopped waiting: as good as never.
    QTest::newRow("bridge-back-too-late") << Bridge::Reenumerates << int(kRestartWait.count()) + 5000 << false;
    QTest::newRow("bridge-never-back") << Bridge::NeverBack << 0 << false;
}

void TestUpgradeRestart::restart()
{
    QFETCH(Bridge, bridge);
    QFETCH(int, goneMs);
    QFETCH(bool, comesBack);

    EditorFixture f;
    pedal::VirtualPedalOptions options;
    options.bootloader = true;
    options.restartAfterGo.bridge = bridge;
    options.restartAfterGo.goneMs = goneMs;
    f.startOnVirtualPedal(options);
    TformMain &m = f.main();
    f.click(m.menuFirmwareUpgradeMode);
    f.click(m.menuConnect);
    QCOMPARE(f.prompts.messages, QStringList{"Connection to bootloader succeeded"});
    f.click(m.menuStartFirmwareUpgrade);
    TformFirmwareUpgrade &w = *f.app->formFirmwareUpgrade();
    w.chkBackupFirst->setChecked(false);
    // Firmware_4: a pedal that reports 4 runs what was written, not what it had (5).
    w.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware4);
    emit w.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware4);
    f.prompts.messages.clear();

    // What the windows show while the completion message is up: the bootloader let go.
    bool closedBeforeTheMessage = false;
    f.prompts.onMessage = [&](const QString &text) {
        if (text.startsWith(kUpgradeCompleteMessage))
            closedBeforeTheMessage = !f.app->session().linkOpen() && !m.menuFirmwareUpgradeMode->isChecked()
                                     && !m.menuDisconnect->isEnabled();
    };
    f.prompts.scriptIrreversible(Prompts::Answer::Yes); // the question before writing
    f.click(w.btnUpgradeFirmware);
    f.prompts.onMessage = nullptr;
    QVERIFY2(closedBeforeTheMessage, qPrintable(f.prompts.messages.join(" / ") + " | " + f.prompts.surprises.join(" / ")));

    QVERIFY(!f.app->session().link.FirmwareUpgradeMode);
    QVERIFY(!m.menuFirmwareUpgradeMode->isChecked());
    QCOMPARE(f.pedal().mode(), pedal::VirtualPedal::Mode::EffectFirmware);
    if (comesBack) {
        QCOMPARE(f.prompts.messages, (QStringList{kUpgradeCompleteMessage, "Firmware 4 is running."}));
        QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 4"));
        QVERIFY(m.lblDeviceName->text().endsWith(QStringLiteral(" connected")));
        // Connected in normal mode: the effect commands are there, Disconnect too.
        QVERIFY(m.btnOpenEffect->isEnabled() && m.btnUpload->isEnabled() && m.menuDisconnect->isEnabled());
        QVERIFY(!m.menuConnect->isEnabled());
        QVERIFY(f.pedal().frameLog().last().startsWith(QStringLiteral("fw EffectQuery")));
        QCOMPARE(w.ProgressBar1->format(), QStringLiteral("Firmware 4 running"));
        // The link works: Open FX asks again and gets its answer.
        f.prompts.messages.clear();
        f.click(m.btnOpenEffect);
        QCOMPARE(f.prompts.messages, QStringList{"The pedal runs no effect. Upload an effect first."});
        return;
    }
    QCOMPARE(f.prompts.messages.size(), 2);
    QCOMPARE(f.prompts.messages.first(), kUpgradeCompleteMessage);
    QVERIFY2(f.prompts.messages.last().startsWith(QStringLiteral("The pedal did not come back within 10 seconds")),
             qPrintable(f.prompts.messages.last()));
    QVERIFY(f.prompts.messages.last().contains(QStringLiteral("Connection > Scan and Connection > Connect")));
    // Not connected: Scan and Connect offered, nothing that needs the pedal.
    QVERIFY(m.menuScan->isEnabled() && m.menuConnect->isEnabled() && !m.menuDisconnect->isEnabled());
    QVERIFY(!m.btnOpenEffect->isEnabled() && !m.btnUpload->isEnabled());
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: "));

    // Plugged in again by hand, Scan and Connect find it running the new firmware.
    f.pedal().unplug(false);
    f.prompts.messages.clear();
    f.click(m.menuScan);
    f.click(m.menuConnect);
    f.click(m.btnOpenEffect);
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 4"));
}

QTEST_MAIN(TestUpgradeRestart)
#include "tst_upgraderestart.moc"
