#include "app/windowplacement.h"
#include "tests/support/editorfixture.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

class TestOpenFx : public QObject {
    Q_OBJECT

private slots:
    void opensThePedalsEffect();
    void scriptedAnswer();
    void effectsTheListDoesNotName_data();
    void effectsTheListDoesNotName();
    void answerThatDoesNotConvert();
    void effectInNoCategoryLeavesTheListEmpty();
    void storeSettings();
};

void TestOpenFx::opensThePedalsEffect()
{
    EditorFixture f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.loadOntoPedal("Deep Chorus X2");
    const int version = f.pedal().firmware().effectVersion();
    f.click(f.main().btnOpenEffect);

    QVERIFY(f.prompts.messages.isEmpty());
    QCOMPARE(f.app->session().selection.SelectedEffectName, QStringLiteral("Deep Chorus X2"));
    QCOMPARE(f.app->session().pedal.PedalEffectName, QStringLiteral("Deep Chorus X2"));
    QVERIFY(f.app->session().selection.EffectOnPedal);
    QCOMPARE(f.main().lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 5"));
    QVERIFY(f.main().btnRequest->isEnabled());
    TformFXParameters &window = *f.app->formFXParameters();
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Deep Chorus X2 v%1").arg(version));
    QCOMPARE(window.NumParams(), 3);
    // On the screen, clear of the main window (the test platform's screen has no room beside
    // it: below it).
    QVERIFY(availableGeometryFor(f.main()).contains(window.frameGeometry()));
    QVERIFY(!window.frameGeometry().intersects(f.main().frameGeometry()));
    QCOMPARE(f.pedal().frameLog().isEmpty(), false);

    // The browser shows where the effect lives.
    QListWidgetItem *effect = f.main().lstEffects->currentItem();
    QVERIFY(effect);
    QCOMPARE(effect->text(), QStringLiteral("Deep Chorus X2"));
    QVERIFY(f.main().lstCategory->currentRow() >= 0);

    const QStringList lines = f.consoleLines();
    QCOMPARE(lines.mid(0, 5), (QStringList{"num of bytes received: " + QString::number(lines[0].mid(23).toInt()),
                                            "effect number DEC: " + QString::number(f.pedal().firmware().effectNumber()),
                                            "effect number HEX: " + QString::number(f.pedal().firmware().effectNumber(), 16).toUpper().rightJustified(8, '0'),
                                            "effect version: " + QString::number(version),
                                            "firmware version: 5"}));
    QVERIFY(lines.contains("effetto ottenuto dalla lista: Deep Chorus X2"));
}

void TestOpenFx::scriptedAnswer()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.click(f.main().menuConnect);
    f.driver.onWrite = [&](const QByteArray &bytes) {
        if (bytes == QByteArray::fromHex("0500"))
            f.driver.queueAnswer("TOVEL\r\n12\r\n3\r\n5\r\n", f.clock.nowUs() + 150000);
    };
    f.app->formPrint()->btnClearClick();
    f.click(f.main().btnOpenEffect);
    QVERIFY(f.prompts.messages.isEmpty());
    QCOMPARE(f.app->session().pedal.PedalEffectNumber, 12);
    QVERIFY(f.consoleLines().contains("effect number HEX: 0000000C"));
    QVERIFY(f.app->loader().LoadListResource("effect_list"));
    const QString line12 = f.app->loader().CurrentList().at(12);
    const QString name = line12.mid(line12.indexOf(':') + 1);
    QCOMPARE(f.app->formFXParameters()->windowTitle(), name + " v3");
    QCOMPARE(f.main().lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 5"));
    QCOMPARE(f.pacing.sleeps().first(), 100);
}

void TestOpenFx::effectsTheListDoesNotName_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("fresh-pedal-runs-effect-0") << QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n")
                                                << "The pedal runs no effect. Upload an effect first.";
    QTest::newRow("number-past-the-list") << QByteArray("TOVEL\r\n99\r\n1\r\n5\r\n")
                                           << "The pedal runs effect number 99, which this editor does not know.";
    QTest::newRow("negative-number") << QByteArray("TOVEL\r\n-1\r\n1\r\n5\r\n")
                                      << "The pedal runs effect number -1, which this editor does not know.";
}

void TestOpenFx::effectsTheListDoesNotName()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.click(f.main().menuConnect);
    f.driver.onWrite = [&](const QByteArray &) { f.driver.queueAnswer(answer); };
    f.click(f.main().btnOpenEffect);
    QCOMPARE(f.prompts.messages, QStringList{message});
    QVERIFY(!f.app->formFXParameters()->isVisible());
    QVERIFY(!f.main().btnRequest->isEnabled());
    QVERIFY(!f.app->session().selection.EffectOnPedal);
}

void TestOpenFx::answerThatDoesNotConvert()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    f.click(f.main().menuConnect);
    f.driver.onWrite = [&](const QByteArray &) { f.driver.queueAnswer("TOVEL\r\n12\r\nv3\r\n5\r\n"); };
    f.click(f.main().btnOpenEffect);
    QCOMPARE(f.prompts.messages, QStringList{"'v3' is not a valid integer value"});
    QVERIFY(!f.app->formFXParameters()->isVisible());
    QCOMPARE(f.main().lblFirmwareVersion->text(), QStringLiteral("Firmware Version: "));
}

void TestOpenFx::effectInNoCategoryLeavesTheListEmpty()
{
    EditorFixture f;
    f.start();
    f.main().lstCategory->setCurrentRow(2);
    f.app->session().pedal.PedalEffectName = QStringLiteral("Not In Any Category");
    f.app->browser().pointAtPedalEffect();
    QCOMPARE(f.main().lstEffects->count(), 0);
    QCOMPARE(f.main().lstCategory->currentRow(), 2);
}

void TestOpenFx::storeSettings()
{
    EditorFixture f;
    f.startOnVirtualPedal();
    f.click(f.main().menuConnect);
    f.loadOntoPedal("Hall Reverb"); // its layout announces nine rows
    f.click(f.main().btnOpenEffect);
    QCOMPARE(f.app->formFXParameters()->NumParams(), 9);
    f.app->formPrint()->btnClearClick();
    f.pacing.clearSleeps();
    f.main().btnStoreSettingsOnPedal->setEnabled(true); // as a state request leaves it
    f.click(f.main().btnStoreSettingsOnPedal);
    QCOMPARE(f.consoleLines(), QStringList{"Store settings message (HEX): 0309"});
    QCOMPARE(f.pacing.sleeps(), QList<int>{100});
    QVERIFY(f.pedal().firmware().storedSettings().has_value());
    QCOMPARE(f.pedal().firmware().storedRows(), 9);
}

QTEST_MAIN(TestOpenFx)
#include "tst_openfx.moc"
