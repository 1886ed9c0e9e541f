// Configuration files through the windows of the whole editor, on the virtual pedal.
#include "app/savedsoundslist.h"
#include "app/toggleswitch.h"
#include "pedal/effectfirmware.h"
#include "pedal/virtualpedal.h"
#include "tests/support/editorfixture.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// "Fifth Harmony": pots "Mid" and "Treble", switches "Hold:OFF:ON" and "Kill:OFF:ON", the
// four-option list "Sine Range". Its file has 3 x 5 + 2 x 2 = 19 lines.
const QString kEffect = QStringLiteral("Fifth Harmony");
constexpr int kHold = 2;
constexpr int kKill = 3;
constexpr int kRange = 4;
const QString kLoaded = QStringLiteral("FX Configuration File Loaded");
const QString kSaved = QStringLiteral("FX Configuration File Saved");

// A save or load message as the window shows it: its first line, then the file's path on a
// line of its own, then whatever followed the first line.
QString withPath(const QString &message, const QString &path)
{
    QStringList lines = message.split(QLatin1Char('\n'));
    lines.insert(1, QDir::toNativeSeparators(path));
    return lines.join(QLatin1Char('\n'));
}

QByteArray crlf(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toLatin1() + "\r\n";
    return text;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Connected, the effect on the pedal, Open FX and one Request: the rows usable.
struct Player : EditorFixture {
    Player()
    {
        startOnVirtualPedal();
        click(main().menuConnect);
        loadOntoPedal(kEffect);
        click(main().btnOpenEffect);
        click(main().btnRequest);
        pedal().clearFrameLog();
    }
    TformFXParameters &window() { return *app->formFXParameters(); }
    QString folder() const { return QDir(folders.documents()).filePath(QStringLiteral("ZANTH/Tovel")); }
    QString fixedPath() const { return folder() + QStringLiteral("/Fifth Harmony.txt"); }
    void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QStringList frames() { return pedal().frameLog(); }
    quint32 pedalLevel(int row) { return pedal().firmware().settings().levels[row]; }
};

} // namespace

class TestConfigOnPedal : public QObject {
    Q_OBJECT

private slots:
    void loadCases_data();
    void loadCases();
    void saveAndLoadRoundTrip();
    void saveAsAndLoadFromAnotherName();
    void failedRequestWritesNothing();
    void closedWindowIsRefused();
    void effectNotOnThePedalSendsNothing();
    void whereTheFileCannotGo();
    void fileOfAnotherLayoutAppliesNothingUnlessAsked();
    void saveRefusedWithoutTheEffectsState_data();
    void saveRefusedWithoutTheEffectsState();
    void listsTellAssistiveTechnologyTheirEntry();
    void savedSoundsWindowLoadsWhatIsChosen();
};

