// Editing a sound with confidence, below the windows on the virtual pedal: undo and redo send
// exactly the values they give back, Compare plays the other set and comes back, Revert asks
// first, and the saved sounds follow their folder.
#include "actions/configactions.h"
#include "actions/linkactions.h"
#include "actions/openfxactions.h"
#include "actions/soundactions.h"
#include "actions/undoactions.h"
#include "config/savedsounds.h"
#include "tests/support/sessionfixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// "Fifth Harmony": pots "Mid" and "Treble", switches "Hold" and "Kill", the four-option list
// "Sine Range" (steps of 256). Its file has 3 x 5 + 2 x 2 = 19 lines.
const QString kEffect = QStringLiteral("Fifth Harmony");
constexpr int kMid = 0;
constexpr int kTreble = 1;
constexpr int kHold = 2;
constexpr int kRange = 4;
constexpr int kExp = 1;

QByteArray crlf(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toLatin1() + "\r\n";
    return text;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), qPrintable(path));
}

// Connected, the effect on the pedal, Open FX and Request done; then known settings (Mid 600,
// Treble 300, Hold off, Sine Range on its second option, Mid driven by EXP) with no step kept.
struct Editing : SessionFixture {
    EditorSession *s = nullptr;

    Editing()
    {
        s = &startOnVirtualPedal();
        QVERIFY(connectPedal(*s));
        loadEffectOntoPedal(*s, kEffect);
        QVERIFY(openPedalEffect(*s, true));
        setRowValue(*s, kMid, 600);
        setRowValue(*s, kTreble, 300);
        setRowValue(*s, kHold, 0);
        setRowValue(*s, kRange, 1);
        choosePedalControl(*s, kMid, kExp);
        QVERIFY(assignControls(*s));
        QVERIFY(requestState(*s, {}, Echo::None));
        stack().clear();
        stack().keep(CompareSet::Read);
        pedal().clearFrameLog();
        // The windows make the configuration folder at start; the session alone does not.
        QVERIFY(QDir().mkpath(folder()));
    }
    pedal::VirtualPedal &pedal() { return pedalDriver->pedal(); }
    UndoStack &stack() { return s->undoStack(); }
    SettingsSnapshot now() { return takeSnapshot(s->settings()); }
    QString folder() const { return QDir(folders.documents()).filePath(QStringLiteral("ZANTH/Tovel")); }

    // What the pedal took since the last call, short: "value row R LEVEL" for a level,
    // "limit KIND row R level L" for a limit, any other frame as it came.
    QStringList sent()
    {
        QStringList frames;
        for (const QString &line : pedal().frameLog()) {
            if (line.startsWith(QLatin1String("fw ParameterValue "))) {
                const QStringList words = line.split(QLatin1Char(' '));
                frames.append(QStringLiteral("value row %1 %2").arg(words.value(5)).arg(words.value(3).toUInt(nullptr, 16) >> 13));
            } else if (line.startsWith(QLatin1String("fw ParameterLimit "))) {
                frames.append(QStringLiteral("limit ") + line.mid(18).section(QStringLiteral(" code"), 0, 0));
            } else {
                frames.append(line);
            }
        }
        pedal().clearFrameLog();
        return frames;
    }
};

} // namespace

class TestEditingActions : public QObject {
    Q_OBJECT

private slots:
    void undoAndRedoSendTheRestoredValues_data();
    void undoAndRedoSendTheRestoredValues();
    void thePedalsAnswerIsNoStepAndEndsRedo();
    void compareSendsTheOtherSetAndBack();
    void revertAsksFirstAndIsOneStep();
    void savedSoundsFollowTheFolder();
    void renameAndDeleteAskFirst();
};

