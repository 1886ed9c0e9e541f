// `tovel` as a scripter and a careless typist meet it: help for each command, the nearest names
// for a mistake, negative values, --json for every command (failures included) and --quiet, a
// configuration load that would stop half-way, escapes for control characters, and a home
// folder that is not there. The pedal is tovel-pedal-sim through a pseudo-terminal.
#include "cli/commandline.h"
#include "config/savedsounds.h"
#include "tests/support/ptyeditor.h"
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

QJsonObject jsonOf(const QString &out)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? document.object()
                                                   : QJsonObject{{"unparsed", out}};
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(text) == text.size(), qPrintable(path));
}

} // namespace

class TestTovelScripting : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void withoutPedal_data();
    void withoutPedal();
    void everyCommandHasItsHelp();
    void onThePedal_data();
    void onThePedal();
    void queryOfAPedalThatRunsNoEffect();
    void failureInJson();
    void loadThatWouldStopSendsNothing();
    void noHomeFolder_data();
    void noHomeFolder();
    void configListShowsTheSavedSounds();

private:
    // One pedal for the rows that can share it: the effect uploaded once.
    LoggedSim m_sim;
    TovelProcess m_tovel;
    TovelProcess::Run run(const QStringList &arguments) { return m_tovel.onDevice(m_sim.process.ptyPath(), arguments); }
};

void TestTovelScripting::initTestCase()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.process.errorText()));
    const TovelProcess::Run uploaded = run({"upload", kEffect});
    QVERIFY2(uploaded.status == 0, qPrintable(uploaded.err));
}

void TestTovelScripting::cleanupTestCase()
{
    QVERIFY(m_sim.process.stop());
}

void TestTovelScripting::withoutPedal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // patterns the two streams match
    QTest::addColumn<QString>("err");

    QTest::newRow("help-of-a-command") << QStringList{"help", "upload"} << 0
                                       << "^Usage: tovel \\[options\\] upload NAME (.|\n)*\nExample:\n"
                                          "  tovel upload \"Amber Drive\"\n"
                                       << "^$";
    QTest::newRow("help-after-the-command") << QStringList{"limit", "--help"} << 0
                                            << "^Usage: tovel \\[options\\] limit ROW min\\|max \\[LEVEL\\]\n"
                                               "       tovel \\[options\\] limit ROW clear\n(.|\n)*Example:\n"
                                            << "^$";
    QTest::newRow("global-help-names-the-command-help") << QStringList{"--help"} << 0
                                                        << "'tovel help COMMAND'" << "^$";
    QTest::newRow("mistyped-command") << QStringList{"uplod", "Amber Drive"} << 1 << "^$"
                                      << "^tovel: \"uplod\" is no command. Did you mean upload\\?\n";
    QTest::newRow("mistyped-command-two-near") << QStringList{"stare"} << 1 << "^$"
                                               << "^tovel: \"stare\" is no command. Did you mean state or store\\?\n";
    QTest::newRow("help-of-a-mistyped-command") << QStringList{"help", "flsh"} << 1 << "^$"
                                                << "^tovel: \"flsh\" is no command. Did you mean flash\\?\n";
    QTest::newRow("mistyped-option") << QStringList{"list", "--jsn"} << 1 << "^$"
                                     << "^tovel: Unknown option 'jsn'. Did you mean --json\\?\n";
    QTest::newRow("mistyped-effect") << QStringList{"info", "Ambr Drive"} << 1 << "^$"
                                     << "^tovel: No effect is named \"Ambr Drive\". Did you mean \"Amber Drive\"\\? "
                                        "tovel list shows them.\n$";
    QTest::newRow("mistyped-category") << QStringList{"list", "gian"} << 1 << "^$"
                                       << "^tovel: No category is named \"gian\". Did you mean Gain\\? The categories:";
    QTest::newRow("far-from-every-name") << QStringList{"info", "Xylophone"} << 1 << "^$"
                                         << "^tovel: No effect is named \"Xylophone\". tovel list shows them.\n$";
    QTest::newRow("control-characters-escaped") << QStringList{"info", "Amber\x1b[2J\x07" "Drive"} << 1 << "^$"
                                                << "^tovel: No effect is named \"Amber\\\\x1b\\[2J\\\\x07Drive\"";
    QTest::newRow("usage-error-in-json") << QStringList{"uplod", "--json"} << 1
                                         << "^\\{\n    \"error\": \\{\n        \"code\": 1,\n        \"message\": "
                                            "\"\\\\\"uplod\\\\\" is no command. Did you mean upload\\?\"\n    \\}\n\\}\n$"
                                         << "^$";
    QTest::newRow("list-in-json") << QStringList{"list", "impulse response", "--json"} << 0
                                  << "^\\{\n    \"categories\": \\[\n        \\{\n            \"category\": "
                                     "\"Impulse Response\",\n            \"effects\": \\[\n                \"Amber Drive \\+ IR"
                                  << "^$";
    QTest::newRow("info-in-json") << QStringList{"--json", "info", "lagoon chorus"} << 0
                                  << "\"effect\": \"Lagoon Chorus\"" << "^$";
    QTest::newRow("version-in-json") << QStringList{"version", "--json"} << 0
                                     << "^\\{\n    \"version\": \\{\n        \"announced\": null,\n        \"program\": "
                                        "\"\\d+\\.\\d+\"\n    \\}\n\\}\n$"
                                     << "^$";
    QTest::newRow("help-in-json") << QStringList{"help", "set", "--json"} << 0
                                  << "^\\{\n    \"help\": \"Usage: tovel \\[options\\] set ROW LEVEL\\\\n" << "^$";
    QTest::newRow("quiet-says-nothing") << QStringList{"list", "--quiet"} << 0 << "^$" << "^$";
    QTest::newRow("quiet-failure-still-said") << QStringList{"-q", "info", "Nothing"} << 1 << "^$"
                                              << "^tovel: No effect is named";
    QTest::newRow("json-and-quiet") << QStringList{"list", "--json", "-q"} << 1 << "\"code\": 1" << "^$";
    QTest::newRow("option-value-missing") << QStringList{"upload", "--file"} << 1 << "^$"
                                          << "^tovel: Missing value after '--file'.\n";
    QTest::newRow("double-dash-ends-the-options") << QStringList{"info", "--", "--json"} << 1 << "^$"
                                                  << "^tovel: No effect is named \"--json\"";
}

