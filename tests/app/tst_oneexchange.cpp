// A second click while the editor waits for the pedal, at the modelled 115,200-baud line: the
// exchange that runs finishes alone, the second is refused where the bytes go, and the pedal's
// program and settings are exactly what the player asked for.
#include "app/toggleswitch.h"
#include "app/usbfailuretext.h"
#include "protocol/hextext.h"
#include "tests/support/editorfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kEffect = QStringLiteral("Lagoon Chorus"); // 6 pots, 2 switches, 1 list
const QString kOther = QStringLiteral("Moss Verb");

struct Player : EditorFixture {
    TformFXParameters &window() { return *app->formFXParameters(); }

    // Connected to the virtual pedal at the line rate, kEffect on it, open and read once.
    void prepare()
    {
        pedal::VirtualPedalOptions options;
        options.lineRateBaud = 115200;
        startOnVirtualPedal(options);
        click(main().menuConnect);
        loadOntoPedal(kEffect);
        click(main().btnOpenEffect);
        click(main().btnRequest);
        QVERIFY(prompts.messages.isEmpty());
        QVERIFY(window().trkPot[0]->isEnabled());
        frames(); // what the request sent back has arrived
        pedal().clearFrameLog();
        console().btnClearClick();
        // From now on every answer comes in three pieces 150 ms apart, so that every wait
        // spans event-loop turns, as over a real bridge.
        pedal::PedalFaults split;
        split.splitPieces = 3;
        split.splitGapMs = 150;
        pedal().setFaults(split);
    }
    // Runs `act` once, at the n-th event-loop turn from now.
    void atTurn(int n, std::function<void()> act)
    {
        pacing.onTurn = [n, turns = 0, act]() mutable {
            if (++turns == n)
                act();
        };
    }
    // What the pedal has parsed once the line has carried everything written so far.
    QStringList frames()
    {
        clock.advanceUs(50'000);
        pedal().hostQueued();
        return pedal().frameLog();
    }
    int framesStartingWith(const QString &prefix) { return int(frames().filter(QRegularExpression("^" + prefix)).size()); }
    void selectInBrowser(const QString &effect) { QVERIFY(app->session().selectEffect(effect)); }
};

} // namespace

class TestOneExchange : public QObject {
    Q_OBJECT

private slots:
    void requestDuringOpenFx();
    void openFxDuringAnUpload();
    void openFxTwice();
    void effectClickDuringARequest();
    void parameterWindowClosedDuringARequest();
    void sliderMovedDuringAnUploadGoesAfterIt();
    void mainWindowClosedDuringAWaitEndsTheProgram();
    void unpluggedAndPluggedBackIn();
    void unpluggedWhileIdle();
};

void TestOneExchange::requestDuringOpenFx()
{
    Player f;
    f.prepare();
    f.window().trkPot[1]->setValue(300); // the player's level, on the pedal
    QCOMPARE(f.frames().size(), 1);
    f.pedal().clearFrameLog();
    bool disabledMeanwhile = false;
    f.atTurn(20, [&] {
        disabledMeanwhile = !f.main().btnRequest->isEnabled() && !f.main().btnOpenEffect->isEnabled()
                            && !f.main().lstEffects->isEnabled();
        f.click(f.main().btnRequest);  // greyed: nothing happens
        f.main().btnRequestClick();    // and the handler itself is refused
    });
    f.click(f.main().btnOpenEffect);
    QVERIFY(disabledMeanwhile);
    QCOMPARE(f.frames(), QStringList{"fw EffectQuery 00"});
    QVERIFY(f.prompts.messages.isEmpty());
    QCOMPARE(f.window().windowTitle(), kEffect + " v" + QString::number(f.app->session().pedal.PedalEffectVersion));
    QVERIFY(f.consoleLines().contains("state request not started: the effect query is still running"));
    QCOMPARE(int(f.pedal().firmware().settings().levels[1] >> 13), 300);
    // Afterwards the buttons are as Open FX leaves them.
    QVERIFY(f.main().btnRequest->isEnabled());
    QVERIFY(f.main().btnOpenEffect->isEnabled());
}

