// `tovel` as a script runs it, on tovel-pedal-sim through a pseudo-terminal and the kernel
// serial driver at 115,200 baud: what each command writes, how it ends, and how the line's
// faults end it.
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "tests/ir/soxwav.h"
#include "tests/support/ptyeditor.h"
#include "tests/support/testseams.h"
#include "tests/support/tovelprocess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

// Six pots, two switches ("Mute" shows ON when off), the six-option list "Pattern".
const QString kEffect = QStringLiteral("Lagoon Chorus");

QString programOf(const QString &effect)
{
    CatalogueLoader loader;
    return loader.LoadListResource(EffectResourceName(effect)) ? loader.CurrentList().value(0) : QString();
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(text) == text.size(), qPrintable(path));
}

// A sim with the effect uploaded by tovel itself, ready for the command under test. tovel
// names it by the sim's link, which goes with its bridge: after an unplug, the pseudo-terminal's
// own number may belong to another test's sim.
struct Pedal {
    LoggedSim sim;
    TovelProcess tovel;
    bool start() { return sim.start({QStringLiteral("--link"), sim.dir.filePath(QStringLiteral("pedal"))}); }
    QString pty() const { return sim.dir.filePath(QStringLiteral("pedal")); }
    TovelProcess::Run run(const QStringList &arguments) const { return tovel.onDevice(pty(), arguments); }
};

} // namespace

class TestTovelPty : public QObject {
    Q_OBJECT

private slots:
    void catalogueWithoutPedal_data();
    void catalogueWithoutPedal();
    void pedalCommands_data();
    void pedalCommands();
    void stateAsJsonFollowsWhatWasSet();
    void configurationRoundTrip();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void failures_data();
    void failures();
    void helpNamesEveryExitStatus();
    void commandsSendOnlyWhatTheyAreFor_data();
    void commandsSendOnlyWhatTheyAreFor();
    void programThatIsNoUploadIsNotSent();
};

void TestTovelPty::catalogueWithoutPedal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a pattern the output matches

    QTest::newRow("lists-one-category") << QStringList{"list", "impulse response"} << 0
                                        << "^Amber Drive \\+ IR Loader\nTRX \\+ IR Loader\nBasic IR Loader\n";
    QTest::newRow("lists-every-category") << QStringList{"list"} << 0 << "^Gain\n  Amber Drive\n(.|\n)*\nOther\n  ";
    QTest::newRow("info-names-rows-and-page") << QStringList{"info", "lagoon chorus"} << 0
                                              << "^Lagoon Chorus\nCategory: Modulation\nRows:\n 1  Depth  pot 0..1023\n"
                                                 "(.|\n)* 8  Mute  switch off: ON, on: OFF\n 9  Pattern  list I \\| II";
    QTest::newRow("info-of-no-effect") << QStringList{"info", "Moss Vreb"} << 1 << "^$";
    QTest::newRow("list-of-no-category") << QStringList{"list", "Jazz"} << 1 << "^$";
    QTest::newRow("version-without-web-host") << QStringList{"version"} << 0
                                              << "^Version: \\d+\\.\\d+\nThis build names no web site";
    QTest::newRow("catalogue-takes-no-device") << QStringList{"--device", "/dev/null", "list"} << 1 << "^$";
}

void TestTovelPty::catalogueWithoutPedal()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    TovelProcess tovel;
    const TovelProcess::Run r = tovel.run(arguments);
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + r.err));
    QVERIFY2(QRegularExpression(output).match(r.out).hasMatch(), qPrintable(r.out));
    QCOMPARE(r.err.isEmpty(), status == 0);
}