void TestTovelScripting::withoutPedal()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    TovelProcess tovel;
    const TovelProcess::Run r = tovel.run(arguments);
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + r.err));
    QVERIFY2(QRegularExpression(out).match(r.out).hasMatch(), qPrintable(r.out));
    QVERIFY2(QRegularExpression(err).match(r.err).hasMatch(), qPrintable(r.err));
}

void TestTovelScripting::everyCommandHasItsHelp()
{
    TovelProcess tovel;
    for (const QString &command : CommandLine::commandNames()) {
        const TovelProcess::Run r = tovel.run({command, "--help"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Usage: tovel [options] " + command), qPrintable(r.out));
        QVERIFY2(r.out.contains("\nExample:\n  tovel "), qPrintable(r.out));
        QCOMPARE(tovel.run({"help", command}).out, r.out);
    }
}

void TestTovelScripting::onThePedal_data()
{
    QTest::addColumn<QStringList>("setup"); // commands run first, each a comma-separated list
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // compact JSON, or a pattern the text matches

    QTest::newRow("query") << QStringList{} << QStringList{"query", "--json"} << 0
                           << "^\\{\"effect\":\"Lagoon Chorus\",\"effectNumber\":\\d+,\"effectVersion\":\\d+,"
                              "\"firmwareVersion\":5\\}$";
    QTest::newRow("set-a-pot") << QStringList{} << QStringList{"set", "Feedback", "512", "--json"} << 0
                               << "^\\{\"set\":\\{\"level\":512,\"name\":\"Feedback\",\"row\":3\\}\\}$";
    QTest::newRow("set-a-switch") << QStringList{} << QStringList{"--json", "set", "mute", "on"} << 0
                                  << "^\\{\"set\":\\{\"level\":1023,\"name\":\"Mute\",\"on\":true,\"row\":8\\}\\}$";
    QTest::newRow("set-a-list") << QStringList{} << QStringList{"set", "Pattern", "iv", "--json"} << 0
                                << "^\\{\"set\":\\{\"level\":\\d+,\"name\":\"Pattern\",\"option\":\"IV\",\"row\":9\\}\\}$";
    QTest::newRow("assign") << QStringList{} << QStringList{"assign", "Depth", "EXP", "--reverse", "--json"} << 0
                            << "^\\{\"assign\":\\{\"control\":\"EXP\",\"name\":\"Depth\",\"reverse\":true,\"row\":1\\}\\}$";
    QTest::newRow("limit") << QStringList{"assign,2,I"} << QStringList{"limit", "Time", "max", "767", "--json"} << 0
                           << "^\\{\"limit\":\\{\"max\":\\{\"level\":767,\"shown\":\"75%\"\\},\"min\":\\{\"level\":\\d+,"
                              "\"shown\":\"1%\"\\},\"name\":\"Time\",\"row\":2\\}\\}$";
    QTest::newRow("store") << QStringList{} << QStringList{"store", "--json"} << 0
                           << "^\\{\"store\":\\{\"effect\":\"Lagoon Chorus\"\\}\\}$";
    QTest::newRow("config-save") << QStringList{} << QStringList{"config", "save", "@song-1.txt", "--json"} << 0
                                 << "^\\{\"config\":\\{\"saved\":\"@song-1.txt\"\\}\\}$";
    QTest::newRow("config-load") << QStringList{"config,save,@song-2.txt"}
                                 << QStringList{"config", "load", "@song-2.txt", "--json"} << 0
                                 << "^\\{\"config\":\\{\"clamped\":\\[\\],\"loaded\":\"@song-2.txt\"\\}\\}$";
    QTest::newRow("state") << QStringList{"set,Depth,100"} << QStringList{"state", "--json"} << 0
                           << "^\\{\"effect\":\"Lagoon Chorus\",(.*)\"rows\":\\[\\{\"assigned\":\\w+,\"control\""
                              ".*\"level\":100,\"max\"";
    // Negative values are words: the row says what it takes.
    QTest::newRow("negative-level-in-json") << QStringList{} << QStringList{"set", "Depth", "-1", "--json"} << 1
                                            << "^\\{\"error\":\\{\"code\":1,\"message\":\"Depth of Lagoon Chorus takes "
                                               "a level 0\\.\\.1023, not \\\\\"-1\\\\\"\\.\"\\}\\}$";
    QTest::newRow("negative-limit") << QStringList{"assign,1,I"} << QStringList{"limit", "1", "min", "-5"} << 1
                                    << "^$";
    QTest::newRow("mistyped-row") << QStringList{} << QStringList{"set", "Dpeth", "5"} << 1 << "^$";
    QTest::newRow("mistyped-control") << QStringList{} << QStringList{"assign", "1", "EPX"} << 1 << "^$";
    QTest::newRow("minimum-above-the-maximum") << QStringList{"assign,1,I", "limit,1,max,400"}
                                               << QStringList{"limit", "1", "min", "600"} << 1 << "^$";
    QTest::newRow("config-save-where-no-file-can-be") << QStringList{} << QStringList{"config", "save", "/proc/x.txt"} << 4
                                                      << "^$";
    QTest::newRow("config-save-onto-a-folder") << QStringList{} << QStringList{"config", "save", "@", "--json"} << 4
                                               << "^\\{\"error\":\\{\"code\":4,\"message\":\"Error saving file: @ is a "
                                                  "folder, not a regular file\"\\}\\}$";
    QTest::newRow("quiet-set") << QStringList{} << QStringList{"set", "1", "5", "--quiet"} << 0 << "^$";
}

void TestTovelScripting::onThePedal()
{
    QFETCH(QStringList, setup);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    const QString home = m_tovel.home.path() + "/";
    for (const QString &step : setup) {
        const TovelProcess::Run r = run(step.split(',').replaceInStrings("@", home));
        QVERIFY2(r.status == 0, qPrintable(step + ": " + r.err));
    }
    const TovelProcess::Run r = run(arguments.replaceInStrings("@", home));
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + ": " + r.out + r.err));
    const bool json = arguments.contains("--json");
    const QString shown = json ? compact(jsonOf(r.out)) : r.out;
    QVERIFY2(QRegularExpression(out.replace("@", QRegularExpression::escape(home))).match(shown).hasMatch(),
             qPrintable(shown));
    // With --json everything is on standard output; a failure without it is said on standard error.
    if (json || status == 0)
        QCOMPARE(r.err, QString());
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    const QHash<QString, QString> said{
        {"negative-limit", "tovel: A limit is a level 0..1023, not \"-5\".\n"},
        {"mistyped-row", "tovel: Lagoon Chorus has no row \"Dpeth\". Did you mean Depth? Its rows: 1 Depth, 2 Time,"},
        {"mistyped-control", "tovel: \"EPX\" is no pedal control. Did you mean EXP? The controls: I, EXP,"},
        {"config-save-where-no-file-can-be", "tovel: Error saving file: /proc/x.txt cannot be written: "},
        {"minimum-above-the-maximum", "tovel: Cannot set a MIN value higher than a MAX value: the minimum would be "
                                      "600, above the maximum 400.\n"},
    };
    if (said.contains(tag))
        QVERIFY2(r.err.startsWith(said.value(tag)), qPrintable(r.err));
}

