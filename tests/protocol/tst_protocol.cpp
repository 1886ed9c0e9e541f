#include "core/clock.h"
#include "core/pacing.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

// A link opened on a scripted bridge, on virtual time.
struct Link {
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedPrompts prompts;
    RecordingConsole console;
    ScriptedFtDriver driver{&clock};
    WordedUnit usb{driver, prompts};
    PedalState state;
    CommandExchange exchange{usb, pacing, clock, console, state};

    // Open to an effect firmware that has answered in step.
    Link()
    {
        driver.devices.append({"FT1", "Tovel", {}});
        usb.Open_USB_Device_By_Serial_Number("FT1");
        state.linkOpened(PedalState::Listener::EffectFirmware);
        state.effectAnswered({12, 3, QStringLiteral("Moss Verb")}, 5);
    }
    qint64 ms(qint64 m) const { return m * 1000; }
};

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void composedCommands_data();
    void composedCommands();
    void hexToBytesRule_data();
    void hexToBytesRule();
    void sendPurgesOnlyWhenAsked();

    void answerCollectedByItsRule_data();
    void answerCollectedByItsRule();
    void stateAnswerEndsAfterAQuietGap();
    void failingQueueEndsTheWaitAtOnce();
    void staleBytesAreDroppedBeforeACommand();
    void oneExchangeAtATime();
    void quitEndsAWaitAtOnce();
    void answerThatGaveUpPutsTheLineOutOfStep_data();
    void answerThatGaveUpPutsTheLineOutOfStep();
    void queryAnswerStartsAtItsKnownText_data();
    void queryAnswerStartsAtItsKnownText();
    void answerWithSomethingMixedInIsNotTrusted();
    void numberLinesEndInCrLfCrOrLf_data();
    void numberLinesEndInCrLfCrOrLf();
    void eachFirmwareGetsOnlyItsOwnCommands();
};

void TestProtocol::composedCommands_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("parameter-1023-at-0003") << bytesToHex(parameterValueCommand(0x0003, 1023)) << QByteArray::fromHex("010003007FE000");
    QTest::newRow("parameter-512") << bytesToHex(parameterValueCommand(0x0016, 512)) << QByteArray::fromHex("01001600400000");
    QTest::newRow("parameter-0") << bytesToHex(parameterValueCommand(0x0016, 0)) << QByteArray::fromHex("01001600000000");
    QTest::newRow("limit-min-row2-100") << bytesToHex(parameterLimitCommand(LimitKind::Minimum, 2, 100)) << QByteArray::fromHex("060002000C8000");
    QTest::newRow("limit-max-row23-1023") << bytesToHex(parameterLimitCommand(LimitKind::Maximum, 23, 1023)) << QByteArray::fromHex("060117007FE000");
    QTest::newRow("state-request-12") << bytesToHex(stateRequestCommand(12)) << QByteArray::fromHex("020C");
    QTest::newRow("state-request-3") << bytesToHex(stateRequestCommand(3)) << QByteArray::fromHex("0203");
    QTest::newRow("store-24") << bytesToHex(storeSettingsCommand(24)) << QByteArray::fromHex("0318");
}

void TestProtocol::composedCommands()
{
    QFETCH(QString, hex);
    QFETCH(QByteArray, bytes);
    QCOMPARE(HexToBytes(hex), bytes);
    QCOMPARE(hex, hex.toUpper());
}

void TestProtocol::hexToBytesRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("either-case") << "0a1BfF" << 10 << QByteArray::fromHex("0A1BFF");
    QTest::newRow("stops-at-non-hex") << "0A1GFF" << 10 << QByteArray::fromHex("0A");
    QTest::newRow("stops-at-blank") << "0A 1B" << 10 << QByteArray::fromHex("0A");
    QTest::newRow("stops-at-count") << "0A1B2C" << 2 << QByteArray::fromHex("0A1B");
    QTest::newRow("odd-last-digit-ignored") << "0A1" << 10 << QByteArray::fromHex("0A");
    QTest::newRow("empty") << "" << 10 << QByteArray();
}