void TestConfigOnPedal::loadCases_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("pot0");
    QTest::addColumn<int>("pot1");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("box0");
    QTest::addColumn<bool>("reverse0");
    QTest::addColumn<QString>("min0");
    QTest::addColumn<int>("minLimit0");
    QTest::addColumn<int>("frames"); // ParameterValue commands the load sent

    // Values, assignments, reverse flags, minima, maxima. Row 0 is on "II" before the load,
    // row 1 on nothing.
    const QStringList whole{"300", "400", "0", "1023", "256", "EXP", "NA", "NA", "SW", "NA",
                            "T", "F", "F", "F", "F", "26", "40", "80", "90"};
    auto with = [&whole](int line, const QString &text) {
        QStringList lines = whole;
        lines[line - 1] = text;
        return lines;
    };
    const QString refused = QStringLiteral("Line %1 of the configuration file is not a whole number: \"%2\". "
                                           "Nothing was loaded.");

    QTest::newRow("whole-file") << true << whole << kLoaded << 300 << 400 << false << 1 << 1 << true
                                << "26%" << 256 << 3;
    QTest::newRow("na-keeps-the-current-assignment")
        << true << with(6, "NA") << kLoaded << 300 << 400 << false << 1 << 2 << true << "26%" << 256 << 3;
    QTest::newRow("four-option-row-512-selects-option-2")
        << true << with(5, "512") << kLoaded << 300 << 400 << false << 2 << 1 << true << "26%" << 256 << 3;
    QTest::newRow("switch-value-1-turns-it-on")
        << true << with(3, "1") << kLoaded << 300 << 400 << true << 1 << 1 << true << "26%" << 256 << 3;
    QTest::newRow("negative-switch-value-turns-it-off")
        << true << with(3, "-1") << kLoaded << 300 << 400 << false << 1 << 1 << true << "26%" << 256 << 3;
    // The whole file is checked before anything is applied: a bad line changes and sends nothing.
    QTest::newRow("bad-value-changes-nothing")
        << true << with(2, "4OO") << refused.arg(2).arg("4OO") << 100 << 200 << false << 0 << 2 << false
        << "-" << 0 << 0;
    QTest::newRow("bad-percentage-of-a-row-the-file-assigns-changes-nothing")
        << true << with(16, "x") << refused.arg(16).arg("x") << 100 << 200 << false << 0 << 2 << false
        << "-" << 0 << 0;
    QTest::newRow("bad-percentage-of-an-unassigned-row-is-not-read")
        << true << with(17, "x") << kLoaded << 300 << 400 << false << 1 << 1 << true << "26%" << 256 << 3;
    // A file of another length asks first (the answer is Yes here; No in fileOfAnotherLayout).
    QTest::newRow("short-file-loads-what-it-holds")
        << true << whole.mid(0, 6) << kLoaded << 300 << 400 << false << 1 << 1 << false << "-" << 0 << 3;
    QTest::newRow("values-out-of-range-are-clamped-and-said")
        << true << with(1, "1500") << kLoaded + "\n\nValues outside their range were taken as the nearest one:\n"
                                       "line 1 (Mid): 1500 became 1023"
        << 1023 << 400 << false << 1 << 1 << true << "26%" << 256 << 3;
    QTest::newRow("percentage-out-of-range-is-clamped-and-said")
        << true << with(16, "0") << kLoaded + "\n\nValues outside their range were taken as the nearest one:\n"
                                      "line 16 (Mid minimum): 0% became 1%"
        << 300 << 400 << false << 1 << 1 << true << "1%" << 0 << 3;
    QTest::newRow("no-file-changes-nothing")
        << false << QStringList() << QStringLiteral("No configuration file has been saved for Fifth Harmony")
        << 100 << 200 << false << 0 << 2 << false << "-" << 0 << 0;
}

void TestConfigOnPedal::loadCases()
{
    QFETCH(bool, exists);
    QFETCH(QStringList, lines);
    QFETCH(QString, message);

    Player f;
    TformFXParameters &w = f.window();
    w.trkPot[0]->setValue(100);
    w.trkPot[1]->setValue(200);
    w.boxAssign[0]->setCurrentIndex(2);
    f.pedal().clearFrameLog();
    if (exists)
        f.writeFile(f.fixedPath(), crlf(lines));
    const bool otherLength = exists && lines.size() != 19;
    if (otherLength)
        f.prompts.scriptAnswer(Prompts::Answer::Yes);

    f.click(f.main().menuLoadConfiguration);

    QCOMPARE(f.prompts.messages, QStringList{message.startsWith(kLoaded) ? withPath(message, f.fixedPath()) : message});
    QCOMPARE(f.prompts.questions.size(), otherLength ? 1 : 0);
    QVERIFY(f.prompts.surprises.isEmpty());
    QTEST(w.trkPot[0]->value(), "pot0");
    QTEST(w.trkPot[1]->value(), "pot1");
    QTEST(w.swSwitch[kHold]->isChecked(), "hold");
    QCOMPARE(w.lblSwitchState[kHold]->text(), QStringLiteral("OFF")); // a switch set here keeps it
    QTEST(w.cmbMultiSwitch[kRange]->currentIndex(), "range");
    QTEST(w.boxAssign[0]->currentIndex(), "box0");
    QTEST(w.chkReverse[0]->isChecked(), "reverse0");
    QTEST(w.btnMin[0]->text(), "min0");
    QTEST(f.app->params.MinLimit[0], "minLimit0");
    // Row 1 has no pedal control: its limits are not shown whatever the file says.
    QCOMPARE(w.boxAssign[1]->currentIndex(), -1);
    QCOMPARE(w.btnMin[1]->text(), QStringLiteral("-"));
    QVERIFY(!w.btnMin[1]->isEnabled());
    QCOMPARE(f.app->params.MinLimit[1], 0);

    // Only the sliders and the list that moved were sent, once each, after the load.
    QFETCH(int, frames);
    QCOMPARE(f.frames().size(), frames);
    for (const QString &line : f.frames())
        QVERIFY2(line.startsWith(QStringLiteral("fw ParameterValue")), qPrintable(line));
    QCOMPARE(f.pedalLevel(0), quint32(w.trkPot[0]->value()) << 13);
    QCOMPARE(f.app->exchange().deferredCount(), 0);
}