void TestTovelScripting::queryOfAPedalThatRunsNoEffect()
{
    LoggedSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.process.errorText()));
    TovelProcess tovel;
    const TovelProcess::Run json = tovel.onDevice(sim.process.ptyPath(), {"query", "--json"});
    QVERIFY2(json.status == 0, qPrintable(json.out + json.err));
    const QJsonObject answer = jsonOf(json.out);
    QCOMPARE(answer.value("effect"), QJsonValue(QJsonValue::Null));
    QCOMPARE(answer.value("effectNumber").toInt(-1), 0);
    const TovelProcess::Run text = tovel.onDevice(sim.process.ptyPath(), {"query"});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.startsWith("effect: none\neffect number: 0\n"), qPrintable(text.out));
    QVERIFY(sim.process.stop());
}

void TestTovelScripting::failureInJson()
{
    // A pedal that does not answer: the error is the JSON answer, with the messages said on the way.
    LoggedSim sim;
    QVERIFY2(sim.start(), qPrintable(sim.process.errorText()));
    QVERIFY2(sim.process.setFaults("no-answer"), qPrintable(sim.process.errorText()));
    TovelProcess tovel;
    const TovelProcess::Run r = tovel.onDevice(sim.process.ptyPath(), {"state", "--json"});
    QCOMPARE(r.status, 3);
    QCOMPARE(r.err, QString());
    const QJsonObject error = jsonOf(r.out).value("error").toObject();
    QCOMPARE(jsonOf(r.out).keys(), QStringList{"error"});
    QCOMPARE(error.value("code").toInt(), 3);
    QVERIFY2(error.value("message").toString().startsWith("The pedal did not answer the effect query."),
             qPrintable(r.out));
    QVERIFY(sim.process.stop());
}