void TestProtocol::hexToBytesRule()
{
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QByteArray, bytes);
    quint8 out[16] = {};
    const int n = hexToBytes(text, out, maxBytes);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(out), n), bytes);
    // HexToBytes is always (characters div 2) long, zero after a stop.
    QCOMPARE(HexToBytes("0AZZ11").toHex(), QByteArray("0a0000"));
}

void TestProtocol::sendPurgesOnlyWhenAsked()
{
    Link l;
    l.exchange.sendBytes(stateRequestCommand(12), true);
    l.exchange.sendBytes(parameterValueCommand(0x0001, 1023), false);
    QCOMPARE(l.driver.writes, (QList<QByteArray>{QByteArray::fromHex("020C"),
                                                 QByteArray::fromHex("010001007FE000")}));
    QCOMPARE(l.driver.purges, QList<quint32>{FT_PURGE_TX});
}

namespace {

struct Piece {
    qint64 atMs;
    QByteArray bytes;
};
using Pieces = QList<Piece>;

QByteArray numbers(int count, const QByteArray &number = "7")
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += number + "\r\n";
    return text;
}

} // namespace

Q_DECLARE_METATYPE(Pieces)
Q_DECLARE_METATYPE(tovel::CommandExchange::Outcome)

void TestProtocol::answerCollectedByItsRule_data()
{
    using O = CommandExchange::Outcome;
    QTest::addColumn<QString>("rule");
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<O>("outcome");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("console");

    const QByteArray query = "TOVEL\r\n12\r\n3\r\n5\r\n";
    QTest::newRow("query-whole") << "query" << Pieces{{5, query}} << O::Complete << query
                                 << QStringList{"num of bytes received: 17"};
    // A pause longer than the 100 ms that once ended a text answer.
    QTest::newRow("query-in-pieces-300ms-apart")
        << "query" << Pieces{{0, "TOVEL\r\n1"}, {300, "2\r\n3\r"}, {600, "\n5\r\n"}} << O::Complete
        << query << QStringList{"num of bytes received: 17"};
    QTest::newRow("query-with-a-tail")
        << "query" << Pieces{{0, query + "Uploa"}} << O::Complete << query
        << QStringList{"dropped 5 bytes after the effect query answer", "num of bytes received: 17"};
    QTest::newRow("query-silent") << "query" << Pieces{} << O::NoAnswer << QByteArray()
                                  << QStringList{"num of bytes received: 0"};
    QTest::newRow("query-three-lines") << "query" << Pieces{{10, "TOVEL\r\n12\r\n3\r\n"}} << O::Incomplete
                                       << QByteArray("TOVEL\r\n12\r\n3\r\n")
                                       << QStringList{"num of bytes received: 14"};
    // T = 0 rows: 288 numbers.
    QTest::newRow("state-in-three-pieces")
        << "state" << Pieces{{0, numbers(100)}, {50, numbers(100)}, {350, numbers(88)}} << O::Complete
        << numbers(288) << QStringList{};
    QTest::newRow("state-stops-short") << "state" << Pieces{{0, numbers(287)}} << O::Incomplete
                                       << numbers(287) << QStringList{};
    QTest::newRow("state-never-ends")
        << "state" << Pieces{{0, QByteArray(1440, 'x')}, {1, QByteArray(4000, 'y')}} << O::Incomplete
        << QByteArray(1440, 'x') << QStringList{"dropped 4000 bytes after the state request answer"};
    QTest::newRow("upload-status-in-pieces")
        << "upload" << Pieces{{0, "Uploa"}, {300, "d complete\r\n"}} << O::Complete
        << QByteArray("Upload complete\r\n") << QStringList{"num of bytes received: 17"};
    QTest::newRow("upload-short-status") << "upload" << Pieces{{0, "OK\r\nmore"}} << O::Complete
                                         << QByteArray("OK\r\n")
                                         << QStringList{"dropped 4 bytes after the upload answer",
                                                        "num of bytes received: 4"};
    QTest::newRow("bootloader-first-byte-only") << "bootloader" << Pieces{{0, QByteArray::fromHex("791F")}}
                                                << O::Complete << QByteArray::fromHex("79")
                                                << QStringList{"dropped 1 bytes after the bootloader greeting answer",
                                                               "num of bytes received: 1"};
}