void TestEditingActions::undoAndRedoSendTheRestoredValues_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("undone"); // what undo sends
    QTest::addColumn<QStringList>("redone"); // what redo sends

    QTest::newRow("pot-dragged-is-one-step") << "drag" << QStringList{"value row 0 600"} << QStringList{"value row 0 700"};
    QTest::newRow("switch-turned-on") << "switch" << QStringList{"value row 2 0"} << QStringList{"value row 2 1023"};
    QTest::newRow("list-option-chosen") << "list" << QStringList{"value row 4 256"} << QStringList{"value row 4 768"};
    // An assignment and a reverse flag wait for Assign, as when the player sets them. The
    // minimum read back from the pedal is 8: it keeps limits in steps of 8.
    QTest::newRow("assignment-chosen") << "assign" << QStringList{} << QStringList{};
    QTest::newRow("reverse-ticked") << "reverse" << QStringList{} << QStringList{};
    QTest::newRow("limit-set") << "limit" << QStringList{"limit 0 row 0 level 8"} << QStringList{"limit 0 row 0 level 200"};
    // A load is one step; the switches it sets sent nothing, and undo sends only what it moved.
    QTest::newRow("configuration-loaded")
        << "load" << QStringList{"value row 0 600", "value row 1 300", "value row 4 256"}
        << QStringList{"value row 0 100", "value row 1 900", "value row 4 512"};
}

// Undo gives back the settings before the step, sending exactly the levels and limits it gives
// back; redo the settings after it. Every kind of change is one step.
void TestEditingActions::undoAndRedoSendTheRestoredValues()
{
    QFETCH(QString, change);
    QFETCH(QStringList, undone);
    QFETCH(QStringList, redone);

    Editing e;
    EditorSession &s = *e.s;
    const SettingsSnapshot before = e.now();
    if (change == "drag") {
        for (const int level : {610, 650, 700})
            QVERIFY(setRowValue(s, kMid, level));
    } else if (change == "switch") {
        QVERIFY(setRowValue(s, kHold, 1));
    } else if (change == "list") {
        QVERIFY(setRowValue(s, kRange, 3));
    } else if (change == "assign") {
        choosePedalControl(s, kTreble, 2);
    } else if (change == "reverse") {
        setReverse(s, kTreble, true);
    } else if (change == "limit") {
        QVERIFY(setLimit(s, kMid, LimitAction::Minimum, 200));
    } else if (change == "load") {
        const QString path = e.folder() + "/gig.txt";
        writeFile(path, crlf({"100", "900", "0", "0", "512", "EXP", "NA", "NA", "NA", "NA", "F", "F", "F", "F", "F",
                              "1", "1", "100", "100"}));
        QVERIFY(loadConfiguration(s, path, {}).value.loaded);
    }
    e.sent();
    const SettingsSnapshot after = e.now();
    QVERIFY(after != before);
    QCOMPARE(e.stack().count(), 1);

    QSignalSpy canRedo(&e.stack(), &UndoStack::canRedoChanged);
    QVERIFY(undoStep(s));
    QCOMPARE(e.sent(), undone);
    QVERIFY(e.now() == before);
    QCOMPARE(canRedo.count(), 1);
    QVERIFY(!e.stack().canUndo());

    QVERIFY(redoStep(s));
    QCOMPARE(e.sent(), redone);
    QVERIFY(e.now() == after);
    QVERIFY(!e.stack().canRedo());
    QCOMPARE(e.stack().count(), 1);
}

// A state request changes the rows without a step, and what was undone cannot come back over
// the pedal's answer.
void TestEditingActions::thePedalsAnswerIsNoStepAndEndsRedo()
{
    Editing e;
    EditorSession &s = *e.s;
    QVERIFY(setRowValue(s, kMid, 700));
    QVERIFY(setRowValue(s, kTreble, 800));
    QVERIFY(undoStep(s));
    QVERIFY(e.stack().canRedo());
    // An answer that changes nothing leaves the redo part.
    QVERIFY(requestState(s, {}, Echo::None));
    QVERIFY(e.stack().canRedo());
    // The pedal's own knob moved Treble: its answer does.
    e.pedal().firmware().settings().levels[kTreble] = quint32(900) << 13;
    QVERIFY(requestState(s, {}, Echo::None));
    QCOMPARE(s.settings().values(kTreble).value, 900);
    QVERIFY(!e.stack().canRedo());
    QCOMPARE(e.stack().count(), 1);
    // A new step drops the redo part too.
    QVERIFY(setRowValue(s, kTreble, 950));
    QVERIFY(undoStep(s));
    QVERIFY(setRowValue(s, kMid, 650));
    QVERIFY(!e.stack().canRedo());
    QCOMPARE(e.stack().count(), 2);
    QVERIFY(e.stack().canUndo());
}