void TestTovelScripting::loadThatWouldStopSendsNothing()
{
    // Another effect's file, taken line by line: its fourth value line is a pedal control, where
    // Lagoon Chorus has a level. Checked whole first, it is refused before a level goes out.
    const QString file = m_tovel.home.filePath("other-effect.txt");
    writeText(file, "700\r\n600\r\n500\r\nEXP\r\nNA\r\nF\r\n1\r\n100\r\n");
    const TovelProcess::Run before = run({"state", "--json"});
    QCOMPARE(before.status, 0);

    const int from = m_sim.mark();
    const TovelProcess::Run r = run({"config", "load", file, "--apply-mismatched"});
    const QStringList frames = m_sim.framesSince(from);
    QCOMPARE(r.status, 4);
    QVERIFY2(r.err.startsWith("tovel: Line 4 of the configuration file is not a whole number: \"EXP\". "
                              "Nothing was loaded.\n"),
             qPrintable(r.err));
    // Only the way to the rows went out, as `state` goes: the effect query and the state request.
    const int stateFrom = m_sim.mark();
    const TovelProcess::Run after = run({"state", "--json"});
    QCOMPARE(frames, m_sim.framesSince(stateFrom));
    QCOMPARE(jsonOf(after.out).value("rows"), jsonOf(before.out).value("rows"));
}

void TestTovelScripting::noHomeFolder_data()
{
    QTest::addColumn<QString>("home"); // HOME for the run; "-" unset
    QTest::addColumn<QString>("message");
    QTest::newRow("home-unset") << "-" << "HOME is not set";
    QTest::newRow("home-that-does-not-exist") << "/nonexistent-tovel-home" << "HOME (/nonexistent-tovel-home) is not an existing folder";
    QTest::newRow("home-not-absolute") << "relative/home" << "HOME (relative/home) is not an absolute path";
}

