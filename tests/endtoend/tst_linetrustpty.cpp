// What the pedal is sent and what is taken from its answers when the line misbehaves, through a
// pseudo-terminal and the kernel serial driver to tovel-pedal-sim at 115,200 baud: a late answer
// is never read as the next one, the effect firmware and the bootloader each get only their own
// commands, a file of another layout is applied only when the player says so, a row moved
// during a read-back keeps the player's level, and state answers whose lines end in CR or LF
// alone read as those ending in CR LF.
//
// Frames are counted between two frames the test itself causes: the pedal parses the line in
// order, so once the answer to the second has come, everything sent before it has been logged.
#include "app/effectbrowser.h"
#include "app/tformfirmwareupgrade.h"
#include "app/tformfxparameters.h"
#include "app/toggleswitch.h"
#include "protocol/commandexchange.h"
#include "tests/support/ptyeditor.h"
#include "tests/support/tovelprocess.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// Six pots, two switches, one six-option list.
const QString kEffect = QStringLiteral("Lagoon Chorus");

struct Session {
    LoggedSim sim;
    std::unique_ptr<PtyEditor> editor;

    TformMain &main() { return editor->main(); }
    TformFXParameters &window() { return *editor->app->formFXParameters(); }
    QStringList &messages() { return editor->prompts.messages; }

    bool startSim(const QStringList &arguments = {})
    {
        if (!sim.start(arguments))
            return false;
        editor = std::make_unique<PtyEditor>(sim.process.ptyPath());
        return true;
    }
    // Connected, the effect on the pedal and open in the window, its state read once.
    bool prepare()
    {
        if (!startSim())
            return false;
        main().menuConnect->trigger();
        editor->chooseEffect(kEffect);
        editor->prompts.scriptAnswer(Prompts::Answer::Yes);
        main().btnUpload->click();
        main().btnOpenEffect->click();
        main().btnRequest->click();
        return messages().isEmpty() && window().trkPot[0] && window().trkPot[0]->isEnabled();
    }
    // The frames the pedal parsed after the last frame starting with `from`, up to (without)
    // the last one starting with `to`.
    QStringList framesBetween(const QString &from, const QString &to) const
    {
        const QStringList all = sim.frames();
        qsizetype end = all.size();
        while (end > 0 && !all[end - 1].startsWith(to))
            --end;
        qsizetype start = end - 1;
        while (start > 0 && !all[start - 1].startsWith(from))
            --start;
        return start > 0 && end > 0 ? all.mid(start, end - 1 - start) : QStringList{QStringLiteral("markers not found")};
    }
    QList<int> potLevels()
    {
        QList<int> levels;
        for (QSlider *pot : window().trkPot)
            if (pot)
                levels.append(pot->value());
        return levels;
    }
};

QStringList parameterValues(const QStringList &frames)
{
    QStringList values;
    for (const QString &frame : frames)
        if (frame.startsWith(QStringLiteral("fw ParameterValue")))
            values.append(frame);
    return values;
}

} // namespace

class TestLineTrustPty : public QObject {
    Q_OBJECT

private slots:
    void lateAnswerIsNotTakenForTheNext_data();
    void lateAnswerIsNotTakenForTheNext();
    void stateAnswerLineEnds_data();
    void stateAnswerLineEnds();
    void rowMovedDuringReadBackKeepsThePlayersLevel();
    void bootloaderLinkRefusesEffectCommands();
    void effectLinkRefusesTheUpgrade();
    void fileOfAnotherLayoutAsksFirst_data();
    void fileOfAnotherLayoutAsksFirst();
    void stalledAnswersApplyNothingStale_data();
    void stalledAnswersApplyNothingStale();
    void bootloaderGreetedOnceGetsNoEffectCommand();
};

void TestLineTrustPty::lateAnswerIsNotTakenForTheNext_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("next");

    // The rest of the answer comes after its exchange has given up, and before the next
    // exchange's own answer, which the pedal sends behind it.
    // Every query's answer stops for 3.5 s: none comes whole while the fault lasts, however
    // often it is asked.
    QTest::newRow("effect-query-rest-after-3.5-s-then-request")
        << "split:2:3500" << "open-fx" << "The pedal's answer to the effect query was incomplete." << "request";
    QTest::newRow("state-answer-rest-after-1.5-s-then-open-fx")
        << "split:3:1500" << "request" << "The pedal's answer to the state request was incomplete." << "open-fx";
    QTest::newRow("state-answer-rest-after-1.5-s-then-request")
        << "split:3:1500" << "request" << "The pedal's answer to the state request was incomplete." << "request";
}

