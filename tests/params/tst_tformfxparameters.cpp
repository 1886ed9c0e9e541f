#include "catalogue/catalogueloader.h"
#include "catalogue/resourceindex.h"
#include "core/mainstate.h"
#include "params/tformfxparameters.h"
#include "tests/support/testseams.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

class TestFXParameters : public QObject {
    Q_OBJECT

private slots:
    void captionAndWidth();
    void opensBesideMainWindow_data();
    void opensBesideMainWindow();
    void layoutTraces();
    void noEffectSelected();
    void invalidCountLineIsReported();
};

void TestFXParameters::captionAndWidth()
{
    ScriptedPrompts prompts;
    RecordingConsole console;
    MainState state;
    CatalogueLoader loader(prompts);
    TformFXParameters window(loader, state, console, prompts);
    QCOMPARE(window.windowTitle(), QStringLiteral("FX Parameters"));
    QCOMPARE(window.width(), 499);
    QCOMPARE(window.minimumWidth(), window.maximumWidth());
    QVERIFY(!window.isVisible());
    QCOMPARE(console.lines, QStringList()); // nothing is built before the first show
}

void TestFXParameters::opensBesideMainWindow_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<int>("height");
    QTest::newRow("three-controls") << "Deep Chorus X2" << 135;
    QTest::newRow("twenty-four-controls") << "Arp Sequencer" << 660;
    QTest::newRow("ir-loader-four-controls") << "TRX + IR Loader" << 160;
}

void TestFXParameters::opensBesideMainWindow()
{
    QFETCH(QString, effect);
    QFETCH(int, height);
    ScriptedPrompts prompts;
    RecordingConsole console;
    MainState state;
    CatalogueLoader loader(prompts);
    TformFXParameters window(loader, state, console, prompts);
    QWidget main;
    main.setGeometry(50, 60, 400, 500);
    main.show();
    state.SelectedEffectName = effect;
    window.openBeside(main, effect + QStringLiteral(" v2"));
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), effect + QStringLiteral(" v2"));
    QCOMPARE(window.size(), QSize(499, height));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QCOMPARE(window.frameGeometry().topLeft(),
             QPoint(main.frameGeometry().x() + main.frameGeometry().width(), main.frameGeometry().y()));
    QCOMPARE(prompts.messages, QStringList());
}

void TestFXParameters::layoutTraces()
{
    ScriptedPrompts prompts;
    RecordingConsole console;
    MainState state;
    CatalogueLoader loader(prompts);
    TformFXParameters window(loader, state, console, prompts);
    state.SelectedEffectName = QStringLiteral("Hall Reverb"); // announces 7 pots, lists 6
    QWidget main;
    window.openBeside(main, state.SelectedEffectName);
    QCOMPARE(console.lines, QStringList({"num of pots: 7", "num of switches: 2", "num of multi switch: 0",
                                         "Bass", "Mid", "Treble", "Mix", "Rate", "Depth",
                                         "Polarity:Normal:Invert", "Hold:OFF:ON"}));
    QCOMPARE(window.NumParams(), 9);
    QCOMPARE(window.layout().ParamLines.last(), QString());
    QCOMPARE(window.height(), 285);
}

void TestFXParameters::noEffectSelected()
{
    ScriptedPrompts prompts;
    RecordingConsole console;
    MainState state;
    CatalogueLoader loader(prompts);
    TformFXParameters window(loader, state, console, prompts);
    QWidget main;
    state.SelectedEffectName = QStringLiteral("Arp Sequencer");
    window.openBeside(main, state.SelectedEffectName);
    QCOMPARE(window.NumParams(), 24);
    // With nothing selected the layout is missing: no rows, and the height says so.
    state.SelectedEffectName.clear();
    window.openBeside(main, QStringLiteral("FX Parameters"));
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("Error loading resource: Resource _ctrls not found")});
    QCOMPARE(window.NumParams(), 0);
    QCOMPARE(window.height(), 60);
}

void TestFXParameters::invalidCountLineIsReported()
{
    TempFolders dir;
    QFile layout(dir.root() + QStringLiteral("/BROKEN_CTRLS"));
    QVERIFY(layout.open(QIODevice::WriteOnly));
    layout.write("3a0\r\nLevel\r\nTone\r\nMix");
    layout.close();
    ResourceIndex index(dir.root());
    ScriptedPrompts prompts;
    RecordingConsole console;
    MainState state;
    CatalogueLoader loader(prompts, index);
    TformFXParameters window(loader, state, console, prompts);
    state.SelectedEffectName = QStringLiteral("Broken");
    QWidget main;
    window.openBeside(main, state.SelectedEffectName);
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("'3a0' is not a valid control count line")});
    QCOMPARE(window.NumParams(), 0);
    QVERIFY(window.isVisible());
    QCOMPARE(console.lines, QStringList());
}

QTEST_MAIN(TestFXParameters)
#include "tst_tformfxparameters.moc"