void TestProtocol::answerCollectedByItsRule()
{
    QFETCH(QString, rule);
    QFETCH(Pieces, pieces);
    QFETCH(CommandExchange::Outcome, outcome);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, console);

    Link l;
    l.usb.state.BaudRate = 115200;
    const AnswerRule r = rule == "query" ? effectQueryAnswer()
                         : rule == "state" ? stateRequestAnswer(0)
                         : rule == "upload" ? uploadStatusAnswer(2048)
                                            : bootloaderAnswer();
    for (const Piece &p : pieces)
        l.driver.queueAnswer(p.bytes, l.ms(p.atMs));
    const bool text = rule != "state";
    const CommandExchange::Answer answer = text ? l.exchange.CollectAnswerText(r) : l.exchange.CollectAnswerBlock(r);
    QCOMPARE(answer.outcome, outcome);
    QCOMPARE(answer.bytes, bytes);
    QCOMPARE(l.console.lines, console);
    QCOMPARE(l.driver.purges.last(), FT_PURGE_RX);
    // No wait outlives its time-out: the time-out plus the line time of the bytes it allows for.
    const qint64 limitUs = l.ms(r.timeoutMs) + qint64(r.wireBytes) * 10 * 1'000'000 / 115200;
    QVERIFY2(l.clock.nowUs() <= limitUs + l.ms(2), qPrintable(QString::number(l.clock.nowUs())));
    if (outcome == CommandExchange::Outcome::NoAnswer)
        QVERIFY(l.clock.nowUs() >= limitUs);
}

void TestProtocol::stateAnswerEndsAfterAQuietGap()
{
    Link l;
    l.driver.queueAnswer(numbers(10), 0);
    const auto answer = l.exchange.CollectAnswerBlock(stateRequestAnswer(0));
    QCOMPARE(answer.outcome, CommandExchange::Outcome::Incomplete);
    // 500 ms of quiet after the last number, not the whole time-out.
    QVERIFY(l.clock.nowUs() >= l.ms(500));
    QVERIFY(l.clock.nowUs() < l.ms(520));
}

void TestProtocol::failingQueueEndsTheWaitAtOnce()
{
    Link l;
    l.usb.CloseFTDevice();
    const auto answer = l.exchange.CollectAnswerText(effectQueryAnswer());
    QCOMPARE(answer.outcome, CommandExchange::Outcome::LinkFailed);
    QCOMPARE(l.pacing.turns(), 1);
    QCOMPARE(l.prompts.messages, QStringList{"FT_GetQueueStatus - Invalid handle..."});
    QVERIFY(l.console.lines.isEmpty());
}

void TestProtocol::staleBytesAreDroppedBeforeACommand()
{
    Link l;
    l.driver.queueAnswer("d complete\r\n", 0);
    l.exchange.dropStaleBytes();
    QCOMPARE(l.console.lines, QStringList{"dropped 12 stale bytes from an earlier answer"});
    QCOMPARE(l.driver.purges, QList<quint32>{FT_PURGE_RX});
    l.console.lines.clear();
    l.exchange.dropStaleBytes(); // nothing queued: nothing said
    QVERIFY(l.console.lines.isEmpty());
}

