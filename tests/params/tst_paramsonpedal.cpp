// The parameter window inside the whole editor, driving the virtual pedal.
#include "pedal/effectfirmware.h"
#include "app/toggleswitch.h"
#include "pedal/virtualpedal.h"
#include "tests/support/editorfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr quint32 level(int l)
{
    return quint32(l) << 13;
}

// Connected to the virtual pedal, which runs the effect; the window open for it.
struct OnPedal : EditorFixture {
    explicit OnPedal(const QString &effect)
    {
        startOnVirtualPedal();
        main().menuConnectClick();
        // The pedal learns the addresses of the rows from the program image.
        loadOntoPedal(effect);
        checkLine();
        // Open FX opens the window for the pedal's effect; Request makes its rows usable.
        main().btnOpenEffectClick();
        main().btnRequestClick();
        QVERIFY(app->session().selection.EffectOnPedal);
        QVERIFY(app->session().rowsRead());
        pedal().clearFrameLog();
    }
    TformFXParameters &window() { return *app->formFXParameters(); }
    const pedal::EffectFirmware::Settings &settings() { return pedal().firmware().settings(); }
    int valueFrames()
    {
        int n = 0;
        for (const QString &line : pedal().frameLog())
            n += line.startsWith(QStringLiteral("fw ParameterValue"));
        return n;
    }
};

} // namespace

class TestParamsOnPedal : public QObject {
    Q_OBJECT

private slots:
    void rowsDriveThePedal();
    void liveModeStopsSlidersAndSwitches();
    void disconnectDisablesRows();
    void closingDisablesRequestAndAssign();
};

void TestParamsOnPedal::rowsDriveThePedal()
{
    OnPedal f(QStringLiteral("Arp Sequencer"));
    TformFXParameters &w = f.window();
    QCOMPARE(w.NumParams(), 24);

    w.trkPot[0]->setFocus();
    QTest::keyClick(w.trkPot[0], Qt::Key_End);
    QCOMPARE(f.settings().levels[0], level(1023));
    w.trkPot[9]->setValue(512);
    QCOMPARE(f.settings().levels[9], level(512));

    // Switch rows on both address tables: row 12 ("Mute") and row 20 (bytes 49..64).
    QTest::mouseClick(w.swSwitch[12], Qt::LeftButton);
    QCOMPARE(f.settings().levels[12], level(1023));
    QCOMPARE(w.lblSwitchState[12]->text(), QStringLiteral("OFF")); // "Mute:ON:OFF" on
    QTest::mouseClick(w.swSwitch[20], Qt::LeftButton);
    QCOMPARE(f.settings().levels[20], level(1023));
    QTest::mouseClick(w.swSwitch[12], Qt::LeftButton);
    QCOMPARE(f.settings().levels[12], 0u);

    // "Sine Range;I;II;III;IV" steps by 256; "Voice" with 16 options by 64.
    w.cmbMultiSwitch[22]->setCurrentIndex(2);
    QCOMPARE(f.settings().levels[22], level(512));
    w.cmbMultiSwitch[23]->setCurrentIndex(15);
    QCOMPARE(f.settings().levels[23], level(960));

    QCOMPARE(f.valueFrames(), 7);
    for (const QString &line : f.pedal().frameLog())
        QVERIFY2(!line.contains(QStringLiteral("ignored")), qPrintable(line));
    QCOMPARE(f.prompts.messages, QStringList());
}

void TestParamsOnPedal::liveModeStopsSlidersAndSwitches()
{
    OnPedal f(QStringLiteral("Arp Sequencer"));
    TformFXParameters &w = f.window();
    TformMain &main = f.main();
    QVERIFY(!main.menuLiveEnable->isVisible());
    QVERIFY(!main.chkLiveRequest->isEnabled());

    main.menuLiveEnable->trigger();
    QVERIFY(main.menuLiveEnable->isChecked());
    QVERIFY(main.chkLiveRequest->isEnabled());
    QVERIFY(f.app->session().LiveMode());

    w.trkPot[1]->setValue(700);
    QTest::mouseClick(w.swSwitch[11], Qt::LeftButton);
    QVERIFY(w.swSwitch[11]->isChecked());
    QCOMPARE(f.valueFrames(), 0);
    w.cmbMultiSwitch[22]->setCurrentIndex(3); // lists still send
    QCOMPARE(f.valueFrames(), 1);
    QCOMPARE(f.settings().levels[22], level(768));

    // "Live Request" follows its own box; unticked, the sliders drive the pedal again.
    main.chkLiveRequest->setChecked(true);
    QVERIFY(f.app->session().LiveMode());
    main.chkLiveRequest->setChecked(false);
    QVERIFY(!f.app->session().LiveMode());
    w.trkPot[1]->setValue(701);
    QCOMPARE(f.settings().levels[1], level(701));

    main.menuLiveEnable->trigger();
    QVERIFY(!main.chkLiveRequest->isEnabled());
    QVERIFY(!f.app->session().LiveMode());
}

void TestParamsOnPedal::disconnectDisablesRows()
{
    OnPedal f(QStringLiteral("Deep Chorus X2"));
    TformFXParameters &w = f.window();
    w.boxAssign[1]->setCurrentIndex(1);
    QVERIFY(w.trkPot[0]->isEnabled());
    QVERIFY(w.btnMin[1]->isEnabled());
    f.main().menuDisconnectClick();
    QCOMPARE(f.prompts.messages, QStringList());
    for (int p = 0; p < 3; ++p) {
        QVERIFY(!w.trkPot[p]->isEnabled());
        QVERIFY(!w.boxAssign[p]->isEnabled());
        QVERIFY(!w.chkReverse[p]->isEnabled());
        QVERIFY(!w.lblParamName[p]->isEnabled());
        QVERIFY(!w.btnMin[p]->isEnabled()); // nothing usable on a greyed row, limits included
    }
    QVERIFY(!f.main().btnRequest->isEnabled());
}

void TestParamsOnPedal::closingDisablesRequestAndAssign()
{
    OnPedal f(QStringLiteral("Deep Chorus X2"));
    f.main().btnRequest->setEnabled(true);
    f.main().btnAssign->setEnabled(true);
    f.window().close();
    QVERIFY(!f.main().btnRequest->isEnabled());
    QVERIFY(!f.main().btnAssign->isEnabled());
    QVERIFY(!f.window().trkPot[0]);
}

QTEST_MAIN(TestParamsOnPedal)
#include "tst_paramsonpedal.moc"
