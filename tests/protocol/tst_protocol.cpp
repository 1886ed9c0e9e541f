#include "core/clock.h"
#include "core/mainstate.h"
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
    MainState state;
    ScriptedFtDriver driver{&clock};
    D2XXUnit usb{driver, prompts};
    CommandExchange exchange{usb, pacing, clock, console, state};

    Link()
    {
        driver.devices.append({"FT1", "Tovel", {}});
        usb.Open_USB_Device_By_Serial_Number("FT1");
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

    void textAnswerJoinsPiecesWithinAPause();
    void textAnswerEndsOnAQuietPause();
    void upgradeModeGivesFirstByteOnly();
    void failingQueueLeavesAnswerAtOnce();
    void blockArrivesWholeFromThreeReads();
    void blockHoldsNothingOfAnEarlierAnswer();
    void blockWaitEndsOnFailingQueue();
};

void TestProtocol::composedCommands_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("parameter-1023-at-0003") << parameterValueHex("0003", 1023) << QByteArray::fromHex("010003007FE000");
    QTest::newRow("parameter-512") << parameterValueHex("0016", 512) << QByteArray::fromHex("01001600400000");
    QTest::newRow("parameter-0") << parameterValueHex("0016", 0) << QByteArray::fromHex("01001600000000");
    QTest::newRow("limit-min-row2-100") << parameterLimitHex("00", 2, 100) << QByteArray::fromHex("060002000C8000");
    QTest::newRow("limit-max-row23-1023") << parameterLimitHex("01", 23, 1023) << QByteArray::fromHex("060117007FE000");
    QTest::newRow("state-request-12") << stateRequestHex(12) << QByteArray::fromHex("020C");
    QTest::newRow("state-request-3") << stateRequestHex(3) << QByteArray::fromHex("0203");
    QTest::newRow("store-24") << storeSettingsHex(24) << QByteArray::fromHex("0318");
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
    l.exchange.sendHex(stateRequestHex(12), 2, true);
    l.exchange.sendHex(parameterValueHex("0001", 1023), 7, false);
    QCOMPARE(l.driver.writes, (QList<QByteArray>{QByteArray::fromHex("020C"),
                                                 QByteArray::fromHex("010001007FE000")}));
    QCOMPARE(l.driver.purges, QList<quint32>{FT_PURGE_TX});
}

void TestProtocol::textAnswerJoinsPiecesWithinAPause()
{
    Link l;
    l.driver.queueAnswer("x\r\n12\r\n", l.ms(5));
    l.driver.queueAnswer("3\r\n5\r\n", l.ms(60));
    QString answer = "before";
    l.exchange.CollectAnswerText(answer);
    QCOMPARE(answer, QStringLiteral("x\r\n12\r\n3\r\n5\r\n"));
    QCOMPARE(l.console.lines, QStringList{"num of bytes received: 13"});
    QCOMPARE(l.driver.purges, QList<quint32>{FT_PURGE_RX});
    QVERIFY(l.pacing.sleeps().contains(100));
}

void TestProtocol::textAnswerEndsOnAQuietPause()
{
    Link l;
    l.driver.queueAnswer("first", 0);
    l.driver.queueAnswer("late", l.ms(400));
    QString answer;
    l.exchange.CollectAnswerText(answer);
    QCOMPARE(answer, QStringLiteral("first"));
}

void TestProtocol::upgradeModeGivesFirstByteOnly()
{
    Link l;
    l.state.FirmwareUpgradeMode = true;
    l.driver.queueAnswer(QByteArray::fromHex("791F"));
    QString answer;
    l.exchange.CollectAnswerText(answer);
    QCOMPARE(answer, QStringLiteral("79"));
    QVERIFY(l.pacing.sleeps().isEmpty()); // no pauses between reads in upgrade mode
    QCOMPARE(l.console.lines, QStringList{"num of bytes received: 2"});
}

void TestProtocol::failingQueueLeavesAnswerAtOnce()
{
    Link l;
    l.usb.CloseFTDevice();
    QString answer = "unchanged";
    l.exchange.CollectAnswerText(answer);
    QCOMPARE(answer, QStringLiteral("unchanged"));
    QCOMPARE(l.pacing.turns(), 1);
    QCOMPARE(l.prompts.messages, QStringList{"FT_GetQueueStatus - Invalid handle..."});
    QVERIFY(l.console.lines.isEmpty());
}

void TestProtocol::blockArrivesWholeFromThreeReads()
{
    Link l;
    l.driver.queueAnswer("0\r\n127\r\n", 0);
    l.driver.queueAnswer("224\r\n0\r\n", l.ms(5));
    l.driver.queueAnswer("0\r\n64\r\n", l.ms(15));
    const auto block = l.exchange.CollectAnswerBlock();
    QVERIFY(block);
    QCOMPARE(*block, QByteArray("0\r\n127\r\n224\r\n0\r\n0\r\n64\r\n"));
    QCOMPARE(l.driver.purges, (QList<quint32>{FT_PURGE_TX, FT_PURGE_RX}));
}

void TestProtocol::blockHoldsNothingOfAnEarlierAnswer()
{
    Link l;
    l.driver.queueAnswer(QByteArray(3000, '7'));
    QVERIFY(l.exchange.CollectAnswerBlock());
    l.driver.queueAnswer("1\r\n2\r\n");
    QCOMPARE(*l.exchange.CollectAnswerBlock(), QByteArray("1\r\n2\r\n"));
}

void TestProtocol::blockWaitEndsOnFailingQueue()
{
    Link l;
    int turns = 0;
    l.pacing.onTurn = [&] {
        if (++turns == 50)
            l.driver.failing[ScriptedFtDriver::Call::Queue] = FT_IO_ERROR; // unplugged meanwhile
    };
    QVERIFY(!l.exchange.CollectAnswerBlock());
    QCOMPARE(turns, 50);
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