void TestLineTrustPty::lateAnswerIsNotTakenForTheNext()
{
    QFETCH(QString, fault);
    QFETCH(QString, first);
    QFETCH(QString, message);
    QFETCH(QString, next);

    Session s;
    QVERIFY2(s.prepare(), qPrintable(s.sim.process.errorText() + s.messages().join('|')));
    s.window().trkPot[0]->setValue(600);
    s.window().trkPot[3]->setValue(200);
    const QList<int> levels = s.potLevels();
    const QString firmwareLabel = s.main().lblFirmwareVersion->text();

    const auto run = [&](const QString &exchange) {
        (exchange == "request" ? s.main().btnRequest : s.main().btnOpenEffect)->click();
    };
    QVERIFY(s.sim.process.setFaults(fault));
    run(first);
    QCOMPARE(s.messages(), QStringList{message});
    QVERIFY(s.sim.process.setFaults("none"));
    s.messages().clear();

    run(next);
    QCOMPARE(s.messages(), QStringList());
    QCOMPARE(s.main().lblFirmwareVersion->text(), firmwareLabel);
    if (next == "request") {
        QCOMPARE(s.potLevels(), levels);
    } else {
        QCOMPARE(s.window().windowTitle().section(QLatin1Char(' '), 0, 1), kEffect);
        QVERIFY(s.main().btnRequest->isEnabled());
    }
    // The pedal was sent no level: the rows already showed what it holds.
    s.main().btnOpenEffect->click();
    QCOMPARE(s.messages(), QStringList());
    const QString marker = next == "request" ? "fw StateRequest" : "fw EffectQuery";
    QCOMPARE(parameterValues(s.framesBetween(marker, "fw EffectQuery")), QStringList());
    // The late rest came before the effect query's answer, and was known by where that starts.
    QVERIFY(!s.editor->console().filter(QRegularExpression(QStringLiteral("^dropped \\d+ bytes before the effect query answer$"))).isEmpty());
    if (next == "request")
        QVERIFY(s.editor->console().contains(QStringLiteral("checking the line before the state request: effect query")));
}

void TestLineTrustPty::stateAnswerLineEnds_data()
{
    QTest::addColumn<QString>("lineEnds");
    QTest::newRow("cr-lf") << "crlf";
    QTest::newRow("cr-alone") << "cr";
    QTest::newRow("lf-alone") << "lf";
}

void TestLineTrustPty::stateAnswerLineEnds()
{
    QFETCH(QString, lineEnds);
    Session s;
    QVERIFY2(s.prepare(), qPrintable(s.sim.process.errorText() + s.messages().join('|')));
    s.window().trkPot[0]->setValue(1023);
    s.window().trkPot[1]->setValue(512);
    s.window().trkPot[5]->setValue(7);
    s.window().boxAssign[2]->setCurrentIndex(1);
    s.main().btnAssign->click();
    const QList<int> levels = s.potLevels();
    // Fresh rows (sliders at 0, no pedal control chosen) read the pedal back.
    QVERIFY(s.editor->chooseEffect(kEffect));
    QCOMPARE(s.window().trkPot[0]->value(), 0);

    QVERIFY(s.sim.process.setFaults("line-ends:" + lineEnds));
    s.main().btnRequest->click();
    QCOMPARE(s.messages(), QStringList());
    QCOMPARE(s.potLevels(), levels);
    QCOMPARE(s.window().boxAssign[2]->currentIndex(), 1);
    QCOMPARE(s.editor->app->session().pedal.ReceivedBytes.size(), 4 * 9 + 288);
}

