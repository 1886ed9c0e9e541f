// Open FX followed by Request as one action on the virtual pedal: the pedal's effect chosen,
// its rows open and filled, or the step that stopped it.
#include "actions/linkactions.h"
#include "actions/openfxactions.h"
#include "tests/support/editorfixture.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {
const QString kEffect = QStringLiteral("Lagoon Chorus");
}

class TestOpenFxActions : public QObject {
    Q_OBJECT

private slots:
    void openThePedalsEffect_data();
    void openThePedalsEffect();
};

void TestOpenFxActions::openThePedalsEffect_data()
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

void TestOpenFxActions::openThePedalsEffect()
{
    QFETCH(bool, uploaded);
    QFETCH(bool, request);
    QFETCH(QString, fault);
    QFETCH(QString, step);
    QFETCH(int, exitStatus);

    EditorFixture f;
    f.startOnVirtualPedal();
    EditorSession &session = f.app->session();
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

QTEST_MAIN(TestOpenFxActions)
#include "tst_openfxactions.moc"
