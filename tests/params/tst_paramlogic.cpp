#include "params/paramtables.h"
#include "protocol/effectquery.h"
#include "params/paramrows.h"
#include "protocol/stateblock.h"
#include "tests/support/testseams.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

using Bytes = QList<quint8>;

class TestParamLogic : public QObject {
    Q_OBJECT

private slots:
    void assignBox();
    void payloadWithThreeRows();
    void payloadWith24Rows();
    void percentages_data();
    void percentages();
    void stateAnswer_data();
    void stateAnswer();
    void shiftedStateAnswerIsImplausible_data();
    void shiftedStateAnswerIsImplausible();
    void stateAnswerWithNonDigitFails_data();
    void stateAnswerWithNonDigitFails();
    void effectInfo();
    void rowLevels();
    void multiSwitchOptions_data();
    void multiSwitchOptions();
};

void TestParamLogic::assignBox()
{
    ParamTables t;
    t.AssignBoxChanged(0, 1); // EXP
    QCOMPARE(t.AssignMatrix[1][0], 1);
    QVERIFY(t.IsAssigned[0]);
    t.AssignBoxChanged(0, 2); // II instead: only one control per row
    QCOMPARE(t.AssignMatrix[1][0], 0);
    QCOMPARE(t.AssignMatrix[2][0], 1);
    t.AssignBoxChanged(0, -1); // no selection: the column is cleared, the flag stays
    QCOMPARE(t.AssignMatrix[2][0], 0);
    QVERIFY(t.IsAssigned[0]);
    t.AssignBoxChanged(0, 7); // NA
    QVERIFY(!t.IsAssigned[0]);
}

void TestParamLogic::payloadWithThreeRows()
{
    ParamTables t;
    RecordingConsole console;
    t.AssignBoxChanged(0, 1);
    std::array<bool, kMaxRows> reversed{};
    reversed[1] = true;
    BuildAssignPayload(t, reversed, 3, console);
    for (int i = 0; i < kAssignPayloadSize; ++i)
        QCOMPARE(int(t.AssignPayload[i]), (i == 16 || i == 113) ? 1 : 0);
    QCOMPARE(console.lines.first(), QStringLiteral("ASSIGNMENTS SENT from 0 to 15:"));
    QCOMPARE(console.lines.mid(1, 3), (QStringList{"CONTROL NUM I:", "p0: 0", "p1: 0"}));
    QVERIFY(console.lines.contains("CONTROL NUM EXP:"));
    const int reverseAt = int(console.lines.indexOf("param 0..."));
    QCOMPARE(console.lines.mid(reverseAt, 4),
             (QStringList{"param 0...", "param 1 REVERSED", "param 2...", "ASSIGNMENTS SENT from 16 to 23:"}));
    QCOMPARE(console.lines.size(), 1 + 7 * 17 + 3 + 1 + 7 * 9);
}

void TestParamLogic::payloadWith24Rows()
{
    ParamTables t;
    RecordingConsole console;
    t.AssignBoxChanged(20, 6); // SW drives row 20
    t.AssignBoxChanged(15, 0);
    std::array<bool, kMaxRows> reversed{};
    reversed[20] = true; // no payload byte carries it
    reversed[15] = true;
    BuildAssignPayload(t, reversed, 24, console);
    QCOMPARE(int(t.AssignPayload[128 + 8 * 6 + 4]), 1);
    QCOMPARE(int(t.AssignPayload[15]), 1);
    QCOMPARE(int(t.AssignPayload[112 + 15]), 1);
    int ones = 0;
    for (quint8 b : t.AssignPayload)
        ones += b;
    QCOMPARE(ones, 3);
    for (int i = 184; i < 192; ++i)
        QCOMPARE(int(t.AssignPayload[i]), 0);
    QVERIFY(console.lines.contains("param 20 REVERSED"));
}

void TestParamLogic::percentages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("percent");
    QTest::newRow("set-at-0") << "set" << 0 << 0 << 1;
    QTest::newRow("set-at-512") << "set" << 512 << 512 << 51;
    QTest::newRow("set-at-1023") << "set" << 1023 << 1023 << 100;
    QTest::newRow("min-code-63") << "min" << 63 << 512 << 51;
    QTest::newRow("min-code-0") << "min" << 0 << 8 << 1;
    QTest::newRow("min-code-127-capped") << "min" << 127 << 1024 << 100;
    QTest::newRow("max-code-0-is-top") << "max" << 0 << 1023 << 100;
    QTest::newRow("max-code-127") << "max" << 127 << 1024 << 100;
    QTest::newRow("max-code-63") << "max" << 63 << 512 << 50;
}

void TestParamLogic::percentages()
{
    QFETCH(QString, kind);
    QFETCH(int, input);
    QFETCH(int, level);
    QFETCH(int, percent);
    if (kind == "set") {
        QCOMPARE(limitPercentSet(input), percent);
    } else if (kind == "min") {
        QCOMPARE(minLevelFromCode(input), level);
        QCOMPARE(minPercentRead(level), percent);
    } else {
        QCOMPARE(maxLevelFromCode(input), level);
        QCOMPARE(maxPercentRead(level), percent);
    }
}