// A second exchange cannot start while one runs, nor can a handler that runs during a wait put
// bytes on the line; parameter values moved meanwhile go afterwards, the latest of each.
void TestProtocol::oneExchangeAtATime()
{
    Link l;
    QList<bool> busy;
    QObject::connect(&l.exchange, &CommandExchange::busyChanged, [&](bool b) { busy.append(b); });
    {
        auto request = l.exchange.begin("state request");
        QVERIFY(request);
        QVERIFY(!l.exchange.begin("effect query"));
        QCOMPARE(l.console.lines.last(), QStringLiteral("effect query not started: the state request is still running"));
        int turn = 0;
        // The callback refers to turn: it goes before turn does, however the block is left.
        const auto forgetTurns = qScopeGuard([&l] { l.pacing.onTurn = nullptr; });
        l.pacing.onTurn = [&] {
            if (++turn != 3)
                return;
            QVERIFY(!l.exchange.sendBytes(QByteArray::fromHex("0500"), true));
            QVERIFY(!l.exchange.sendParameterValue(0x0001, 100));
            QVERIFY(!l.exchange.sendParameterValue(0x0002, 5));
            QVERIFY(!l.exchange.sendParameterValue(0x0001, 200));
            QCOMPARE(l.exchange.CollectAnswerText(effectQueryAnswer()).outcome,
                     CommandExchange::Outcome::Refused);
        };
        l.driver.queueAnswer(numbers(288), l.ms(5));
        QCOMPARE(l.exchange.CollectAnswerBlock(stateRequestAnswer(0)).outcome, CommandExchange::Outcome::Complete);
        QVERIFY(l.driver.writes.isEmpty());
        QCOMPARE(l.exchange.deferredCount(), 2);
    }
    QVERIFY(!l.pacing.onTurn); // nothing left to call into the block's dead locals
    QCOMPARE(l.driver.writes, (QList<QByteArray>{QByteArray::fromHex("01000100190000"),
                                                 QByteArray::fromHex("0100020000A000")}));
    QCOMPARE(busy, (QList<bool>{true, false}));
    QVERIFY(l.exchange.begin("effect query"));
}

void TestProtocol::quitEndsAWaitAtOnce()
{
    Link l;
    l.pacing.onTurn = [&] {
        if (l.pacing.turns() == 10)
            l.exchange.quit();
    };
    QCOMPARE(l.exchange.CollectAnswerText(effectQueryAnswer()).outcome, CommandExchange::Outcome::Quitting);
    QCOMPARE(l.pacing.turns(), 10);
    QVERIFY(!l.exchange.begin("upload"));
    QVERIFY(!l.exchange.sendParameterValue(0x0001, 1));
    QVERIFY(l.driver.writes.isEmpty());
}

void TestProtocol::answerThatGaveUpPutsTheLineOutOfStep_data()
{
    QTest::addColumn<Pieces>("first"); // the answer that gives up
    QTest::addColumn<QString>("rule");
    QTest::newRow("query-rest-3.5-s-late") << Pieces{{0, "TOVEL\r\n1"}, {3500, "2\r\n3\r\n5\r\n"}} << "query";
    QTest::newRow("state-rest-in-pieces-1.5-s-apart")
        << Pieces{{0, numbers(100)}, {1500, numbers(100)}, {3000, numbers(88)}} << "state";
    QTest::newRow("silent-pedal") << Pieces{} << "query";
}

// An answer that gave up may still be coming: no wait on the clock can tell when it has all
// come, so the line is out of step until a check has put it back, and nothing that needs it
// in step goes out meanwhile.
void TestProtocol::answerThatGaveUpPutsTheLineOutOfStep()
{
    QFETCH(Pieces, first);
    QFETCH(QString, rule);

    Link l;
    for (const Piece &p : first)
        l.driver.queueAnswer(p.bytes, l.ms(p.atMs));
    const auto failed = rule == "query" ? l.exchange.CollectAnswerText(effectQueryAnswer())
                                        : l.exchange.CollectAnswerBlock(stateRequestAnswer(0));
    QVERIFY(!failed.complete());
    QCOMPARE(l.state.kind(), PedalState::Kind::OutOfStep);
    QVERIFY(!l.state.inStep());
    QVERIFY(l.state.effect()); // what the pedal said stays known, only the line is in doubt

    // A parameter value waits for the check, which whoever can run it is asked for.
    QSignalSpy wanted(&l.exchange, &CommandExchange::proofWanted);
    l.driver.writes.clear();
    QVERIFY(!l.exchange.sendParameterValue(0x0001, 100));
    QCOMPARE(wanted.count(), 1);
    QCOMPARE(l.exchange.deferredCount(), 1);
    QVERIFY(l.driver.writes.isEmpty());
    // Dropping what has come before the next command takes no time: nothing is waited for.
    const qint64 before = l.clock.nowUs();
    QVERIFY(l.exchange.dropStaleBytes());
    QCOMPARE(l.clock.nowUs(), before);

    // In step again, the kept value goes when the next exchange ends.
    l.state.effectAnswered({12, 3, QStringLiteral("Moss Verb")}, 5);
    { auto scope = l.exchange.begin("line check"); }
    QCOMPARE(l.driver.writes, QList<QByteArray>{QByteArray::fromHex("010001000C8000")});
}