void TestLineTrustPty::rowMovedDuringReadBackKeepsThePlayersLevel()
{
    Session s;
    QVERIFY2(s.prepare(), qPrintable(s.sim.process.errorText() + s.messages().join('|')));
    s.window().trkPot[0]->setValue(100);
    s.window().trkPot[1]->setValue(200);
    // The state answer in three pieces 300 ms apart: the player moves row 0 and flips the first
    // switch while it comes.
    QVERIFY(s.sim.process.setFaults("split:3:300"));
    QTimer::singleShot(250, s.window().trkPot[0], [&] { s.window().trkPot[0]->setValue(700); });
    QTimer::singleShot(350, s.window().swSwitch[6], [&] { s.window().swSwitch[6]->click(); });
    s.main().btnRequest->click();
    QCOMPARE(s.messages(), QStringList());
    QCOMPARE(s.window().trkPot[0]->value(), 700);
    QCOMPARE(s.window().trkPot[1]->value(), 200);
    QVERIFY(s.window().swSwitch[6]->isChecked());

    // The player's levels went to the pedal after its answer; fresh rows read them back.
    QVERIFY(s.sim.process.setFaults("none"));
    QVERIFY(s.editor->chooseEffect(kEffect));
    QCOMPARE(s.window().trkPot[0]->value(), 0);
    s.main().btnRequest->click();
    QCOMPARE(s.messages(), QStringList());
    QCOMPARE(s.window().trkPot[0]->value(), 700);
    QVERIFY(s.window().swSwitch[6]->isChecked());
}

void TestLineTrustPty::bootloaderLinkRefusesEffectCommands()
{
    Session s;
    QVERIFY(s.startSim({QStringLiteral("--bootloader")}));
    TformMain &main = s.main();
    main.menuFirmwareUpgradeMode->trigger();
    main.menuConnect->trigger();
    QCOMPARE(s.messages(), QStringList{"Connection to bootloader succeeded"});
    s.editor->chooseEffect(kEffect);
    QVERIFY(!main.btnUpload->isEnabled());
    QVERIFY(!main.btnOpenEffect->isEnabled());
    QVERIFY(!main.btnRequest->isEnabled());
    QVERIFY(!s.window().trkPot[0]->isEnabled());

    // Reached anyway (a shortcut, a script): nothing leaves for the bootloader.
    s.editor->prompts.scriptAnswer(Prompts::Answer::Yes);
    main.btnUploadClick();
    main.btnOpenEffectClick();
    s.window().SetLimit(0, TformFXParameters::LimitAction::Minimum);
    s.window().trkPot[0]->setEnabled(true);
    s.window().trkPot[0]->setValue(900);
    QVERIFY(s.editor->console().contains(QStringLiteral("upload not started: the link is open to the bootloader")));
    QVERIFY(s.editor->console().contains(QStringLiteral("effect query not started: the link is open to the bootloader")));
    // The bootloader answers a command of its own: whatever came before it has been parsed,
    // and it was in step to take it.
    CommandExchange &exchange = s.editor->app->exchange();
    {
        auto scope = exchange.begin(QStringLiteral("bootloader command"), CommandExchange::Listener::Bootloader);
        QVERIFY(scope);
        QVERIFY(exchange.sendBytes(QByteArray::fromHex("00FF"), false));
        QCOMPARE(exchange.CollectAnswerText(bootloaderAnswer()).bytes, QByteArray::fromHex("79"));
    }
    QCOMPARE(s.sim.framesSince(0), (QStringList{"boot sync", "boot GET"}));
}

void TestLineTrustPty::effectLinkRefusesTheUpgrade()
{
    Session s;
    QVERIFY2(s.prepare(), qPrintable(s.sim.process.errorText() + s.messages().join('|')));
    TformFirmwareUpgrade &upgrade = *s.editor->app->formFirmwareUpgrade();
    upgrade.show();
    upgrade.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware5);
    emit upgrade.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware5);
    upgrade.btnUpgradeFirmware->click();
    QCOMPARE(s.messages().size(), 1);
    QVERIFY2(s.messages().first().startsWith(QStringLiteral("The pedal is connected in its normal mode")),
             qPrintable(s.messages().first()));
    // The effect firmware still answers its own query: none of the upgrade's frames came
    // before it.
    s.main().btnOpenEffect->click();
    QCOMPARE(s.messages().size(), 1);
    for (const QString &frame : s.sim.frames())
        QVERIFY2(frame.startsWith(QStringLiteral("fw ")), qPrintable(frame));
}