void TestTovelPty::pedalCommands_data()
{
    QTest::addColumn<QStringList>("setup"); // tovel commands run first, each a comma-separated list
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output"); // a pattern the output matches

    const QStringList uploaded{"upload," + kEffect};
    QTest::newRow("upload-reports-the-pedal-status") << QStringList{} << QStringList{"upload", kEffect}
                                                     << "^Upload complete\n$";
    QTest::newRow("query-names-the-running-effect")
        << uploaded << QStringList{"query"}
        << "^effect: Lagoon Chorus\neffect number: \\d+\neffect version: \\d+\nfirmware version: 5\n$";
    QTest::newRow("state-lists-every-row") << uploaded << QStringList{"state"}
                                           << "^Lagoon Chorus v\\d+\n 1  Depth  0  control -  min -  max -\n(.|\n)*"
                                              " 7  Bright  off \\(OFF\\)  control -\n 8  Mute  off \\(ON\\)  control -\n"
                                              " 9  Pattern  I  control -\n$";
    QTest::newRow("set-pot-by-number") << uploaded << QStringList{"set", "3", "512"}
                                       << "^ 3  Feedback  512  control -  min -  max -\n$";
    // On and off are the switch's states, whatever its captions say.
    QTest::newRow("set-switch-by-name") << uploaded << QStringList{"set", "mute", "on"}
                                        << "^ 8  Mute  on \\(OFF\\)  control -\n$";
    QTest::newRow("set-switch-by-caption") << QStringList{"upload,Amber Drive"} << QStringList{"set", "4", "high"}
                                           << "^ 4  Range  on \\(High\\)  control -\n$";
    QTest::newRow("set-list-by-option") << uploaded << QStringList{"set", "Pattern", "iv"}
                                        << "^ 9  Pattern  IV  control -\n$";
    QTest::newRow("set-list-by-number") << uploaded << QStringList{"set", "9", "6"} << "^ 9  Pattern  VI  control -\n$";
    QTest::newRow("assign-with-reverse") << uploaded << QStringList{"assign", "Depth", "EXP", "--reverse"}
                                         << "^ 1  Depth  0  control EXP  reversed  min -  max -\n$";
    QTest::newRow("limit-min-where-the-level-stands")
        << uploaded + QStringList{"set,1,512", "assign,1,EXP"} << QStringList{"limit", "1", "min"}
        << "^ 1  Depth  512  control EXP  min 51%  max 100%\n$";
    QTest::newRow("limit-max-at-a-level") << uploaded + QStringList{"assign,1,I"}
                                          << QStringList{"limit", "1", "max", "767"}
                                          << "^ 1  Depth  0  control I  min 1%  max 75%\n$";
    QTest::newRow("limit-clear") << uploaded + QStringList{"assign,1,I", "limit,1,max,767"}
                                 << QStringList{"limit", "1", "clear"} << "^ 1  Depth  0  control I  min -  max -\n$";
    QTest::newRow("store") << uploaded << QStringList{"store"} << "^Settings of Lagoon Chorus stored on the pedal\n$";
}

void TestTovelPty::pedalCommands()
{
    QFETCH(QStringList, setup);
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    for (const QString &step : setup) {
        const TovelProcess::Run r = p.run(step.split(','));
        QVERIFY2(r.status == 0, qPrintable(step + ": " + r.err));
    }
    const TovelProcess::Run r = p.run(arguments);
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + ": " + r.err));
    QVERIFY2(QRegularExpression(output).match(r.out).hasMatch(), qPrintable(r.out));
    QCOMPARE(r.err, QString());
    QVERIFY(p.sim.process.stop());
}

void TestTovelPty::stateAsJsonFollowsWhatWasSet()
{
    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    for (const QStringList &step : {QStringList{"upload", kEffect}, {"set", "2", "300"}, {"set", "Bright", "on"},
                                    {"set", "Pattern", "III"}, {"assign", "2", "SWT"}, {"limit", "2", "min", "100"}}) {
        const TovelProcess::Run r = p.run(step);
        QVERIFY2(r.status == 0, qPrintable(step.join(' ') + ": " + r.err));
    }
    const TovelProcess::Run r = p.run({"state", "--json"});
    QCOMPARE(r.status, 0);
    QJsonParseError error;
    const QJsonObject state = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(r.out));
    QCOMPARE(state.value("effect").toString(), kEffect);
    QCOMPARE(state.value("firmwareVersion").toInt(), 5);
    const QJsonArray rows = state.value("rows").toArray();
    QCOMPARE(rows.size(), 9);
    const QJsonObject time = rows[1].toObject();
    QCOMPARE(time.value("name").toString(), QStringLiteral("Time"));
    QCOMPARE(time.value("level").toInt(), 300);
    QCOMPARE(time.value("control").toString(), QStringLiteral("SWT"));
    // The pedal keeps a limit as a code of a few bits: the level read back is near the one set.
    QVERIFY(qAbs(time.value("min").toObject().value("level").toInt() - 100) < 16);
    QCOMPARE(time.value("assigned").toBool(), true);
    QCOMPARE(rows[0].toObject().value("control"), QJsonValue(QJsonValue::Null));
    QCOMPARE(rows[6].toObject().value("on").toBool(), true);
    QCOMPARE(rows[6].toObject().value("level").toInt(), 1023);
    QCOMPARE(rows[8].toObject().value("option").toString(), QStringLiteral("III"));
    QCOMPARE(rows[8].toObject().value("options").toArray().size(), 6);

    const TovelProcess::Run query = p.run({"query", "--json"});
    const QJsonObject info = QJsonDocument::fromJson(query.out.toUtf8()).object();
    QCOMPARE(info.value("effect").toString(), kEffect);
    QCOMPARE(info.value("effectNumber"), state.value("effectNumber"));
    QVERIFY(p.sim.process.stop());
}