void TestConfigOnPedal::saveAndLoadRoundTrip()
{
    Player f;
    TformFXParameters &w = f.window();
    TformMain &m = f.main();

    // The player sets every kind of row, two assignments, a reverse flag, sends them with
    // Assign and reads them back, then sets limits with the sliders.
    w.trkPot[0]->setValue(700);
    w.trkPot[1]->setValue(512);
    w.swSwitch[kHold]->click();
    w.cmbMultiSwitch[kRange]->setCurrentIndex(3);
    w.boxAssign[0]->setCurrentIndex(1); // EXP
    w.boxAssign[1]->setCurrentIndex(6); // SW
    w.chkReverse[1]->setChecked(true);
    f.click(m.btnAssign);
    f.click(m.btnRequest);
    w.trkPot[0]->setValue(512);
    f.click(w.btnMin[0]);
    w.trkPot[0]->setValue(1023);
    f.click(w.btnMax[0]);
    w.trkPot[1]->setValue(256);
    f.click(w.btnMin[1]);
    w.trkPot[0]->setValue(700);
    w.trkPot[1]->setValue(512);
    QCOMPARE(f.prompts.messages, QStringList());

    f.click(m.menuSaveConfiguration);
    QCOMPARE(f.prompts.messages, QStringList{withPath(kSaved, f.fixedPath())});
    QCOMPARE(readAll(f.fixedPath()),
             crlf({"700", "512", "1023", "0", "768", "EXP", "SW", "NA", "NA", "NA", "F", "T", "F", "F", "F",
                   "51", "26", "100", "100"}));

    // Everything changed again.
    w.trkPot[0]->setValue(10);
    w.trkPot[1]->setValue(20);
    w.swSwitch[kHold]->click();
    QCOMPARE(w.lblSwitchState[kHold]->text(), QStringLiteral("OFF"));
    w.swSwitch[kKill]->click();
    w.cmbMultiSwitch[kRange]->setCurrentIndex(0);
    w.boxAssign[0]->setCurrentIndex(3); // III
    w.chkReverse[0]->setChecked(true);
    w.chkReverse[1]->setChecked(false);
    f.click(w.btnClearMinMax[0]);
    w.trkPot[1]->setValue(900);
    f.click(w.btnMax[1]);
    f.pedal().clearFrameLog();
    f.prompts.messages.clear();

    f.click(m.menuLoadConfiguration);
    QCOMPARE(f.prompts.messages, QStringList{withPath(kLoaded, f.fixedPath())});
    QCOMPARE(w.trkPot[0]->value(), 700);
    QCOMPARE(w.trkPot[1]->value(), 512);
    QVERIFY(w.swSwitch[kHold]->isChecked());
    QVERIFY(!w.swSwitch[kKill]->isChecked());
    QCOMPARE(w.cmbMultiSwitch[kRange]->currentIndex(), 3);
    QCOMPARE(w.boxAssign[0]->currentIndex(), 1);
    QCOMPARE(w.boxAssign[1]->currentIndex(), 6);
    QCOMPARE(f.app->params.AssignMatrix[1][0], 1);
    QCOMPARE(f.app->params.AssignMatrix[3][0], 0);
    QCOMPARE(f.app->params.AssignMatrix[6][1], 1);
    QVERIFY(!w.chkReverse[0]->isChecked());
    QVERIFY(w.chkReverse[1]->isChecked());
    const QStringList captions{w.btnMin[0]->text(), w.btnMax[0]->text(), w.btnMin[1]->text(), w.btnMax[1]->text()};
    QCOMPARE(captions, (QStringList{"51%", "100%", "26%", "100%"}));
    for (QPushButton *b : {w.btnMin[0], w.btnMax[0], w.btnMin[1], w.btnMax[1]})
        QVERIFY(b->isEnabled());
    QCOMPARE(f.app->params.MinLimit[0], 512);
    QCOMPARE(f.app->params.MaxLimit[0], 1023);
    QCOMPARE(f.app->params.MinLimit[1], 256);
    QCOMPARE(f.app->params.MaxLimit[1], 1023);

    // The load sent the two sliders and the list, nothing else: switches and limits stay local.
    const QStringList sent = f.frames();
    QCOMPARE(sent.size(), 3);
    for (const QString &line : sent)
        QVERIFY2(line.startsWith(QStringLiteral("fw ParameterValue")), qPrintable(line));
    QCOMPARE(f.pedalLevel(0), 700u << 13);
    QCOMPARE(f.pedalLevel(1), 512u << 13);
    QCOMPARE(f.pedalLevel(kRange), 768u << 13);
    QCOMPARE(f.pedalLevel(kHold), 0u);
}

