#include "params/paramrows.h"

#include <QtTest>

using namespace tovel;

class TestParamRows : public QObject {
    Q_OBJECT

private slots:
    void switchLines_data();
    void switchLines();
    void multiSwitchLines_data();
    void multiSwitchLines();
    void addresses_data();
    void addresses();
    void potLevels_data();
    void potLevels();
    void multiSwitchLevels_data();
    void multiSwitchLevels();
};

void TestParamRows::switchLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("off");
    QTest::addColumn<QString>("on");
    // The first caption is the off state whatever its words.
    QTest::newRow("off-caption-reads-ON") << "Mute:ON:OFF" << "Mute" << "ON" << "OFF";
    QTest::newRow("same-caption-twice") << "Tap:Tap:Tap" << "Tap" << "Tap" << "Tap";
    QTest::newRow("one-colon-both-captions") << "Solo:Lead" << "Solo" << "Lead" << "Lead";
    QTest::newRow("no-colon-all-name") << "Bypass" << "Bypass" << "Bypass" << "Bypass";
    QTest::newRow("third-colon-stays-in-on-caption") << "Clock:Int:Ext:MIDI" << "Clock" << "Int" << "Ext:MIDI";
    QTest::newRow("missing-line") << "" << "" << "" << "";
}

void TestParamRows::switchLines()
{
    QFETCH(QString, line);
    const SwitchLine s = splitSwitchLine(line);
    QTEST(s.name, "name");
    QTEST(s.offText, "off");
    QTEST(s.onText, "on");
}

void TestParamRows::multiSwitchLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("five-options") << "Sine Range;I;II;III;IV;V" << "Sine Range"
                                  << QStringList{"I", "II", "III", "IV", "V"};
    QStringList sixteen;
    for (int i = 1; i <= 16; ++i)
        sixteen << QString::number(i);
    QTest::newRow("sixteen-options") << "Voice;" + sixteen.join(';') << "Voice" << sixteen;
    QTest::newRow("no-semicolon-no-options") << "Voice" << "Voice" << QStringList();
    QTest::newRow("trailing-semicolon-empty-last-option") << "Band;Lo;" << "Band" << QStringList{"Lo", ""};
}

void TestParamRows::multiSwitchLines()
{
    QFETCH(QString, line);
    const MultiSwitchLine m = splitMultiSwitchLine(line);
    QTEST(m.name, "name");
    QTEST(m.options, "options");
    QCOMPARE(m.options.size(), line.count(QLatin1Char(';'))); // OptionCount: one per ";"
}

void TestParamRows::addresses_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("expected");

    // Bytes 0..2 header, 3..34 rows 0..15, 35..48 other data, 49..64 rows 16..23.
    QStringList all;
    for (int p = 0; p < 24; ++p)
        all << QStringLiteral("%1").arg(0x1000 + p, 4, 16).toUpper();
    const QString full = QStringLiteral("00AB12") + all.mid(0, 16).join(QString())
                         + QString(28, QLatin1Char('E')) + all.mid(16).join(QString())
                         + QStringLiteral("FFFF");
    QTest::newRow("full-program") << full << all;

    QStringList shortOnes = {all[0], all[1], QStringLiteral("10"), QString()};
    while (shortOnes.size() < 24)
        shortOnes << QString();
    QTest::newRow("program-line-ends-inside-row-2") << full.left(6 + 4 * 2 + 2) << shortOnes;
    QTest::newRow("empty-program-line") << QString() << QStringList(QList<QString>(24));

    // Ends inside the high table: rows 0..15 whole, row 16 whole, row 17 with three digits.
    QStringList high = all.mid(0, 17);
    high << all[17].left(3);
    while (high.size() < 24)
        high << QString();
    QTest::newRow("program-line-ends-inside-row-17") << full.left(98 + 4 + 3) << high;
}

void TestParamRows::addresses()
{
    QFETCH(QString, program);
    QFETCH(QStringList, expected);
    const QStringList addresses = paramAddressesFromProgram(program);
    QCOMPARE(addresses, expected);
    for (const QString &a : addresses)
        QCOMPARE(isSendableAddress(a), a.size() == 4);
    QVERIFY(!isSendableAddress(QStringLiteral("00G1")));
    QVERIFY(!isSendableAddress(QStringLiteral("00011")));
}

void TestParamRows::potLevels_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("level");
    QTest::newRow("half-up-to-even") << 511.5 << 512;
    QTest::newRow("half-down-to-even") << 512.5 << 512;
    QTest::newRow("below-half") << 0.4 << 0;
    QTest::newRow("zero-point-five-to-zero") << 0.5 << 0;
    QTest::newRow("one-point-five-to-two") << 1.5 << 2;
    QTest::newRow("above-half") << 700.6 << 701;
    QTest::newRow("top") << 1023.0 << 1023;
}

void TestParamRows::potLevels()
{
    QFETCH(double, value);
    QTEST(potLevel(value), "level");
}

void TestParamRows::multiSwitchLevels_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("level"); // -1: nothing to send
    QTest::newRow("five-options-III") << 2 << 5 << 408;
    QTest::newRow("four-options-last") << 3 << 4 << 768;
    QTest::newRow("twelve-options-last") << 11 << 12 << 935;
    QTest::newRow("sixteen-options-second") << 1 << 16 << 64;
    QTest::newRow("first-option-zero") << 0 << 7 << 0;
    QTest::newRow("no-options") << 0 << 0 << -1;
    QTest::newRow("nothing-selected") << -1 << 5 << -1;
    QTest::newRow("index-past-options") << 5 << 5 << -1;
}

void TestParamRows::multiSwitchLevels()
{
    QFETCH(int, index);
    QFETCH(int, options);
    QFETCH(int, level);
    QCOMPARE(multiSwitchLevel(index, options).value_or(-1), level);
}

QTEST_APPLESS_MAIN(TestParamRows)
#include "tst_paramrows.moc"
