#include "params/controllayout.h"

#include <QtTest>

using namespace tovel;

class TestControlLayout : public QObject {
    Q_OBJECT

private slots:
    void hexDigitValue_data();
    void hexDigitValue();
    void counts_data();
    void counts();
    void invalidCountLine_data();
    void invalidCountLine();
};

void TestControlLayout::hexDigitValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("nine") << "9" << 9;
    QTest::newRow("upper-a") << "A" << 10;
    QTest::newRow("upper-f") << "F" << 15;
    QTest::newRow("lower-a-is-no-digit") << "a" << -1;
    QTest::newRow("g") << "G" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("two-characters") << "10" << -1;
    QTest::newRow("blank") << " " << -1;
}

void TestControlLayout::hexDigitValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(HexDigitValue(text), value);
}

void TestControlLayout::counts_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("counts"); // pots, switches, multi-switches, rows, lines present
    QTest::addColumn<QString>("lastRowLine");

    QStringList full{"AC2"};
    for (int i = 0; i < 24; ++i)
        full.append(QStringLiteral("line %1").arg(i));
    QStringList over{"FF0"};
    for (int i = 0; i < 30; ++i)
        over.append(QStringLiteral("line %1").arg(i));

    QTest::newRow("three-pots") << QStringList{"300", "Level", "Tone", "Mix"} << QList<int>{3, 0, 0, 3, 3} << "Mix";
    QTest::newRow("twenty-four-controls") << full << QList<int>{10, 12, 2, 24, 24} << "line 23";
    QTest::newRow("nine-five-two") << (QStringList{"952"} + QList<QString>(16, "x")) << QList<int>{9, 5, 2, 16, 16} << "x";
    QTest::newRow("header-announces-a-missing-line")
        << QStringList{"720", "a", "b", "c", "d", "e", "f", "S1:OFF:ON", "S2:OFF:ON"}
        << QList<int>{7, 2, 0, 9, 8} << "";
    QTest::newRow("header-only") << QStringList{"300"} << QList<int>{3, 0, 0, 3, 0} << "";
    QTest::newRow("more-than-24-stops-at-24") << over << QList<int>{15, 15, 0, 24, 24} << "line 23";
    QTest::newRow("no-controls") << QStringList{"000"} << QList<int>{0, 0, 0, 0, 0} << "";
}

void TestControlLayout::counts()
{
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, counts);
    QFETCH(QString, lastRowLine);
    const ControlLayout layout = ControlLayout::fromLines(lines);
    QCOMPARE(QList<int>({layout.NumPots, layout.NumSwitches, layout.NumMultiSwitches,
                         layout.NumParams, layout.LinesPresent}), counts);
    QCOMPARE(layout.ParamLines.size(), layout.NumParams);
    if (layout.NumParams > 0)
        QCOMPARE(layout.ParamLines.last(), lastRowLine);
    for (int p = 0; p < layout.LinesPresent; ++p)
        QCOMPARE(layout.ParamLines.at(p), lines.at(p + 1));
}

void TestControlLayout::invalidCountLine_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("lower-case-digit") << QStringList{"a00", "x"};
    QTest::newRow("two-digits-for-the-third-count") << QStringList{"3010", "x"};
    QTest::newRow("short-count-line") << QStringList{"30", "x"};
    QTest::newRow("empty-resource") << QStringList{};
    QTest::newRow("blank-count") << QStringList{"3 0"};
}

void TestControlLayout::invalidCountLine()
{
    QFETCH(QStringList, lines);
    const ControlLayout layout = ControlLayout::fromLines(lines);
    QVERIFY(layout.problem.endsWith(QStringLiteral("' is not a valid control count line")));
    QCOMPARE(layout.NumParams, 0);
}

QTEST_GUILESS_MAIN(TestControlLayout)
#include "tst_controllayout.moc"