void TestConfigOnPedal::saveAsAndLoadFromAnotherName()
{
    Player f;
    TformFXParameters &w = f.window();
    TformMain &m = f.main();
    const QString preset = f.folder() + QStringLiteral("/Bright lead.txt");
    w.trkPot[0]->setValue(640);
    f.pedal().clearFrameLog();

    // Cancelled: no state request, no file.
    f.prompts.scriptFile(QString());
    f.click(m.menuSaveConfigurationAs);
    QCOMPARE(f.prompts.dialogPaths, QStringList{f.fixedPath()});
    QCOMPARE(f.prompts.filters, QStringList{"Configuration Files (*.txt)|*.txt"});
    QVERIFY(f.frames().isEmpty());
    QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList());

    f.prompts.scriptFile(f.folder() + QStringLiteral("/Bright lead")); // ".txt" added
    f.click(m.menuSaveConfigurationAs);
    QCOMPARE(f.prompts.messages.size(), 1);
    QCOMPARE(f.prompts.messages.first().section(QLatin1Char('\n'), 0, 0), kSaved);
    QCOMPARE(readAll(preset).left(5), QByteArray("640\r\n"));
    QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList{"Bright lead.txt"});

    w.trkPot[0]->setValue(5);
    f.pedal().clearFrameLog();
    f.prompts.scriptFile(QString());
    f.click(m.menuLoadConfigurationFrom);
    QCOMPARE(f.prompts.dialogPaths.last(), f.folder());
    QCOMPARE(w.trkPot[0]->value(), 5);
    QVERIFY(f.frames().isEmpty());

    f.prompts.scriptFile(preset);
    f.click(m.menuLoadConfigurationFrom);
    QCOMPARE(w.trkPot[0]->value(), 640);
    QCOMPARE(f.prompts.messages.last().section(QLatin1Char('\n'), 0, 0), kLoaded);

    // A wrong choice of something large is not read.
    const QString big = f.folder() + QStringLiteral("/recording.txt");
    f.writeFile(big, QByteArray(100 * 1024, '7'));
    f.prompts.scriptFile(big);
    f.click(m.menuLoadConfigurationFrom);
    QCOMPARE(f.prompts.messages.last(), QStringLiteral("recording.txt is not a configuration file: it is larger than 64 KB."));
    QCOMPARE(w.trkPot[0]->value(), 640);

    // The fixed entry keeps its own file, which Save As did not write.
    f.click(m.menuLoadConfiguration);
    QCOMPARE(f.prompts.messages.last(), QStringLiteral("No configuration file has been saved for Fifth Harmony"));
    QVERIFY(f.prompts.surprises.isEmpty());
}

