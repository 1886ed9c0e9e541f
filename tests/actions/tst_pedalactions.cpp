// The actions on the virtual pedal, below the windows: each against every state the pedal can
// be in, and Open FX followed by Request as one action.
#include "actions/firmwareactions.h"
#include "actions/linkactions.h"
#include "actions/openfxactions.h"
#include "actions/uploadactions.h"
#include "tests/support/sessionfixture.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {
const QString kEffect = QStringLiteral("Lagoon Chorus");
}

class TestPedalActions : public QObject {
    Q_OBJECT

private slots:
    void actionAgainstPedalState_data();
    void actionAgainstPedalState();
    void unreadableNumbersAreABadAnswer_data();
    void unreadableNumbersAreABadAnswer();
    void openThePedalsEffect_data();
    void openThePedalsEffect();
};

void TestPedalActions::actionAgainstPedalState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("refusal"); // how the failure's message starts; empty: it runs
    QTest::addColumn<int>("advice");      // what the failure tells the front ends to advise

    using A = ActionFailure::Advice;
    const int none = int(A::ByKind);
    const QString noPedal = QStringLiteral("No pedal is connected.");
    const QString upgradeMode = QStringLiteral("The pedal is connected to its bootloader: the %1 speaks to the effect "
                                               "firmware and was not sent.");
    const QString normalMode = QStringLiteral("The pedal is connected in its normal mode: the firmware upgrade speaks to "
                                              "the controller's bootloader and was not started.");
    const QString found = QStringLiteral("The pedal is in its bootloader: finish the firmware upgrade first.");
    const QList<std::pair<QString, QString>> effectActions = {
        {"upload", "upload"}, {"query", "effect query"}, {"request", "state request"},
        {"assign", "assignment table"}, {"store", "store settings"}, {"limit", "limit setting"}};
    for (const auto &[action, step] : effectActions) {
        QTest::newRow(qPrintable("no-pedal/" + action)) << "no-pedal" << action << noPedal << int(A::ConnectFirst);
        QTest::newRow(qPrintable("link-open/" + action)) << "link-open" << action << QString() << none;
        QTest::newRow(qPrintable("in-step/" + action)) << "in-step" << action << QString() << none;
        QTest::newRow(qPrintable("out-of-step/" + action)) << "out-of-step" << action << QString() << none;
        QTest::newRow(qPrintable("bootloader/" + action))
            << "bootloader" << action << upgradeMode.arg(step) << int(A::LeaveUpgradeMode);
        QTest::newRow(qPrintable("bootloader-on-the-effect-link/" + action))
            << "bootloader-on-the-effect-link" << action
            << (action == "query" ? found : found + QStringLiteral(" The %1 was not sent.").arg(step))
            << int(A::FinishUpgrade);
    }
    QTest::newRow("no-pedal/flash") << "no-pedal" << "flash" << noPedal << int(A::ConnectFirst);
    QTest::newRow("link-open/flash") << "link-open" << "flash" << normalMode << int(A::EnterUpgradeMode);
    QTest::newRow("in-step/flash") << "in-step" << "flash" << normalMode << int(A::EnterUpgradeMode);
    QTest::newRow("out-of-step/flash") << "out-of-step" << "flash" << normalMode << int(A::EnterUpgradeMode);
    QTest::newRow("bootloader/flash") << "bootloader" << "flash" << QString() << none;
    QTest::newRow("bootloader-on-the-effect-link/flash")
        << "bootloader-on-the-effect-link" << "flash" << normalMode << int(A::EnterUpgradeMode);
}

// Every action says what it needs of the pedal: it runs where that holds (checking the line
// first where it is not known to be in step), and is refused with its message otherwise,
// with nothing of its own sent.
void TestPedalActions::actionAgainstPedalState()
{
    QFETCH(QString, state);
    QFETCH(QString, action);
    QFETCH(QString, refusal);
    QFETCH(int, advice);

    SessionFixture f;
    pedal::VirtualPedalOptions options;
    options.bootloader = state.startsWith("bootloader");
    f.startOnVirtualPedal(options);
    EditorSession &session = *f.session;
    if (state == "bootloader" || state == "bootloader-on-the-effect-link") {
        session.setFirmwareUpgradeMode(true);
        QVERIFY(connectPedal(session).value.greeted);
        if (state == "bootloader-on-the-effect-link") {
            // Left in its bootloader, then connected to as if it ran its effect firmware.
            QVERIFY(disconnectPedal(session));
            session.setFirmwareUpgradeMode(false);
            QVERIFY(connectPedal(session));
        }
    } else if (state != "no-pedal") {
        QVERIFY(connectPedal(session));
        f.loadOntoPedal(kEffect);
        if (state != "link-open")
            f.checkLine();
        if (state == "out-of-step")
            session.pedalState().lostStep(QStringLiteral("an answer that did not come whole"));
    }
    QVERIFY(session.chooseEffect(kEffect));
    f.prompts.messages.clear();
    f.pedal().clearFrameLog();
    const QByteArray flash = f.pedal().flash();

    std::optional<ActionFailure> failure;
    QString sent; // how the action's own frame starts in the pedal's log
    if (action == "upload") {
        failure = uploadSelectedEffect(session).failure;
        sent = "fw ProgramUpload";
    } else if (action == "query") {
        failure = queryEffect(session).failure;
        sent = "fw EffectQuery";
    } else if (action == "request") {
        failure = requestState(session).failure;
        sent = "fw StateRequest";
    } else if (action == "assign") {
        failure = assignControls(session).failure;
        sent = "fw AssignmentTable";
    } else if (action == "store") {
        failure = storeSettings(session).failure;
        sent = "fw StoreSettings";
    } else if (action == "limit") {
        failure = setLimit(session, 0, LimitAction::Clear, 0).failure;
        sent = "fw ParameterLimit";
    } else if (action == "flash") {
        FirmwareChoice choice;
        choice.SelectedFirmwareName = QStringLiteral("Firmware_5");
        choice.SelectedFirmwareVariant = 5;
        UpgradeOptions upgrade;
        upgrade.backup = false;
        upgrade.fast = true;
        failure = flashFirmware(session, choice, upgrade).failure;
        sent = "boot ERASE";
    }
    const QStringList frames = f.pedal().frameLog();
    const bool reached = !frames.filter(QRegularExpression("^" + QRegularExpression::escape(sent))).isEmpty();
    if (refusal.isEmpty()) {
        QVERIFY2(!failure, qPrintable(failure ? failure->message : QString()));
        QVERIFY2(reached, qPrintable(frames.join('|')));
        QVERIFY(action == "flash" || session.pedalState().inStep());
        return;
    }
    QVERIFY(failure);
    QVERIFY2(failure->message.startsWith(refusal), qPrintable(failure->message));
    QCOMPARE(int(failure->advice), advice);
    QVERIFY2(!reached || (action == "query" && state != "no-pedal"), qPrintable(frames.join('|')));
    // Nothing but a question reached a bootloader, and its flash is as it was.
    for (const QString &frame : frames)
        QVERIFY2(frame.startsWith("fw EffectQuery") || !frame.startsWith("fw ") || !options.bootloader, qPrintable(frame));
    QVERIFY(f.pedal().flash() == flash);
}

