// Save Configuration and Load Configuration, Undo and Compare, through a pseudo-terminal and
// the kernel serial driver to tovel-pedal-sim at 115,200 baud: the frames the pedal parses.
#include "app/effectbrowser.h"
#include "app/tformfxparameters.h"
#include "tests/support/ptyeditor.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// Six pots, two switches, the six-option list "Pattern" (steps of 170).
const QString kEffect = QStringLiteral("Lagoon Chorus");
constexpr int kPattern = 8;

QString levelHex(int level)
{
    return QStringLiteral("%1").arg(quint32(level) << 13, 8, 16, QLatin1Char('0')).toUpper();
}

// Connect, the effect uploaded, Open FX and Request: its rows read from the pedal.
void connectUploadAndRead(PtyEditor &editor)
{
    TformMain &main = editor.main();
    main.menuConnect->trigger();
    QVERIFY(editor.app->session().selectEffect(kEffect));
    editor.prompts.scriptAnswer(Prompts::Answer::Yes);
    main.btnUpload->click();
    main.btnOpenEffect->click();
    main.btnRequest->click();
    QCOMPARE(editor.prompts.messages, QStringList());
}

} // namespace

class TestConfigPty : public QObject {
    Q_OBJECT

private slots:
    void saveThenLoadOnTheSim();
    void undoAndCompareOnTheSim();
};

void TestConfigPty::saveThenLoadOnTheSim()
{
    LoggedSim sim;
    QVERIFY(sim.start());
    PtyEditor editor(sim.process.ptyPath());
    TformMain &main = editor.main();
    TformFXParameters &w = *editor.app->formFXParameters();
    connectUploadAndRead(editor);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(w.trkPot[0]->isEnabled());

    w.trkPot[0]->setValue(600);
    w.trkPot[2]->setValue(300);
    w.cmbMultiSwitch[kPattern]->setCurrentIndex(4);
    int before = sim.mark();
    QVERIFY2(before >= 0, qPrintable(sim.process.errorText()));

    // Save asks the pedal for its state, which already matches the window: nothing goes back.
    main.menuSaveConfiguration->trigger();
    const QString file = QDir(editor.folders.documents()).filePath(QStringLiteral("ZANTH/Tovel/Lagoon Chorus.txt"));
    QCOMPARE(editor.prompts.messages, QStringList{"FX Configuration File Saved\n" + QDir::toNativeSeparators(file)});
    const QStringList saving = sim.framesSince(before);
    QCOMPARE(saving.size(), 1);
    QVERIFY2(saving.first().startsWith(QStringLiteral("fw StateRequest 9 rows: 324 numbers")),
             qPrintable(saving.first()));
    QFile saved(QDir(editor.folders.documents()).filePath(QStringLiteral("ZANTH/Tovel/Lagoon Chorus.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith("600\r\n0\r\n300\r\n"));

    w.trkPot[0]->setValue(100);
    w.trkPot[2]->setValue(50);
    w.cmbMultiSwitch[kPattern]->setCurrentIndex(0);
    before = sim.mark();
    QVERIFY2(before >= 0, qPrintable(sim.process.errorText()));

    main.menuLoadConfiguration->trigger();
    QCOMPARE(editor.prompts.messages.last(), "FX Configuration File Loaded\n" + QDir::toNativeSeparators(file));
    const QStringList loading = sim.framesSince(before);
    QCOMPARE(loading.size(), 3);
    for (const QString &line : loading)
        QVERIFY2(line.startsWith(QStringLiteral("fw ParameterValue ")), qPrintable(line));
    QStringList got = loading;
    for (QString &line : got)
        line = line.section(QLatin1Char(' '), 3); // level and row, without the address
    got.sort();
    QCOMPARE(got, (QStringList{levelHex(300) + " row 2", levelHex(600) + " row 0", levelHex(680) + " row 8"}));
    QCOMPARE(w.trkPot[0]->value(), 600);
    QCOMPARE(w.cmbMultiSwitch[kPattern]->currentIndex(), 4);
}

// A drag undone sends the level before it, once; Compare sends the levels read and then the
// edited ones.
void TestConfigPty::undoAndCompareOnTheSim()
{
    LoggedSim sim;
    QVERIFY(sim.start());
    PtyEditor editor(sim.process.ptyPath());
    TformMain &main = editor.main();
    TformFXParameters &w = *editor.app->formFXParameters();
    connectUploadAndRead(editor);
    if (QTest::currentTestFailed())
        return;
    const int read = w.trkPot[0]->value();
    QVERIFY(!main.menuUndo->isEnabled());

    w.trkPot[0]->sliderPressed();
    for (const int level : {read + 10, read + 60, read + 200})
        w.trkPot[0]->setValue(level);
    w.trkPot[0]->sliderReleased();
    QVERIFY(main.menuUndo->isEnabled());
    int before = sim.mark();
    QVERIFY2(before >= 0, qPrintable(sim.process.errorText()));
    main.menuUndo->trigger();
    QStringList frames = sim.framesSince(before);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().section(QLatin1Char(' '), 3), levelHex(read) + " row 0");
    QCOMPARE(w.trkPot[0]->value(), read);
    QVERIFY(!main.menuUndo->isEnabled());
    QVERIFY(main.menuRedo->isEnabled());

    main.menuRedo->trigger();
    QCOMPARE(w.trkPot[0]->value(), read + 200);
    before = sim.mark();
    QVERIFY2(before >= 0, qPrintable(sim.process.errorText()));
    main.btnCompare->click();
    QVERIFY(main.menuCompare->isChecked());
    QVERIFY2(w.windowTitle().contains("Compare: playing the last read settings"), qPrintable(w.windowTitle()));
    QCOMPARE(w.trkPot[0]->value(), read);
    main.btnCompare->click();
    QVERIFY(!main.menuCompare->isChecked());
    QCOMPARE(w.trkPot[0]->value(), read + 200);
    frames = sim.framesSince(before);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].section(QLatin1Char(' '), 3), levelHex(read) + " row 0");
    QCOMPARE(frames[1].section(QLatin1Char(' '), 3), levelHex(read + 200) + " row 0");
}

QTEST_MAIN(TestConfigPty)
#include "tst_configpty.moc"