void TestTovelPty::configurationRoundTrip()
{
    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    for (const QStringList &step : {QStringList{"upload", kEffect}, {"set", "1", "600"}, {"set", "Pattern", "V"}}) {
        const TovelProcess::Run r = p.run(step);
        QVERIFY2(r.status == 0, qPrintable(step.join(' ') + ": " + r.err));
    }
    // Without a file: the editor's own place for the effect's settings.
    const TovelProcess::Run saved = p.run({"config", "save"});
    const QString path = p.tovel.documents() + "/ZANTH/Tovel/Lagoon Chorus.txt";
    QCOMPARE(saved.status, 0);
    QCOMPARE(saved.out, "FX Configuration File Saved: " + path + "\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("600\r\n0\r\n"));

    QCOMPARE(p.run({"set", "1", "10"}).status, 0);
    const TovelProcess::Run loaded = p.run({"config", "load"});
    QCOMPARE(loaded.status, 0);
    QCOMPARE(loaded.out, QStringLiteral("FX Configuration File Loaded\n"));
    const QJsonObject state = QJsonDocument::fromJson(p.run({"state", "--json"}).out.toUtf8()).object();
    QCOMPARE(state.value("rows").toArray()[0].toObject().value("level").toInt(), 600);
    QCOMPARE(state.value("rows").toArray()[8].toObject().value("option").toString(), QStringLiteral("V"));

    // A file of another layout is a question in the windows: here it needs its option.
    const QString other = p.tovel.home.filePath("other.txt");
    writeText(other, "100\r\n200\r\n");
    const int before = p.sim.mark();
    const TovelProcess::Run refused = p.run({"config", "load", other});
    QCOMPARE(refused.status, 4);
    QVERIFY2(refused.err.contains("other.txt has 2 lines where the rows of Lagoon Chorus need 39")
                 && refused.err.contains("Nothing was loaded. Give --apply-mismatched"),
             qPrintable(refused.err));
    // Only the way to the rows went out (Open FX and Request, as `state` goes), no level of the file.
    const QStringList refusedFrames = p.sim.framesSince(before);
    const int stateBefore = p.sim.mark();
    QCOMPARE(p.run({"state"}).status, 0);
    QCOMPARE(refusedFrames, p.sim.framesSince(stateBefore));
    const TovelProcess::Run applied = p.run({"config", "load", other, "--apply-mismatched"});
    QCOMPARE(applied.status, 0);
    const QJsonObject after = QJsonDocument::fromJson(p.run({"state", "--json"}).out.toUtf8()).object();
    QCOMPARE(after.value("rows").toArray()[1].toObject().value("level").toInt(), 200);
    QVERIFY(p.sim.process.stop());
}

void TestTovelPty::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no-command") << QStringList{} << "No command given.";
    QTest::newRow("unknown-command") << QStringList{"play"} << "\"play\" is no command.";
    QTest::newRow("unknown-option") << QStringList{"query", "--loud"} << "Unknown option 'loud'.";
    QTest::newRow("option-of-another-command") << QStringList{"state", "--fast"} << "state takes no --fast.";
    QTest::newRow("upload-of-name-and-file") << QStringList{"upload", kEffect, "--file", "x.txt"}
                                             << "upload takes an effect's name or --file FILE, one of them.";
    QTest::newRow("normalise-without-ir") << QStringList{"upload", kEffect, "--normalise"} << "--normalise goes with --ir.";
    QTest::newRow("limit-of-no-kind") << QStringList{"limit", "1", "lowest"} << "limit takes min, max or clear";
    QTest::newRow("clear-with-a-level") << QStringList{"limit", "1", "clear", "3"} << "limit ROW clear takes no level.";
    QTest::newRow("config-of-no-verb") << QStringList{"config", "print"} << "config takes list, save or load";
    QTest::newRow("too-many-words") << QStringList{"set", "1", "2", "3"}
                                    << "Wrong number of arguments for set: it takes set ROW LEVEL.";
    QTest::newRow("two-devices") << QStringList{"--virtual-pedal", "query"}
                                 << "--device and --virtual-pedal exclude each other.";
}