void TestPedalActions::unreadableNumbersAreABadAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty-effect-number") << QByteArray("TOVEL\r\n\r\n1\r\n5\r\n") << "'' is not a valid integer value";
    QTest::newRow("eleven-digits") << QByteArray("TOVEL\r\n12345678901\r\n1\r\n5\r\n")
                                   << "'12345678901' is not a valid integer value";
    QTest::newRow("letters-in-the-version") << QByteArray("TOVEL\r\n12\r\nv3\r\n5\r\n") << "'v3' is not a valid integer value";
}

// A number in the pedal's answer that does not read is the pedal's answer gone wrong, not the
// user's: the command line's exit status 3.
void TestPedalActions::unreadableNumbersAreABadAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    SessionFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.driver.effectQueryAnswer = answer;
    f.start();
    EditorSession &session = *f.session;
    QVERIFY(connectPedal(session));
    const ActionResult<EffectQueryResult> result = queryEffect(session);
    QVERIFY(result.failure);
    QCOMPARE(result.failure->kind, ActionFailure::Kind::PedalAnswer);
    QCOMPARE(result.failure->exitStatus(), 3);
    QCOMPARE(result.failure->message, message);
    QVERIFY(!session.pedalState().inStep());
}

void TestPedalActions::openThePedalsEffect_data()
{
    QTest::addColumn<bool>("uploaded");
    QTest::addColumn<bool>("request");
    QTest::addColumn<QString>("fault"); // "garbage": every answer after the upload is noise
    QTest::addColumn<QString>("step");  // the failed step; empty: none
    QTest::addColumn<int>("exitStatus");

    QTest::newRow("runs-the-effect-rows-filled") << true << true << "" << "" << 0;
    QTest::newRow("runs-the-effect-rows-only") << true << false << "" << "" << 0;
    QTest::newRow("runs-no-effect") << false << true << "" << "effect query" << 3;
    QTest::newRow("answers-noise") << true << true << "garbage" << "effect query" << 3;
}

void TestPedalActions::openThePedalsEffect()
{
    QFETCH(bool, uploaded);
    QFETCH(bool, request);
    QFETCH(QString, fault);
    QFETCH(QString, step);
    QFETCH(int, exitStatus);

    SessionFixture f;
    f.startOnVirtualPedal();
    EditorSession &session = *f.session;
    QVERIFY(connectPedal(session));
    if (uploaded)
        f.loadOntoPedal(kEffect);
    // The pedal holds a level the fresh rows do not.
    f.pedal().firmware().settings().levels[2] = 700u << 13;
    if (fault == "garbage") {
        pedal::PedalFaults faults;
        faults.garbage = true;
        f.pedal().setFaults(faults);
    }

    const ActionResult<EffectQueryResult> result = openPedalEffect(session, request);
    if (!step.isEmpty()) {
        QVERIFY(result.failure);
        QCOMPARE(result.failure->step, step);
        QCOMPARE(result.failure->exitStatus(), exitStatus);
        QVERIFY(!session.selection.EffectOnPedal);
        return;
    }
    QVERIFY2(!result.failure, qPrintable(result.failure ? result.failure->message : QString()));
    QCOMPARE(result.value.effect, kEffect);
    QCOMPARE(session.selection.SelectedEffectName, kEffect);
    const SettingsModel &model = session.settings();
    QVERIFY(model.isOpen());
    QCOMPARE(model.rows().count(), 9);
    // Filled and usable after the request; as they opened, and held back, without it.
    QCOMPARE(model.rowsEnabled(), request);
    QCOMPARE(model.values(2).value, request ? 700 : 0);
}

QTEST_MAIN(TestPedalActions)
#include "tst_pedalactions.moc"