void TestParamLogic::stateAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<Bytes>("bytes");
    QTest::newRow("pot-at-1023") << QByteArray("0\r\n127\r\n224\r\n0\r\n") << Bytes{0, 127, 224, 0};
    QTest::newRow("four-digits-repeat-previous") << QByteArray("7\r\n1000\r\n3\r\n") << Bytes{7, 7, 3};
    QTest::newRow("empty-line-repeats-previous") << QByteArray("9\r\n\r\n") << Bytes{9, 9};
    QTest::newRow("256-gives-0") << QByteArray("256\r\n") << Bytes{0};
    QTest::newRow("999-modulo-256") << QByteArray("999\r\n") << Bytes{231};
    QTest::newRow("cr-without-lf") << QByteArray("1\r2\r") << Bytes{1, 2};
    QTest::newRow("lf-without-cr") << QByteArray("1\n2\n") << Bytes{1, 2};
    QTest::newRow("lf-alone-four-digits-and-empty-repeat")
        << QByteArray("7\n1000\n\n3\n") << Bytes{7, 7, 7, 3};
    QTest::newRow("cr-alone-empty-line-repeats") << QByteArray("5\r\r6\r") << Bytes{5, 5, 6};
    QTest::newRow("empty-answer") << QByteArray() << Bytes{};
}

void TestParamLogic::stateAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(Bytes, bytes);
    QCOMPARE(ParseParameterAnswer(answer), bytes);
}

void TestParamLogic::shiftedStateAnswerIsImplausible_data()
{
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("fault");
    QTest::newRow("levels-0-512-1023") << Bytes{0, 0, 0, 0, 0, 64, 0, 0, 0, 127, 224, 0} << QString();
    QTest::newRow("negative-switch-level") << Bytes{255, 255, 224, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QString();
    // The rest of an effect query (12, 3, 5) before the state's own numbers.
    QTest::newRow("shifted-by-a-query-tail")
        << Bytes{12, 3, 5, 0, 0, 0, 0, 0, 64, 0, 0, 0}
        << "row 0 of the state answer has the level 24600, which no row can have";
    QTest::newRow("short-answer-is-not-judged") << Bytes{0, 0} << QString();
}

void TestParamLogic::shiftedStateAnswerIsImplausible()
{
    QFETCH(Bytes, bytes);
    QFETCH(QString, fault);
    QCOMPARE(implausibleRowLevel(bytes, 3), fault);
}

void TestParamLogic::stateAnswerWithNonDigitFails_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("fault");
    // 'k' is 6B: its low hex digit is a letter in a digit position.
    QTest::newRow("letter-in-a-number") << QByteArray("1\r\n1k\r\n")
                                        << "line 2 of the state answer holds 31 6B 0D (hex), which is not a number";
    // No digit and no line end: the low halves of these bytes would read as 0, 127, 224, 0.
    QTest::newRow("binary-noise") << QByteArray::fromHex("B0FD915267FDC2E2541DB0FD")
                                  << "line 1 of the state answer holds B0 FD 91 52 67 FD C2 E2 54 1D B0 FD (hex), which is not a number";
    QTest::newRow("zero-byte-inside") << QByteArray("5\r\n\0\r\n", 6)
                                      << "line 2 of the state answer holds 00 0D (hex), which is not a number";
    QTest::newRow("sign") << QByteArray("-1\r\n") << "line 1 of the state answer holds 2D 31 0D (hex), which is not a number";
}

void TestParamLogic::stateAnswerWithNonDigitFails()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, fault);
    QCOMPARE(stateAnswerFault(answer), fault);
    QCOMPARE(ParseParameterAnswer(answer), QList<quint8>());
}

void TestParamLogic::effectInfo()
{
    const std::optional<EffectInfo> info = ParseEffectInfo("TOVEL\r\n12\r\n3\r\n5\r\n");
    QVERIFY(info);
    QCOMPARE(info->effectNumber, 12);
    QCOMPARE(info->effectVersion, 3);
    QCOMPARE(info->firmwareVersion, 5);
    QString problem;
    QVERIFY(!ParseEffectInfo(QString(), &problem));
    QCOMPARE(problem, QStringLiteral("'' is not a valid integer value"));
    QVERIFY(!ParseEffectInfo("x\r\n12\r\nv3\r\n5\r\n", &problem));
    QCOMPARE(problem, QStringLiteral("'v3' is not a valid integer value"));
}

void TestParamLogic::rowLevels()
{
    const Bytes b{0, 127, 224, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 255, 255, 224, 0, 1};
    QCOMPARE(rowLevel(b, 0), std::optional<int>(1023));
    QCOMPARE(rowLevel(b, 1), std::optional<int>(512));
    QCOMPARE(rowLevel(b, 2), std::optional<int>(0));
    QCOMPARE(rowLevel(b, 3), std::optional<int>(1));
    QCOMPARE(rowLevel(b, 4), std::optional<int>(-1)); // signed, rounded toward zero
    QCOMPARE(rowLevel(b, 5), std::nullopt);           // the answer ends inside row 5
}

void TestParamLogic::multiSwitchOptions_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("index"); // -1: nothing to select
    QTest::newRow("1023-of-3-is-last") << 1023 << 3 << 2;
    QTest::newRow("768-of-4") << 768 << 4 << 3;
    QTest::newRow("1023-of-4") << 1023 << 4 << 3;
    QTest::newRow("408-of-5") << 408 << 5 << 2;
    QTest::newRow("935-of-12") << 935 << 12 << 11;
    QTest::newRow("beyond-range-clamped") << 5000 << 3 << 2;
    QTest::newRow("no-options") << 512 << 0 << -1;
    QTest::newRow("negative-level") << -8 << 4 << -1;
}

void TestParamLogic::multiSwitchOptions()
{
    QFETCH(int, level);
    QFETCH(int, options);
    QFETCH(int, index);
    QCOMPARE(multiSwitchIndex(level, options).value_or(-1), index);
}

QTEST_GUILESS_MAIN(TestParamLogic)
#include "tst_paramlogic.moc"