void TestTovelPty::refusedBeforeAnythingIsSent()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    const int before = p.sim.mark();
    const TovelProcess::Run r = p.run(arguments);
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.startsWith("tovel: " + message), qPrintable(r.err));
    QVERIFY2(r.err.contains("Try 'tovel --help'") || r.err.contains("Try 'tovel help " + arguments.value(0)),
             qPrintable(r.err));
    QCOMPARE(p.sim.framesSince(before), QStringList());
    QVERIFY(p.sim.process.stop());
}

void TestTovelPty::failures_data()
{
    QTest::addColumn<QString>("fault");      // sim faults, "unplug" (pulled before), or "-"
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // how standard error starts

    QTest::newRow("silent-pedal-query") << "no-answer" << QStringList{"query"} << 3
                                        << "tovel: The pedal did not answer the effect query. Check that the pedal "
                                           "is on and runs its effect firmware";
    // The line is checked before the program goes: the query goes unanswered, nothing is sent.
    QTest::newRow("silent-pedal-upload") << "no-answer" << QStringList{"upload", kEffect} << 3
                                         << "tovel: The pedal did not answer the effect query. The upload was not sent.";
    QTest::newRow("bad-answer-to-the-query") << "garbage" << QStringList{"state"} << 3
                                             << "tovel: The pedal's answer to the effect query could not be read.";
    QTest::newRow("short-answer-to-the-query") << "short" << QStringList{"set", "1", "5"} << 3
                                               << "tovel: The pedal's answer to the effect query was incomplete.";
    QTest::newRow("unplugged-during-the-upload") << "unplug-after-bytes:200" << QStringList{"upload", kEffect} << 2
                                                 << "tovel: The pedal was disconnected.\ntovel: Check the pedal's cable and power";
    QTest::newRow("unplugged-before-the-command") << "unplug" << QStringList{"query"} << 2
                                                  << "tovel: Open_USB_Device_By_Serial_Number - Device not found...\n"
                                                     "tovel: Check the pedal's cable and power";
    QTest::newRow("pedal-runs-no-effect") << "-" << QStringList{"state"} << 3
                                          << "tovel: The pedal runs no effect. Upload an effect first.\n";
    QTest::newRow("bootloader-does-not-answer") << "-" << QStringList{"backup", "flash.bin"} << 3
                                                << "tovel: The pedal does not answer as its bootloader does";
    QTest::newRow("refused-wav") << "-" << QStringList{"upload", "Basic IR Loader", "--ir", "@bad.wav"} << 4
                                 << "tovel: The file bad.wav cannot be used as an impulse response: it is not a WAV file";
    QTest::newRow("wav-for-an-effect-without-ir") << "-" << QStringList{"upload", kEffect, "--ir", "@good.wav"} << 1
                                                  << "tovel: Lagoon Chorus takes no impulse response";
    QTest::newRow("refused-program-file") << "-" << QStringList{"upload", "--file", "@bad.wav"} << 4
                                          << "tovel: The file @bad.wav cannot be uploaded: line 1, column 1 holds \"R\"";
    QTest::newRow("refused-configuration") << "-" << QStringList{"config", "load", "@bad.txt"} << 4
                                           << "tovel: Line 2 of the configuration file is not a whole number: \"loud\".";
    QTest::newRow("missing-configuration") << "-" << QStringList{"config", "load"} << 4
                                           << "tovel: No configuration file has been saved for Lagoon Chorus";
    QTest::newRow("row-that-does-not-exist") << "-" << QStringList{"set", "10", "1"} << 1
                                             << "tovel: Lagoon Chorus has no row \"10\". Its rows: 1 Depth, 2 Time,";
    QTest::newRow("level-out-of-range") << "-" << QStringList{"set", "Depth", "1024"} << 1
                                        << "tovel: Depth of Lagoon Chorus takes a level 0..1023, not \"1024\".\n";
    QTest::newRow("limit-of-a-switch") << "-" << QStringList{"limit", "Bright", "min"} << 1
                                       << "tovel: Bright is a switch: limits are set on pot rows only.\n";
    QTest::newRow("limit-of-an-unassigned-row") << "-" << QStringList{"limit", "1", "max"} << 1
                                                << "tovel: Depth is driven by no pedal control, so it has no limits.";
    QTest::newRow("no-such-pedal-control") << "-" << QStringList{"assign", "1", "KNEE"} << 1
                                           << "tovel: \"KNEE\" is no pedal control. The controls: I, EXP, II,";
}

