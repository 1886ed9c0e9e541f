// Reading the pedal's state back, end to end through the windows on the virtual pedal, and the
// guarded cases on a scripted bridge.
#include "app/toggleswitch.h"
#include "tests/support/editorfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// "Moss Verb": five pots, the switch "Boost:OFF:ON", the eight-option list "Octave".
const QString kEffect = QStringLiteral("Moss Verb");
constexpr int kSwitchRow = 5;
constexpr int kListRow = 6;

struct Player : EditorFixture {
    TformFXParameters &window() { return *app->formFXParameters(); }

    // Category, effect, Upload, Yes: as a player does it.
    void chooseAndUpload(const QString &effect)
    {
        QVERIFY(app->session().selectEffect(effect));
        prompts.messages.removeAll(QStringLiteral("How to load an impulse response:\r\n1) Select an IR load algorithm in Impulse Response category\r\n2) Go to File and click Load IR, choose the desired WAV file\r\n3) Click UPLOAD SELECTED EFFECT button\r\nWorks best with 48kHz sampling rate at a bitrate of 24 or 32 bit"));
        prompts.scriptAnswer(Prompts::Answer::Yes);
        click(main().btnUpload);
    }
    int framesStartingWith(const QString &prefix)
    {
        int n = 0;
        for (const QString &line : pedal().frameLog())
            n += line.startsWith(prefix);
        return n;
    }
};

QByteArray stateAnswer(const QList<int> &numbers)
{
    QByteArray text;
    for (int n : numbers)
        text += QByteArray::number(n) + "\r\n";
    return text;
}

} // namespace

class TestReadBack : public QObject {
    Q_OBJECT

private slots:
    void whatThePedalHoldsComesBack();
    void requestThatChangesAPotSendsItBack();
    void partialOrUnreadableAnswerIsNeverApplied_data();
    void partialOrUnreadableAnswerIsNeverApplied();
    void liveRequestsRepeatUntilUnticked();
    void liveRequestsEndWhenTheLinkGoes();
    void requestWithTheWindowClosed();
};