void TestProtocol::queryAnswerStartsAtItsKnownText_data()
{
    using O = CommandExchange::Outcome;
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<O>("outcome");
    QTest::addColumn<int>("stale");
    const QByteArray query = "TOVEL\r\n12\r\n3\r\n5\r\n";
    QTest::newRow("alone") << Pieces{{5, query}} << O::Complete << 0;
    QTest::newRow("after-the-rest-of-an-earlier-answer") << Pieces{{0, "2\r\n3\r\n5\r\n"}, {40, query}} << O::Complete << 9;
    QTest::newRow("start-cut-between-two-reads")
        << Pieces{{0, "7\r\n255\r\nTOV"}, {50, query.mid(3)}} << O::Complete << 8;
    QTest::newRow("state-numbers-only") << Pieces{{0, numbers(40)}} << O::NoAnswer << 120;
    QTest::newRow("start-then-silence") << Pieces{{0, "0\r\nTOVEL\r\n1"}} << O::Incomplete << 3;
}

// Whatever comes before the effect query's first line belongs to an earlier answer: it is
// dropped and counted, and the answer is taken from its start.
void TestProtocol::queryAnswerStartsAtItsKnownText()
{
    QFETCH(Pieces, pieces);
    QFETCH(CommandExchange::Outcome, outcome);
    QFETCH(int, stale);

    Link l;
    for (const Piece &p : pieces)
        l.driver.queueAnswer(p.bytes, l.ms(p.atMs));
    const CommandExchange::Answer answer = l.exchange.CollectAnswerText(effectQueryAnswer());
    QCOMPARE(answer.outcome, outcome);
    QCOMPARE(answer.stale, qsizetype(stale));
    QCOMPARE(answer.started, outcome != CommandExchange::Outcome::NoAnswer);
    if (outcome == CommandExchange::Outcome::Complete)
        QCOMPARE(answer.bytes, QByteArray("TOVEL\r\n12\r\n3\r\n5\r\n"));
    else
        QVERIFY(answer.bytes.isEmpty() || answer.bytes.startsWith("TOVEL"));
    // An answer that had anything before it is not one the line can be trusted on.
    QCOMPARE(l.state.inStep(), outcome == CommandExchange::Outcome::Complete && stale == 0);
}