void TestOneExchange::openFxDuringAnUpload()
{
    Player f;
    f.prepare();
    f.atTurn(50, [&] {
        f.click(f.main().btnOpenEffect);
        f.main().btnOpenEffectClick();
    });
    f.prompts.scriptAnswer(Prompts::Answer::Yes);
    f.click(f.main().btnUpload);
    QVERIFY(f.app->loader().LoadListResource(EffectResourceName(kEffect)));
    QCOMPARE(f.pedal().firmware().program(), HexToBytes(f.app->loader().CurrentList().first()));
    QCOMPARE(f.frames().size(), 1);
    QVERIFY(f.frames().first().startsWith("fw ProgramUpload 1344 of 1344 bytes"));
    QCOMPARE(f.main().lblStatus->text(), QStringLiteral("Upload complete\r\n"));
    QVERIFY(f.prompts.messages.isEmpty());
}

void TestOneExchange::openFxTwice()
{
    Player f;
    f.prepare();
    f.atTurn(5, [&] { f.main().btnOpenEffectClick(); });
    f.click(f.main().btnOpenEffect);
    QCOMPARE(f.frames(), QStringList{"fw EffectQuery 00"});
    QVERIFY(f.prompts.messages.isEmpty());
    QCOMPARE(f.consoleLines().filter("num of bytes received").size(), 1);
}

// The browser's lists are greyed while the state request waits; an effect chosen anyway (by a
// screen reader, say) rebuilds the window, and the answer, asked for the old rows, is dropped.
void TestOneExchange::effectClickDuringARequest()
{
    Player f;
    f.prepare();
    const QString otherAddress = [&] {
        f.app->loader().LoadListResource(EffectResourceName(kOther));
        return f.app->loader().CurrentList().first().mid(6, 4);
    }();
    f.atTurn(30, [&] {
        QVERIFY(!f.main().lstEffects->isEnabled());
        f.selectInBrowser(kOther);
    });
    f.click(f.main().btnRequest);
    QCOMPARE(f.app->session().selection.SelectedEffectName, kOther);
    QCOMPARE(f.framesStartingWith("fw StateRequest"), 1);
    QCOMPARE(f.framesStartingWith("fw ParameterValue"), 0); // nothing with the new addresses
    QVERIFY(f.consoleLines().contains(
        QStringLiteral("state answer dropped: it was asked for the 9 rows of %1, which are no longer open").arg(kEffect)));
    QVERIFY(!f.window().trkPot[0]->isEnabled()); // Moss Verb does not run on the pedal
    QVERIFY(!otherAddress.isEmpty());
    QVERIFY(f.prompts.messages.filter(QRegularExpression("^(?!How to load an impulse response)")).isEmpty());
}

void TestOneExchange::parameterWindowClosedDuringARequest()
{
    Player f;
    f.prepare();
    f.window().trkPot[2]->setValue(700);
    QCOMPARE(f.frames().size(), 1);
    f.pedal().clearFrameLog();
    f.atTurn(30, [&] { f.window().close(); });
    f.click(f.main().btnRequest);
    QCOMPARE(f.frames().size(), 1);
    QVERIFY(f.frames().first().startsWith("fw StateRequest"));
    QVERIFY(!f.main().btnRequest->isEnabled());
    QVERIFY(!f.main().btnAssign->isEnabled());
    QCOMPARE(int(f.pedal().firmware().settings().levels[2] >> 13), 700);
    QVERIFY(f.prompts.messages.isEmpty());
}