void TestTovelScripting::noHomeFolder()
{
    QFETCH(QString, home);
    QFETCH(QString, message);
    TovelProcess tovel;
    tovel.environment = [home](QProcessEnvironment &env) {
        env.remove("XDG_DOCUMENTS_DIR");
        if (home == "-")
            env.remove("HOME");
        else
            env.insert("HOME", home);
    };
    const bool rootDocuments = QFileInfo::exists("/Documents");
    const TovelProcess::Run r = tovel.onDevice(m_sim.process.ptyPath(), {"config", "save"});
    QCOMPARE(r.status, 4);
    QVERIFY2(r.err.startsWith("tovel: Error: Could not retrieve the user documents path. " + message), qPrintable(r.err));
    QVERIFY2(r.err.contains("Name the file: tovel config save|load FILE."), qPrintable(r.err));
    // Nothing made at the root, nor where HOME points.
    QCOMPARE(QFileInfo::exists("/Documents"), rootDocuments);
    QVERIFY(!QFileInfo::exists("/nonexistent-tovel-home"));
}

// config list shows the entries the editor's list of saved sounds shows, as text and as JSON;
// a NAME saves and loads the saved sound of that name.
void TestTovelScripting::configListShowsTheSavedSounds()
{
    const QString folder = m_tovel.documents() + "/ZANTH/Tovel";
    QVERIFY(QDir().mkpath(folder));
    writeText(folder + "/short take.txt", "1\r\n2\r\n");
    const TovelProcess::Run saved = run({"config", "save", "verse"});
    QVERIFY2(saved.status == 0, qPrintable(saved.err));
    QVERIFY(QFileInfo::exists(folder + "/verse.txt"));

    const TovelProcess::Run text = run({"config", "list"});
    QVERIFY2(text.status == 0, qPrintable(text.err));
    const TovelProcess::Run json = run({"config", "list", "--json"});
    QVERIFY2(json.status == 0, qPrintable(json.err));
    // Lagoon Chorus: nine rows, six of them pots.
    const QList<SavedSound> sounds = listSavedSounds(folder, kEffect, 9, 6);
    QVERIFY(sounds.size() >= 2);
    const QStringList lines = text.out.split('\n', Qt::SkipEmptyParts);
    const QJsonArray entries = jsonOf(json.out).value("config").toObject().value("sounds").toArray();
    QCOMPARE(lines.size(), sounds.size());
    QCOMPARE(entries.size(), sounds.size());
    for (qsizetype i = 0; i < sounds.size(); ++i) {
        const SavedSound &sound = sounds[i];
        QVERIFY2(lines[i].startsWith(sound.name + "  " + sound.modified.toString("yyyy-MM-dd HH:mm")), qPrintable(lines[i]));
        QCOMPARE(lines[i].endsWith("(another layout: a load refuses it)"), !sound.fitsLayout);
        const QJsonObject entry = entries[i].toObject();
        QCOMPARE(entry.value("name").toString(), sound.name);
        QCOMPARE(entry.value("file").toString(), sound.path);
        QCOMPARE(entry.value("fitsLayout").toBool(), sound.fitsLayout);
        QCOMPARE(entry.value("own").toBool(), sound.ownFile);
        QCOMPARE(entry.value("modified").toString(), sound.modified.toUTC().toString(Qt::ISODate));
    }
    const auto named = [&sounds](const QString &name) {
        return *std::find_if(sounds.begin(), sounds.end(), [&name](const SavedSound &s) { return s.name == name; });
    };
    QVERIFY(named("verse").fitsLayout);
    QVERIFY(!named("short take").fitsLayout);

    const TovelProcess::Run loaded = run({"config", "load", "verse"});
    QVERIFY2(loaded.status == 0, qPrintable(loaded.err));
    const TovelProcess::Run refused = run({"config", "load", "short take"});
    QCOMPARE(refused.status, 4);
    QVERIFY2(refused.err.contains("short take.txt has 2 lines"), qPrintable(refused.err));
}

QTEST_MAIN(TestTovelScripting)
#include "tst_tovelscripting.moc"