void TestLineTrustPty::fileOfAnotherLayoutAsksFirst_data()
{
    QTest::addColumn<bool>("load");
    QTest::newRow("no-applies-nothing") << false;
    QTest::newRow("yes-applies-line-by-line") << true;
}

void TestLineTrustPty::fileOfAnotherLayoutAsksFirst()
{
    QFETCH(bool, load);
    Session s;
    QVERIFY2(s.prepare(), qPrintable(s.sim.process.errorText() + s.messages().join('|')));
    // 96 lines (a 24-row, 12-pot layout) against the 39 this effect needs; row 0 at 1500.
    QStringList lines{"1500"};
    for (int i = 1; i < 96; ++i)
        lines.append(i < 24 ? "400" : i < 72 ? (i < 48 ? "NA" : "F") : "50");
    const QString path = QDir(s.editor->folders.documents()).filePath("other.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((lines.join("\r\n") + "\r\n").toLatin1());
    file.close();
    const QList<int> before = s.potLevels();
    // The frames the load sends come after this request (the window shows the pedal's
    // state already: it sends nothing back).
    s.main().btnRequest->click();

    s.editor->prompts.scriptFile(path);
    s.editor->prompts.scriptAnswer(load ? Prompts::Answer::Yes : Prompts::Answer::No);
    const qsizetype asked = s.editor->prompts.questions.size();
    s.main().menuLoadConfigurationFrom->trigger();
    QCOMPARE(s.editor->prompts.questions.size(), asked + 1);
    QVERIFY2(s.editor->prompts.questions.last().startsWith("other.txt has 96 lines where the rows of Lagoon Chorus need 39"),
             qPrintable(s.editor->prompts.questions.last()));
    const QList<int> after = s.potLevels();
    const QStringList messages = s.messages();
    const QString address = s.window().ParamAddress[0];
    const QString rowName = s.window().lblParamName[0]->text().trimmed();
    s.main().btnOpenEffect->click();
    const QStringList sent = parameterValues(s.framesBetween("fw StateRequest", "fw EffectQuery"));
    if (!load) {
        QCOMPARE(messages, QStringList());
        QCOMPARE(after, before);
        QCOMPARE(sent, QStringList());
        return;
    }
    QCOMPARE(messages.size(), 1);
    // The first line, the file's path, then the items taken as the nearest value.
    QVERIFY2(messages.first().startsWith("FX Configuration File Loaded\n/"), qPrintable(messages.first()));
    QVERIFY2(messages.first().contains(".txt\n\nValues outside their range"), qPrintable(messages.first()));
    QVERIFY2(messages.first().contains("line 1 (" + rowName + "): 1500 became 1023"), qPrintable(messages.first()));
    QCOMPARE(after.first(), 1023);
    QVERIFY2(sent.contains(QStringLiteral("fw ParameterValue %1 007FE000 row 0").arg(address)), qPrintable(sent.join('|')));
}

void TestLineTrustPty::stalledAnswersApplyNothingStale_data()
{
    QTest::addColumn<QString>("queryStall"); // the effect query's answer stalls too, or not
    // 3 s: longer than the quiet on the line that once passed for the end of an answer.
    QTest::newRow("state-answer-stalls-3-s") << QString();
    // 3.5 s: no query asked to check the line is answered whole either.
    QTest::newRow("state-and-query-answers-stall") << QStringLiteral(",stall:query:9:3500");
}

// A pedal that stops every state answer at the same byte for longer than the wait for it:
// the rest of one answer and the first part of the next make exactly as many lines as a whole
// answer, which must never be read as one. Three Requests apply nothing, and nothing goes back
// to the pedal.
void TestLineTrustPty::stalledAnswersApplyNothingStale()
{
    QFETCH(QString, queryStall);
    Session s;
    QVERIFY2(s.prepare(), qPrintable(s.sim.process.errorText() + s.messages().join('|')));
    s.window().trkPot[0]->setValue(600);
    s.window().trkPot[3]->setValue(200);
    s.window().boxAssign[1]->setCurrentIndex(1);
    s.main().btnAssign->click();
    s.main().btnRequest->click();
    QCOMPARE(s.messages(), QStringList());
    const QList<int> levels = s.potLevels();
    // The answer stops at the end of its 100th line.
    qsizetype at = 0;
    const QList<quint8> &numbers = s.editor->app->session().pedal.ReceivedBytes;
    for (int i = 0; i < 100; ++i)
        at += QByteArray::number(numbers[i]).size() + 2;

    const int before = s.sim.mark();
    QVERIFY(s.sim.process.setFaults(QStringLiteral("stall:state:%1:3000").arg(at) + queryStall));
    for (int request = 0; request < 3; ++request) {
        s.main().btnRequest->click();
        QCOMPARE(s.messages().size(), 1);
        s.messages().clear();
        QCOMPARE(s.potLevels(), levels);
        QCOMPARE(s.window().boxAssign[1]->currentIndex(), 1);
        QCOMPARE(s.window().boxAssign[0]->currentIndex(), -1);
    }
    // Nothing went to the pedal but questions.
    QVERIFY(s.sim.process.setFaults("none"));
    for (const QString &frame : s.sim.framesSince(before))
        QVERIFY2(frame.startsWith("fw EffectQuery") || frame.startsWith("fw StateRequest"), qPrintable(frame));
    // Once the pedal answers whole again, the line is checked and the state read as it is.
    s.main().btnRequest->click();
    QCOMPARE(s.messages(), QStringList());
    QCOMPARE(s.potLevels(), levels);
    QVERIFY(s.editor->app->session().pedalState().inStep());
}

// A pedal left in its bootloader, greeted once, then connected to in the normal mode: the
// effect commands are refused once the check before them meets the bootloader's refusal, from
// the windows and from tovel, and not a byte of its flash changes.
void TestLineTrustPty::bootloaderGreetedOnceGetsNoEffectCommand()
{
    QTemporaryDir dir;
    const auto flashOfASim = [&](const QString &name, const std::function<void(Session &)> &act) {
        Session s;
        const QString dump = dir.filePath(name);
        if (!s.startSim({QStringLiteral("--bootloader"), QStringLiteral("--dump-flash"), dump}))
            return QByteArray();
        act(s);
        s.editor.reset();
        if (!s.sim.process.stop())
            return QByteArray();
        QFile file(dump);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray untouched = flashOfASim(QStringLiteral("untouched.bin"), [](Session &) {});
    QCOMPARE(untouched.size(), 128 * 1024);

    const QString found = QStringLiteral(
        "The pedal is in its bootloader: finish the firmware upgrade first.");
    // Each front end says how, in its own terms.
    const QString inWindow = QStringLiteral("Tick Firmware Upgrade > Upgrade Mode and connect to it there.");
    const QByteArray after = flashOfASim(QStringLiteral("after.bin"), [&](Session &s) {
        TformMain &main = s.main();
        main.menuFirmwareUpgradeMode->trigger();
        main.menuConnect->trigger();
        QCOMPARE(s.messages(), QStringList{"Connection to bootloader succeeded"});
        main.menuDisconnect->trigger();
        main.menuFirmwareUpgradeMode->trigger();
        main.menuConnect->trigger();
        s.messages().clear();
        QVERIFY(s.editor->chooseEffect(QStringLiteral("Basic IR Loader")));
        s.messages().clear(); // the category's advice
        s.editor->prompts.scriptAnswer(Prompts::Answer::Yes);
        main.btnUpload->click();
        main.btnOpenEffect->click();
        QCOMPARE(s.messages(), (QStringList{found + " The upload was not sent. " + inWindow, found + ' ' + inWindow}));
        QCOMPARE(main.lblPedalState->text(), QStringLiteral("Pedal in its bootloader: finish the firmware upgrade"));
        main.menuDisconnect->trigger();

        TovelProcess tovel;
        const TovelProcess::Run r = tovel.onDevice(s.sim.process.ptyPath(), {"upload", "Basic IR Loader"});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.startsWith("tovel: " + found + " The upload was not sent. tovel flash finishes it"),
                 qPrintable(r.err));
        for (const QString &frame : s.sim.frames())
            QVERIFY2(!frame.contains("ERASE") && !frame.contains("WRITE") && !frame.contains(" GO"), qPrintable(frame));
    });
    QVERIFY(after == untouched);
}

QTEST_MAIN(TestLineTrustPty)
#include "tst_linetrustpty.moc"