void TestConfigOnPedal::failedRequestWritesNothing()
{
    Player f;
    f.click(f.main().menuSaveConfiguration);
    const QByteArray saved = readAll(f.fixedPath());
    QVERIFY(!saved.isEmpty());

    f.window().trkPot[0]->setValue(333);
    pedal::PedalFaults faults;
    faults.shortAnswers = true;
    f.pedal().setFaults(faults);
    f.prompts.messages.clear();
    f.click(f.main().menuSaveConfiguration);
    QCOMPARE(f.prompts.messages.size(), 1); // the request's own message
    QVERIFY(!f.prompts.messages[0].startsWith(kSaved));
    QCOMPARE(readAll(f.fixedPath()), saved);
}

void TestConfigOnPedal::closedWindowIsRefused()
{
    Player f;
    f.click(f.main().menuSaveConfiguration);
    f.window().close();
    f.pedal().clearFrameLog();
    f.prompts.messages.clear();
    const QString closed = QStringLiteral("No effect's rows are open: choose the effect to save or load its configuration.");

    f.click(f.main().menuSaveConfiguration);
    f.click(f.main().menuLoadConfiguration);
    f.click(f.main().menuSaveConfigurationAs);
    f.click(f.main().menuLoadConfigurationFrom);
    QCOMPARE(f.prompts.messages, QStringList(4, closed));
    QVERIFY(f.frames().isEmpty());
    QVERIFY(f.prompts.surprises.isEmpty());
}

void TestConfigOnPedal::effectNotOnThePedalSendsNothing()
{
    Player f;
    f.writeFile(f.fixedPath(), crlf({"300", "400", "0", "1023", "512", "EXP", "NA", "NA", "NA", "NA",
                                     "F", "F", "F", "F", "F", "1", "1", "100", "100"}));
    // The player has clicked the effect in the browser while the pedal runs another.
    f.app->session().selection.EffectOnPedal = false;
    f.click(f.main().menuLoadConfiguration);
    QCOMPARE(f.prompts.messages.size(), 1);
    QCOMPARE(f.prompts.messages.first().section(QLatin1Char('\n'), 0, 0), kLoaded);
    QCOMPARE(f.window().trkPot[0]->value(), 300);
    QCOMPARE(f.window().cmbMultiSwitch[kRange]->currentIndex(), 2);
    QVERIFY(f.frames().isEmpty());
    QCOMPARE(f.app->exchange().deferredCount(), 0);

    // Back on the pedal's effect but disconnected: the rows take the file, no write is tried.
    f.app->session().selection.EffectOnPedal = true;
    f.window().trkPot[0]->setValue(10);
    f.click(f.main().menuDisconnect);
    f.pedal().clearFrameLog();
    f.prompts.messages.clear();
    f.click(f.main().menuLoadConfiguration);
    QCOMPARE(f.prompts.messages.size(), 1);
    QCOMPARE(f.prompts.messages.first().section(QLatin1Char('\n'), 0, 0), kLoaded);
    QCOMPARE(f.window().trkPot[0]->value(), 300);
    QVERIFY(f.frames().isEmpty());
}

void TestConfigOnPedal::whereTheFileCannotGo()
{
    Player f;
    QVERIFY(QDir(f.folder()).removeRecursively());
    f.click(f.main().menuSaveConfiguration);
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages[0].startsWith(QStringLiteral("Error saving file: ")), qPrintable(f.prompts.messages[0]));
    QVERIFY(!QFile::exists(f.fixedPath()));

    f.prompts.messages.clear();
    f.folders.setDocuments(QString());
    f.click(f.main().menuSaveConfiguration);
    f.click(f.main().menuLoadConfiguration);
    QCOMPARE(f.prompts.messages, QStringList(2, QStringLiteral("Error: Could not retrieve the user documents path.")));
}