// Compare plays the kept set and then the edited one again; both stay as they were. A move while
// comparing edits what plays, and the edited set is one undo away.
void TestEditingActions::compareSendsTheOtherSetAndBack()
{
    Editing e;
    EditorSession &s = *e.s;
    const SettingsSnapshot read = e.now();
    QVERIFY(setRowValue(s, kMid, 700));
    QVERIFY(setRowValue(s, kRange, 3));
    const SettingsSnapshot edited = e.now();
    e.sent();

    QSignalSpy comparing(&e.stack(), &UndoStack::compareChanged);
    for (int round = 0; round < 2; ++round) {
        QVERIFY(compareWith(s, CompareSet::Read));
        QCOMPARE(e.sent(), (QStringList{"value row 0 600", "value row 4 256"}));
        QVERIFY(e.stack().comparing());
        QVERIFY(e.now() == read);
        QVERIFY(endCompare(s));
        QCOMPARE(e.sent(), (QStringList{"value row 0 700", "value row 4 768"}));
        QVERIFY(e.now() == edited);
        QVERIFY(*e.stack().kept(CompareSet::Read) == read);
    }
    QCOMPARE(comparing.count(), 4);
    QCOMPARE(e.stack().count(), 2); // comparing is no step

    const ActionResult<Done> notStored = compareWith(s, CompareSet::Stored);
    QVERIFY(!notStored);
    QCOMPARE(notStored.failure->message,
             "No settings of Fifth Harmony have been stored on the pedal yet: use Store Settings On Pedal first.");
    QVERIFY(storeSettings(s));
    QVERIFY(setRowValue(s, kTreble, 50));
    e.sent();
    QVERIFY(compareWith(s, CompareSet::Stored));
    QCOMPARE(e.sent(), QStringList{"value row 1 300"});

    QVERIFY(setRowValue(s, kMid, 10));
    QVERIFY(!e.stack().comparing());
    QCOMPARE(e.sent(), QStringList{"value row 0 10"});
    QVERIFY(undoStep(s));
    QCOMPARE(e.sent(), QStringList{"value row 0 700"});
    QVERIFY(undoStep(s));
    QCOMPARE(e.sent(), QStringList{"value row 1 50"});
}

void TestEditingActions::revertAsksFirstAndIsOneStep()
{
    Editing e;
    EditorSession &s = *e.s;
    const SettingsSnapshot read = e.now();
    QVERIFY(setRowValue(s, kMid, 700));
    setReverse(s, kTreble, true);
    const SettingsSnapshot edited = e.now();
    e.sent();

    e.prompts.scriptAnswer(Prompts::Answer::No);
    QVERIFY(revertToPedal(s));
    QCOMPARE(e.prompts.questions.size(), 1);
    QVERIFY2(e.prompts.questions.first().startsWith("Revert to the pedal's settings?"),
             qPrintable(e.prompts.questions.first()));
    QCOMPARE(e.sent(), QStringList{});
    QVERIFY(e.now() == edited);

    e.prompts.scriptAnswer(Prompts::Answer::Yes);
    QVERIFY(revertToPedal(s));
    QCOMPARE(e.sent(), QStringList{"value row 0 600"});
    QVERIFY(e.now() == read);
    QCOMPARE(e.stack().count(), 3);
    QVERIFY(undoStep(s));
    QCOMPARE(e.sent(), QStringList{"value row 0 700"});
    QVERIFY(e.now() == edited);
}