void TestTovelPty::failures()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);

    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    const QDir home(p.tovel.home.path());
    if (!QTest::currentDataTag() || QByteArray(QTest::currentDataTag()) != "pedal-runs-no-effect")
        QCOMPARE(p.run({"upload", kEffect}).status, 0);
    // "@name": a fixture in the home folder.
    QVERIFY(runSox({"-n", "-r", "48000", "-b", "24", home.filePath("good.wav"), "synth", "0.05", "sine", "1000"}));
    writeText(home.filePath("bad.wav"), "RIFF but not a wave\n");
    // A configuration of the right length (9 rows, 6 pots: 39 lines) whose second level is no number.
    QByteArray config = "1\r\nloud\r\n";
    for (int line = 2; line < 39; ++line)
        config += "0\r\n";
    writeText(home.filePath("bad.txt"), config);
    for (QString &word : arguments)
        if (word.startsWith('@') && home.exists(word.mid(1)))
            word = home.filePath(word.mid(1));
    message.replace("@bad.wav", home.filePath("bad.wav"));

    if (fault == "unplug")
        QVERIFY(p.sim.process.unplug());
    else if (fault != "-")
        QVERIFY2(p.sim.process.setFaults(fault), qPrintable(p.sim.process.errorText()));
    const TovelProcess::Run r = p.run(arguments);
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + ": " + r.err));
    QVERIFY2(r.err.startsWith(message), qPrintable(r.err));
}

void TestTovelPty::helpNamesEveryExitStatus()
{
    TovelProcess tovel;
    const TovelProcess::Run r = tovel.run({"--help"});
    QCOMPARE(r.status, 0);
    for (const QString &line : {"  0  done", "  1  usage", "  2  no pedal, or the link to it was lost",
                                "  3  the pedal did not answer, or answered badly", "  4  a file was refused",
                                "  5  the firmware upgrade stopped", "  6  the maker's web site"})
        QVERIFY2(r.out.contains(line), qPrintable(line));
    for (const QString &command : {"list", "info", "upload", "query", "state", "set", "limit", "assign", "store",
                                   "config save", "config load", "flash", "backup", "version"})
        QVERIFY2(r.out.contains("\n  " + command + " "), qPrintable(command));
    QVERIFY(r.out.contains("\n  config list\n"));
}

void TestTovelPty::commandsSendOnlyWhatTheyAreFor_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("frames"); // how each frame the pedal parses starts, in order

    const QString query = QStringLiteral("fw EffectQuery 00");
    const QString request = QStringLiteral("fw StateRequest 9 rows: 324 numbers");
    QTest::newRow("query-asks-only") << QStringList{"query"} << QStringList{query};
    QTest::newRow("state-reads-only") << QStringList{"state"} << QStringList{query, request};
    QTest::newRow("set-sends-its-one-value")
        << QStringList{"set", "3", "512"} << QStringList{query, request, QStringLiteral("fw ParameterValue ")};
}

// A command that reads sends its questions and nothing else: the rows it read (a list with an
// option, a pot away from 0) are not written back, and `set` writes its one value only.
void TestTovelPty::commandsSendOnlyWhatTheyAreFor()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, frames);
    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    for (const QStringList &step : {QStringList{"upload", kEffect}, {"set", "1", "600"}, {"set", "Pattern", "IV"}}) {
        const TovelProcess::Run r = p.run(step);
        QVERIFY2(r.status == 0, qPrintable(step.join(' ') + ": " + r.err));
    }
    const int before = p.sim.mark();
    const TovelProcess::Run r = p.run(arguments);
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QStringList got = p.sim.framesSince(before);
    QVERIFY2(got.size() == frames.size(), qPrintable(got.join('\n')));
    for (int i = 0; i < frames.size(); ++i)
        QVERIFY2(got[i].startsWith(frames[i]), qPrintable(got[i]));
    if (arguments.first() == "set")
        QVERIFY2(got.last().endsWith(" 00400000 row 2"), qPrintable(got.last()));
    QVERIFY(p.sim.process.stop());
}

// Bytes that are no upload frame (here a bootloader's erase command) never reach the line.
void TestTovelPty::programThatIsNoUploadIsNotSent()
{
    Pedal p;
    QVERIFY2(p.start(), qPrintable(p.sim.process.errorText()));
    const QString file = p.tovel.home.filePath("erase.txt");
    writeText(file, "43BCFF00\n");
    const int before = p.sim.mark();
    const TovelProcess::Run r = p.run({"upload", "--file", file});
    QCOMPARE(r.status, 4);
    QVERIFY2(r.err.startsWith("tovel: The file " + file + " cannot be uploaded: it is no effect program"), qPrintable(r.err));
    QCOMPARE(p.sim.framesSince(before), QStringList());
    QVERIFY(p.sim.process.stop());
}

QTEST_MAIN(TestTovelPty)
#include "tst_tovelpty.moc"