// The rows stay usable while the pedal answers; what moved goes after the exchange, the latest
// value of each row only.
void TestOneExchange::sliderMovedDuringAnUploadGoesAfterIt()
{
    Player f;
    f.prepare();
    QSlider *slider = f.window().trkPot[0];
    const QString address = f.window().ParamAddress[0];
    f.atTurn(40, [&] {
        QVERIFY(slider->isEnabled());
        QVERIFY(!f.window().btnClearMinMax[0] || !f.window().btnClearMinMax[0]->isEnabled());
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(slider, Qt::Key_Right);
        f.window().swSwitch[6]->click();
    });
    f.prompts.scriptAnswer(Prompts::Answer::Yes);
    f.click(f.main().btnUpload);
    QCOMPARE(f.frames().size(), 3);
    QVERIFY(f.frames()[0].startsWith("fw ProgramUpload"));
    QCOMPARE(f.frames()[1], QStringLiteral("fw ParameterValue %1 00006000 row 0").arg(address));
    QVERIFY(f.frames()[2].startsWith("fw ParameterValue " + f.window().ParamAddress[6] + " 007FE000"));
    QCOMPARE(int(f.pedal().firmware().settings().levels[0] >> 13), 3);
}

void TestOneExchange::mainWindowClosedDuringAWaitEndsTheProgram()
{
    Player f;
    f.prepare();
    f.window().show();
    f.console().show();
    pedal::PedalFaults silent;
    silent.noAnswer = true;
    f.pedal().setFaults(silent);
    f.atTurn(10, [&] { f.main().close(); });
    const int turnsBefore = f.pacing.turns();
    QTimer::singleShot(0, f.main().btnOpenEffect, [&] { f.click(f.main().btnOpenEffect); });
    // The event loop ends: the wait ended at once, the handler returned, nothing was shown.
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(f.pacing.turns() - turnsBefore, 10);
    QVERIFY(f.prompts.messages.isEmpty());
    QVERIFY(!f.window().isVisible());
    QVERIFY(!f.console().isVisible());
    QCOMPARE(f.frames(), QStringList{"fw EffectQuery 00"});
}

void TestOneExchange::unpluggedAndPluggedBackIn()
{
    Player f;
    f.prepare();
    f.atTurn(30, [&] { f.pedal().unplug(true); });
    f.click(f.main().btnRequest);
    QCOMPARE(f.prompts.messages, QStringList{"The pedal was disconnected."});
    for (QAbstractButton *b : {static_cast<QAbstractButton *>(f.main().btnUpload), static_cast<QAbstractButton *>(f.main().btnOpenEffect),
                               static_cast<QAbstractButton *>(f.main().btnRequest), static_cast<QAbstractButton *>(f.main().btnAssign),
                               static_cast<QAbstractButton *>(f.main().btnStoreSettingsOnPedal)})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(!f.window().trkPot[0]->isEnabled());
    // A slider set by the program after the loss sends nothing and shows no box.
    f.window().trkPot[0]->setValue(500);
    QCOMPARE(f.prompts.messages.size(), 1);

    f.pedal().unplug(false);
    f.prompts.messages.clear();
    f.click(f.main().menuScan);
    QCOMPARE(f.prompts.messages, QStringList{"ZANTH Tovel found, click Connect"});
    f.click(f.main().menuConnect);
    // The pedal kept its effect and settings; the answer cut off by the cable is gone with it.
    f.click(f.main().btnOpenEffect);
    f.click(f.main().btnRequest);
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY(f.main().btnAssign->isEnabled());
}

// No exchange runs: the driver's news of the unplug, from the event loop, sets the window as
// after Disconnect, with one message.
void TestOneExchange::unpluggedWhileIdle()
{
    Player f;
    f.prepare();
    f.pedal().unplug(true);
    QCOMPARE(f.prompts.messages, QStringList{});
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(f.prompts.messages, QStringList{"The pedal was disconnected."});
    QVERIFY(f.main().menuConnect->isEnabled());
    QVERIFY(!f.main().menuDisconnect->isEnabled());
    QVERIFY(!f.main().btnOpenEffect->isEnabled());
    QVERIFY(!f.window().trkPot[0]->isEnabled());
    f.click(f.main().menuScan);
    QCOMPARE(f.prompts.messages, (QStringList{"The pedal was disconnected.", "No device found\n" + noPedalFoundText()}));
}

QTEST_MAIN(TestOneExchange)
#include "tst_oneexchange.moc"