void TestProtocol::answerWithSomethingMixedInIsNotTrusted()
{
    Link l;
    // Lines beyond the four of an effect query: the four read may not be this answer's.
    l.driver.queueAnswer("TOVEL\r\n0\r\n0\r\n0\r\n0\r\n0\r\n", 0);
    const auto query = l.exchange.CollectAnswerText(effectQueryAnswer());
    QCOMPARE(query.outcome, CommandExchange::Outcome::Complete);
    QVERIFY(query.foreign);
    QCOMPARE(CommandExchange::failureMessage(effectQueryAnswer(), query),
             QStringLiteral("The pedal's answer to the effect query could not be read."));
    QCOMPARE(l.state.kind(), PedalState::Kind::OutOfStep);

    // A status with something after it is still the status (its first line counts), but what
    // came after it came unasked: the line is out of step.
    l.state.effectAnswered({12, 3, QStringLiteral("Moss Verb")}, 5);
    l.driver.queueAnswer("OK\r\nmore", l.clock.nowUs() + l.ms(1));
    const auto shortStatus = l.exchange.CollectAnswerBlock(uploadStatusAnswer(0));
    QCOMPARE(shortStatus.bytes, QByteArray("OK\r\n"));
    QCOMPARE(shortStatus.extra, 4);
    QVERIFY(!shortStatus.foreign);
    QVERIFY(CommandExchange::failureMessage(uploadStatusAnswer(0), shortStatus).isEmpty());
    QCOMPARE(l.state.kind(), PedalState::Kind::OutOfStep);

    // Bytes waiting before a command came unasked too.
    l.state.effectAnswered({12, 3, QStringLiteral("Moss Verb")}, 5);
    l.driver.queueAnswer("12\r\n", l.clock.nowUs() + l.ms(1));
    l.clock.advanceUs(l.ms(5));
    QVERIFY(l.exchange.dropStaleBytes());
    QCOMPARE(l.state.kind(), PedalState::Kind::OutOfStep);
}

void TestProtocol::numberLinesEndInCrLfCrOrLf_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("whole"); // 0: not yet
    QTest::newRow("cr-lf") << QByteArray("1\r\n22\r\n3\r\n") << 3 << 10;
    QTest::newRow("cr-alone") << QByteArray("1\r22\r3\r9") << 3 << 7;
    QTest::newRow("lf-alone") << QByteArray("1\n22\n3\n") << 3 << 7;
    QTest::newRow("cr-lf-waits-for-the-last-lf") << QByteArray("1\r\n22\r\n3\r") << 3 << 0;
    QTest::newRow("cr-alone-ends-at-the-last-cr") << QByteArray("1\r22\r3\r") << 3 << 7;
    QTest::newRow("empty-line-counts") << QByteArray("1\r\n\r\n3\r\n") << 3 << 8;
    QTest::newRow("too-few") << QByteArray("1\r\n22\r\n") << 3 << 0;
}

void TestProtocol::numberLinesEndInCrLfCrOrLf()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lines);
    QFETCH(int, whole);
    QCOMPARE(throughNumberLine(bytes, lines), qsizetype(whole));
}

void TestProtocol::eachFirmwareGetsOnlyItsOwnCommands()
{
    using L = CommandExchange::Listener;
    Link l;
    // Before a link is open nothing is known: both may start (the driver says what fails).
    l.state.linkClosed();
    QVERIFY(l.exchange.begin("upload"));
    QVERIFY(l.exchange.begin("firmware upgrade", L::Bootloader));

    l.state.linkOpened(L::Bootloader);
    QVERIFY(!l.exchange.begin("upload"));
    const ActionFailure toBootloader = l.exchange.refused(QStringLiteral("upload"));
    QVERIFY(toBootloader.message.startsWith("The pedal is connected to its bootloader: the upload"));
    QCOMPARE(toBootloader.advice, ActionFailure::Advice::LeaveUpgradeMode);
    QCOMPARE(l.console.lines.last(), QStringLiteral("upload not started: the link is open to the bootloader"));
    QVERIFY(!l.exchange.sendParameterValue(0x0001, 100));
    QVERIFY(l.exchange.begin("firmware upgrade", L::Bootloader));

    l.state.linkOpened(L::EffectFirmware);
    l.state.effectAnswered({12, 3, QStringLiteral("Moss Verb")}, 5);
    QVERIFY(!l.exchange.begin("firmware upgrade", L::Bootloader));
    const ActionFailure toEffect = l.exchange.refused(QStringLiteral("firmware upgrade"));
    QVERIFY(toEffect.message.startsWith("The pedal is connected in its normal mode: the firmware upgrade"));
    QCOMPARE(toEffect.advice, ActionFailure::Advice::EnterUpgradeMode);
    QVERIFY(l.exchange.sendParameterValue(0x0001, 100));
    QCOMPARE(l.driver.writes, QList<QByteArray>{QByteArray::fromHex("010001000C8000")});
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