void TestReadBack::whatThePedalHoldsComesBack()
{
    Player f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.chooseAndUpload(kEffect);
    QCOMPARE(f.main().lblStatus->text(), QStringLiteral("Upload complete\r\n"));

    // Open FX: the window for the pedal's effect, rows unusable until a request.
    f.click(f.main().btnOpenEffect);
    QCOMPARE(f.prompts.messages, QStringList{});
    QVERIFY(!f.window().trkPot[0]->isEnabled());
    QVERIFY(f.main().btnRequest->isEnabled());
    f.click(f.main().btnRequest);
    QVERIFY(f.window().trkPot[0]->isEnabled());
    QVERIFY(f.main().btnAssign->isEnabled() && f.main().btnStoreSettingsOnPedal->isEnabled());

    // The player sets levels, an assignment, a reverse flag and both limits, then Assign, Store.
    TformFXParameters &w = f.window();
    w.boxAssign[0]->setCurrentIndex(1); // EXP
    w.boxAssign[2]->setCurrentIndex(7); // NA
    // A request makes the limit buttons of assigned rows usable; the box keeps its choice.
    f.click(f.main().btnRequest);
    QVERIFY(w.btnMax[0]->isEnabled());
    QCOMPARE(w.boxAssign[0]->currentIndex(), 1);
    QCOMPARE(f.app->params.AssignMatrix[1][0], 1);
    w.trkPot[0]->setValue(700);
    w.trkPot[3]->setValue(1023);
    w.swSwitch[kSwitchRow]->click();
    w.cmbMultiSwitch[kListRow]->setCurrentIndex(5);
    w.chkReverse[1]->setChecked(true);
    w.trkPot[0]->setValue(512);
    f.click(w.btnMax[0]);
    w.trkPot[0]->setValue(100);
    f.click(w.btnMin[0]);
    QCOMPARE(w.btnMax[0]->text(), QStringLiteral("51%"));
    QCOMPARE(w.btnMin[0]->text(), QStringLiteral("10%"));
    w.trkPot[0]->setValue(700);
    f.click(f.main().btnAssign);
    f.click(f.main().btnStoreSettingsOnPedal);
    QVERIFY(f.prompts.messages.isEmpty());
    QVERIFY(f.pedal().firmware().storedSettings().has_value());

    // Another look: the effect clicked again builds fresh rows (sliders at 0, no boxes chosen,
    // limit captions "-"); Open FX and Request show what the pedal holds.
    f.app->browser().pointAtPedalEffect();
    f.app->browser().effetto_cliccato(f.main().lstEffects->currentRow());
    QCOMPARE(w.trkPot[0]->value(), 0);
    QCOMPARE(w.boxAssign[0]->currentIndex(), -1);
    f.click(f.main().btnOpenEffect);
    f.click(f.main().btnRequest);

    QCOMPARE(w.trkPot[0]->value(), 700);
    QCOMPARE(w.trkPot[3]->value(), 1023);
    QCOMPARE(w.trkPot[1]->value(), 0);
    QVERIFY(w.swSwitch[kSwitchRow]->isChecked());
    QCOMPARE(w.lblSwitchState[kSwitchRow]->text(), QStringLiteral("ON"));
    QCOMPARE(w.cmbMultiSwitch[kListRow]->currentIndex(), 5);
    QCOMPARE(w.boxAssign[0]->currentIndex(), 1);
    QCOMPARE(w.boxAssign[1]->currentIndex(), -1);
    QCOMPARE(w.boxAssign[2]->currentIndex(), -1);
    QVERIFY(w.chkReverse[1]->isChecked());
    QVERIFY(!w.chkReverse[0]->isChecked());
    QCOMPARE(f.app->params.AssignMatrix[1][0], 1);
    QVERIFY(f.app->params.IsAssigned[0]);
    // The pedal keeps limits in steps of 8: the maximum 512 as code 63 (512, shown 50%), the
    // minimum 100 as code 12 (104, shown 11%).
    QCOMPARE(f.app->params.MaxLimit[0], 512);
    QCOMPARE(f.app->params.MinLimit[0], 104);
    QCOMPARE(w.btnMax[0]->text(), QStringLiteral("50%"));
    QCOMPARE(w.btnMin[0]->text(), QStringLiteral("11%"));
    QVERIFY(w.btnMin[0]->isEnabled());
    QCOMPARE(w.btnMin[1]->text(), QStringLiteral("-"));
    QVERIFY(!w.btnMin[1]->isEnabled());
    QVERIFY(f.prompts.messages.isEmpty());
}

void TestReadBack::requestThatChangesAPotSendsItBack()
{
    Player f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.loadOntoPedal(kEffect);
    f.click(f.main().btnOpenEffect);
    f.app->exchange().sendBytes(QByteArray::fromHex((QStringLiteral("01") + f.window().ParamAddress[2] + QStringLiteral("00400000")).toLatin1()), false);
    f.app->formPrint()->btnClearClick();
    f.click(f.main().btnRequest);
    QCOMPARE(f.window().trkPot[2]->value(), 512);
    // The slider the request moved sends its level back; the others did not change.
    QCOMPARE(f.consoleLines().filter("data sent pot").size(), 1);
    QVERIFY(f.consoleLines().contains("data sent pot 2: 01" + f.window().ParamAddress[2] + "00400000"));
    QCOMPARE(f.pedal().firmware().settings().levels[2], 512u << 13);
}

void TestReadBack::partialOrUnreadableAnswerIsNeverApplied_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    // 7 rows need 4 x 7 + 288 numbers.
    QList<int> whole(4 * 7 + 288, 0);
    whole[1] = 64; // row 0 at 512
    QTest::newRow("two-rows-and-nothing-more")
        << stateAnswer({0, 64, 0, 0, 0, 0, 32, 0})
        << "The pedal's answer to the state request was incomplete.";
    QByteArray letter = stateAnswer(whole);
    letter.replace(letter.indexOf("0\r\n0\r\n0\r\n0\r\n"), 1, "1k");
    QTest::newRow("a-letter-in-a-number") << letter
                                          << "The pedal's answer to the state request could not be read.";
    QTest::newRow("binary-noise") << QByteArray::fromHex("B0FD915267FDC2E2541DB0FD")
                                  << "The pedal's answer to the state request could not be read.";
    QTest::newRow("nothing") << QByteArray() << "The pedal did not answer the state request.";
}