void TestConfigOnPedal::fileOfAnotherLayoutAppliesNothingUnlessAsked()
{
    Player f;
    TformFXParameters &w = f.window();
    w.trkPot[0]->setValue(100);
    f.pedal().clearFrameLog();
    // 39 lines: the file of a nine-row effect with six pots.
    QStringList lines;
    for (int i = 0; i < 39; ++i)
        lines.append(i < 9 ? "700" : i < 18 ? "EXP" : i < 27 ? "T" : "50");
    f.writeFile(f.fixedPath(), crlf(lines));
    // The table says row 1 is driven while its limit buttons are off: a load that applies
    // nothing leaves them off.
    f.app->params.IsAssigned[1] = true;
    QVERIFY(!w.btnMin[1]->isEnabled());

    f.prompts.scriptAnswer(Prompts::Answer::No);
    f.click(f.main().menuLoadConfiguration);
    QCOMPARE(f.prompts.questions,
             QStringList{"Fifth Harmony.txt has 39 lines where the rows of Fifth Harmony need 19: it was "
                         "saved for another effect or another layout of this one.\n\nLoad it anyway, line by "
                         "line as far as the rows go? Rows it does not reach stay as they are."});
    QCOMPARE(f.prompts.messages, QStringList());
    QCOMPARE(w.trkPot[0]->value(), 100);
    QCOMPARE(w.boxAssign[0]->currentIndex(), -1);
    QVERIFY(!w.chkReverse[0]->isChecked());
    QVERIFY(!w.btnMin[1]->isEnabled());
    QVERIFY(f.frames().isEmpty());
    QCOMPARE(f.app->exchange().deferredCount(), 0);
}

void TestConfigOnPedal::saveRefusedWithoutTheEffectsState_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("message");
    QTest::newRow("not-connected") << "disconnected" << "Not connected: the configuration was not saved.";
    QTest::newRow("pedal-runs-another-effect")
        << "other-effect-chosen"
        << "The pedal runs Fifth Harmony, not Moss Verb: the configuration of Moss Verb was not saved. Choose "
           "Fifth Harmony to save its settings, or upload Moss Verb and ask the pedal which effect it runs first. "
           "Open FX asks it.";
    QTest::newRow("pedal-effect-not-known")
        << "no-open-fx"
        << "The effect the pedal runs is not known yet, so the settings of Moss Verb cannot be read from it: "
           "the configuration was not saved. Upload Moss Verb or ask the pedal which effect it runs first. Open FX "
           "asks it.";
}

// Saving writes the state the pedal gives back: with no link, or under another effect's name,
// there is nothing true to write.
void TestConfigOnPedal::saveRefusedWithoutTheEffectsState()
{
    QFETCH(QString, situation);
    QFETCH(QString, message);
    Player f;
    if (situation == "disconnected") {
        f.click(f.main().menuDisconnect);
    } else {
        if (situation == "no-open-fx")
            f.app->session().pedal.PedalEffectName.clear();
        QVERIFY(f.chooseEffect(QStringLiteral("Moss Verb")));
    }
    f.pedal().clearFrameLog();
    f.prompts.messages.clear();
    const bool rowsUsable = f.window().trkPot[0]->isEnabled();

    f.prompts.scriptFile(f.folder() + QStringLiteral("/As.txt"));
    f.click(f.main().menuSaveConfiguration);
    f.click(f.main().menuSaveConfigurationAs);
    QCOMPARE(f.prompts.messages, QStringList(2, message));
    QVERIFY(f.frames().isEmpty());
    QCOMPARE(QDir(f.folder()).entryList(QDir::Files), QStringList());
    QCOMPARE(f.window().trkPot[0]->isEnabled(), rowsUsable);
    QCOMPARE(f.prompts.dialogPaths, QStringList()); // no dialog was opened
}