// The list follows files added, renamed and removed in the folder by anyone, marks a file of
// another layout, and a load of it asks first as Load From does.
void TestEditingActions::savedSoundsFollowTheFolder()
{
    Editing e;
    const QString folder = e.folder();
    SavedSoundsWatch watch;
    watch.follow(folder, kEffect, 5, 2);
    QCOMPARE(watch.sounds().size(), 0);
    const auto names = [&watch] {
        QStringList shown;
        for (const SavedSound &sound : watch.sounds())
            shown.append(sound.name + (sound.ownFile ? "*" : "") + (sound.fitsLayout ? "" : " (another layout)"));
        return shown;
    };
    const QByteArray fits = crlf({"1", "2", "0", "0", "0", "NA", "NA", "NA", "NA", "NA", "F", "F", "F", "F", "F",
                                  "1", "1", "100", "100"});
    writeFile(folder + "/zebra.txt", fits);
    QTRY_COMPARE(names(), QStringList{"zebra"});
    writeFile(folder + "/Fifth Harmony.txt", fits);
    writeFile(folder + "/Amber.txt", crlf({"1", "2", "3"}));
    writeFile(folder + "/notes.md", "not a configuration");
    QTRY_COMPARE(names(), (QStringList{"Fifth Harmony*", "Amber (another layout)", "zebra"}));
    QVERIFY(QFile::rename(folder + "/zebra.txt", folder + "/apple.txt"));
    QTRY_COMPARE(names(), (QStringList{"Fifth Harmony*", "Amber (another layout)", "apple"}));
    QVERIFY(QFile::remove(folder + "/Fifth Harmony.txt"));
    QTRY_COMPARE(names(), (QStringList{"Amber (another layout)", "apple"}));
    QCOMPARE(savedSounds(*e.s).value.size(), 2);

    const SettingsSnapshot before = e.now();
    e.prompts.scriptAnswer(Prompts::Answer::No);
    const ActionResult<ConfigurationLoad> refused =
        loadConfiguration(*e.s, watch.sounds().first().path, [&e](const OtherLayout &layout) {
            return e.prompts.askYesNo(layout.text()) == Prompts::Answer::Yes;
        });
    QVERIFY(refused && !refused.value.loaded);
    QVERIFY2(e.prompts.questions.value(0).startsWith("Amber.txt has 3 lines where the rows of Fifth Harmony need 19"),
             qPrintable(e.prompts.questions.value(0)));
    QVERIFY(e.now() == before);
    QCOMPARE(e.sent(), QStringList{});
}

void TestEditingActions::renameAndDeleteAskFirst()
{
    Editing e;
    EditorSession &s = *e.s;
    const QString folder = e.folder();
    writeFile(folder + "/take 1.txt", "1\r\n");
    writeFile(folder + "/take 2.txt", "2\r\n");

    e.prompts.scriptAnswer(Prompts::Answer::No);
    QVERIFY(!renameSound(s, "take 1", "verse"));
    QVERIFY(QFile::exists(folder + "/take 1.txt"));
    e.prompts.scriptAnswer(Prompts::Answer::Yes);
    QVERIFY(renameSound(s, "take 1", "verse"));
    QCOMPARE(e.prompts.questions, (QStringList{2, "Rename the saved sound \"take 1\" to \"verse\"?"}));
    QVERIFY(!QFile::exists(folder + "/take 1.txt"));
    QVERIFY(QFile::exists(folder + "/verse.txt"));
    // A name taken, or no plain name, is refused before anything is asked.
    QCOMPARE(renameSound(s, "verse", "take 2").failure->message, "A saved sound named \"take 2\" exists already.");
    QVERIFY(!renameSound(s, "verse", "../verse"));
    QVERIFY(!renameSound(s, "chorus", "bridge"));
    QCOMPARE(e.prompts.questions.size(), 2);

    e.prompts.scriptIrreversible(Prompts::Answer::No);
    QVERIFY(!deleteSound(s, "verse"));
    QVERIFY(QFile::exists(folder + "/verse.txt"));
    e.prompts.scriptIrreversible(Prompts::Answer::Yes);
    QVERIFY(deleteSound(s, "verse"));
    QVERIFY(!QFile::exists(folder + "/verse.txt"));
    QCOMPARE(e.prompts.irreversible.size(), 2);
    QVERIFY2(e.prompts.irreversible.first().startsWith("Delete the saved sound \"verse\"?"),
             qPrintable(e.prompts.irreversible.first()));

    // Save under a name that is taken asks before the file is replaced.
    e.prompts.scriptAnswer(Prompts::Answer::No);
    QVERIFY(!savedSoundTarget(s, "take 2"));
    QCOMPARE(savedSoundTarget(s, "new take").value, folder + "/new take.txt");
}

QTEST_MAIN(TestEditingActions)
#include "tst_editingactions.moc"