void TestReadBack::partialOrUnreadableAnswerIsNeverApplied()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    Player f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.click(f.main().menuConnect);
    f.driver.effectQueryAnswer = effectQueryAnswerFor(kEffect);
    f.click(f.main().btnOpenEffect);
    QVERIFY(f.main().btnRequest->isEnabled());
    f.window().trkPot[1]->setValue(300);
    f.driver.onWrite = [&](const QByteArray &bytes) {
        if (bytes.startsWith('\x02') && !answer.isEmpty())
            f.driver.queueAnswer(answer);
    };
    const int writesBefore = int(f.driver.writes.size());
    f.click(f.main().btnRequest);
    QCOMPARE(f.prompts.messages, QStringList{message});
    QCOMPARE(f.window().trkPot[0]->value(), 0);
    QCOMPARE(f.window().trkPot[1]->value(), 300);
    QCOMPARE(f.driver.writes.size(), writesBefore + 1); // the request itself, nothing sent back
    QVERIFY(f.app->session().pedal.ReceivedBytes.isEmpty());
    // The window as before the request: Request can be clicked again, Assign and Store not.
    QVERIFY(f.main().btnRequest->isEnabled());
    QVERIFY(!f.main().btnAssign->isEnabled());
}

void TestReadBack::liveRequestsRepeatUntilUnticked()
{
    Player f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.loadOntoPedal(kEffect);
    f.click(f.main().btnOpenEffect);
    f.app->session().setLiveMode(true);
    int requests = 0;
    f.pedal().clearFrameLog();
    f.app->formPrint()->btnClearClick();
    f.pacing.onTurn = [&] {
        requests = f.framesStartingWith("fw StateRequest");
        if (requests == 5)
            f.app->session().setLiveMode(false); // the player unticks Live Request
    };
    f.click(f.main().btnRequest);
    QCOMPARE(f.framesStartingWith("fw StateRequest"), 5);
    // Live requests refresh the levels only; sliders do not send in live mode, lists do (the
    // list's first choice after the window was built).
    QCOMPARE(f.consoleLines().filter("data sent pot").size(), 0);
    QCOMPARE(f.consoleLines().filter("data sent multiswitch").size(), 1);
    QCOMPARE(f.consoleLines().filter("num of bytes received: " + QString::number(4 * 7 + 288)).size(), 5);
}

void TestReadBack::liveRequestsEndWhenTheLinkGoes()
{
    Player f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.loadOntoPedal(kEffect);
    f.click(f.main().btnOpenEffect);
    f.click(f.main().btnRequest);
    f.app->session().setLiveMode(true);
    f.pedal().unplug(true);
    f.click(f.main().btnRequest);
    // One message for the loss; the repetition ends and the window is as after Disconnect.
    QCOMPARE(f.prompts.messages, QStringList{"The pedal was disconnected."});
    QVERIFY(!f.main().btnRequest->isEnabled());
    QVERIFY(!f.main().btnAssign->isEnabled());
    QVERIFY(!f.main().btnOpenEffect->isEnabled());
    QVERIFY(f.main().menuConnect->isEnabled());
    QVERIFY(!f.main().lblDeviceName->text().contains("connected"));
}

void TestReadBack::requestWithTheWindowClosed()
{
    Player f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.loadOntoPedal(kEffect);
    f.click(f.main().btnOpenEffect);
    f.window().close();
    f.main().btnRequest->setEnabled(true);
    f.click(f.main().btnRequest);
    QVERIFY(f.prompts.messages.isEmpty());
    QVERIFY(f.window().trkPot[0] == nullptr);
    QCOMPARE(f.app->session().pedal.ReceivedBytes.size(), 4 * 7 + 288);
}

QTEST_MAIN(TestReadBack)
#include "tst_readback.moc"