// A list set from code speaks its new entry, as one chosen by hand does.
void TestConfigOnPedal::listsTellAssistiveTechnologyTheirEntry()
{
    Player f;
    TformFXParameters &w = f.window();
    w.boxAssign[0]->setCurrentIndex(2);
    w.cmbMultiSwitch[kRange]->setCurrentIndex(1);
    f.writeFile(f.fixedPath(), crlf({"300", "400", "0", "1023", "768", "SW", "NA", "NA", "NA", "NA",
                                     "F", "F", "F", "F", "F", "1", "1", "100", "100"}));
    f.click(f.main().menuLoadConfiguration);
    QCOMPARE(f.prompts.messages.size(), 1);
    QCOMPARE(f.prompts.messages.first().section(QLatin1Char('\n'), 0, 0), kLoaded);

    for (QComboBox *box : {w.boxAssign[0], w.cmbMultiSwitch[kRange]}) {
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(box);
        QVERIFY(list);
        QCOMPARE(list->text(QAccessible::Description), box->currentText());
        QCOMPARE(list->text(QAccessible::Value), box->currentText());
        // The popup's selection follows: the entry shown is the one selected for a reader.
        QCOMPARE(box->view()->selectionModel()->currentIndex().row(), box->currentIndex());
        QCOMPARE(box->view()->selectionModel()->selectedIndexes().value(0).row(), box->currentIndex());
    }
    QCOMPARE(w.boxAssign[0]->currentText(), QStringLiteral("SW"));
    QCOMPARE(w.cmbMultiSwitch[kRange]->currentIndex(), 3);
    // A list with nothing chosen says so.
    QCOMPARE(QAccessible::queryAccessibleInterface(w.boxAssign[1])->text(QAccessible::Description),
             QStringLiteral("none"));
}

// The Saved Sounds window shows what the folder holds, marks another layout, and an entry chosen
// (Enter or a double-click) loads as Load From does, its levels sent; one undo step.
void TestConfigOnPedal::savedSoundsWindowLoadsWhatIsChosen()
{
    Player p;
    p.click(p.main().menuSavedSounds);
    SavedSoundsList *list = p.main().formSavedSounds();
    QVERIFY(list && list->isVisible());
    QCOMPARE(list->windowTitle(), "Saved Sounds: Fifth Harmony");
    p.writeFile(p.folder() + "/take.txt", "100\r\n300\r\n0\r\n0\r\n256\r\nEXP\r\nNA\r\nNA\r\nNA\r\nNA\r\n"
                                          "F\r\nF\r\nF\r\nF\r\nF\r\n1\r\n1\r\n100\r\n100\r\n");
    p.writeFile(p.folder() + "/other.txt", "1\r\n2\r\n3\r\n");
    QTRY_COMPARE(list->lstSounds->topLevelItemCount(), 2);
    QTreeWidgetItem *other = list->lstSounds->topLevelItem(0);
    QTreeWidgetItem *take = list->lstSounds->topLevelItem(1);
    QCOMPARE(other->text(0), "other");
    QCOMPARE(other->text(2), "another");
    QCOMPARE(take->text(2), QString());

    p.prompts.messages.clear();
    p.prompts.questions.clear();
    list->lstSounds->setCurrentItem(take);
    emit list->lstSounds->itemActivated(take, 0);
    QVERIFY2(p.prompts.messages.value(0).startsWith("FX Configuration File Loaded"), qPrintable(p.prompts.messages.value(0)));
    QCOMPARE(p.pedalLevel(0), quint32(100) << 13);
    QCOMPARE(p.pedalLevel(1), quint32(300) << 13);
    QCOMPARE(p.pedalLevel(4), quint32(256) << 13);
    QCOMPARE(p.app->session().undoStack().count(), 1);

    p.pedal().clearFrameLog();
    p.prompts.scriptAnswer(Prompts::Answer::No);
    list->lstSounds->setCurrentItem(other);
    list->btnLoad->click();
    QVERIFY2(p.prompts.questions.value(0).startsWith("other.txt has 3 lines"), qPrintable(p.prompts.questions.value(0)));
    QCOMPARE(p.frames(), QStringList{});
}

QTEST_MAIN(TestConfigOnPedal)
#include "tst_configonpedal.moc"
