// The configuration file format: writer, reader, percentages, and a save that fails half-way.
#include "config/configurationfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace tovel;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Two pots, one switch, one four-option multi-switch: the first pot at 512 on "EXP" limited to
// 0 .. 1023, the second at 1023, reversed, limited to 256 .. 818, the switch on under "SW",
// the multi-switch on its second option.
Configuration example()
{
    Configuration c;
    c.values = {512, 1023, 1023, 256};
    c.assignments = {QStringLiteral("EXP"), QStringLiteral("NA"), QStringLiteral("SW"), QStringLiteral("NA")};
    c.reversed = {false, true, false, false};
    c.minLimits = {0, 256};
    c.maxLimits = {1023, 818};
    return c;
}

Configuration uniform(int rows, int pots)
{
    Configuration c;
    for (int p = 0; p < rows; ++p) {
        c.values.append(p);
        c.assignments.append(QStringLiteral("NA"));
        c.reversed.append(false);
    }
    for (int p = 0; p < pots; ++p) {
        c.minLimits.append(0);
        c.maxLimits.append(1023);
    }
    return c;
}

} // namespace

class TestConfigurationFile : public QObject {
    Q_OBJECT

private slots:
    void exampleWrittenByteForByte();
    void lineCount_data();
    void lineCount();
    void readsLines_data();
    void readsLines();
    void decimals_data();
    void decimals();
    void percentages_data();
    void percentages();
    void everyLimitKeepsItsPercentage();
    void readerStaysInsideTheFile();
    void interruptedSaveKeepsPreviousFile();
    void missingFolderIsAnError();
};

void TestConfigurationFile::exampleWrittenByteForByte()
{
    const QByteArray fixture = readAll(QStringLiteral(TOVEL_TEST_DATA "/configuration_example.txt"));
    QCOMPARE(fixture.count("\r\n"), 16);
    QCOMPARE(configurationText(example()), fixture);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Moss Verb.txt"));
    QCOMPARE(writeConfiguration(path, uniform(3, 3)), QString());
    QCOMPARE(writeConfiguration(path, example()), QString()); // replaces the older file whole
    QCOMPARE(readAll(path), fixture);
}

void TestConfigurationFile::lineCount_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pots");
    QTest::addColumn<int>("lines");
    QTest::newRow("three-pots-only") << 3 << 3 << 15;
    QTest::newRow("switches-only") << 4 << 0 << 12;
    QTest::newRow("full-24-rows") << 24 << 12 << 96;
}

void TestConfigurationFile::lineCount()
{
    QFETCH(int, rows);
    QFETCH(int, pots);
    QFETCH(int, lines);
    const QByteArray text = configurationText(uniform(rows, pots));
    QCOMPARE(text.count("\r\n"), lines);
    QVERIFY(text.endsWith("\r\n"));
    QCOMPARE(configurationLines(text).size(), lines);
    QVERIFY(!text.contains('\n' + QByteArray("\n")));
}

void TestConfigurationFile::readsLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    const QStringList three{QStringLiteral("512"), QStringLiteral("EXP"), QStringLiteral("T")};
    QTest::newRow("cr-lf") << QByteArray("512\r\nEXP\r\nT\r\n") << three;
    QTest::newRow("lf") << QByteArray("512\nEXP\nT\n") << three;
    QTest::newRow("cr") << QByteArray("512\rEXP\rT\r") << three;
    QTest::newRow("mixed-ends") << QByteArray("512\r\nEXP\nT\r") << three;
    QTest::newRow("no-final-line-end") << QByteArray("512\r\nEXP\r\nT") << three;
    QTest::newRow("utf8-bom") << QByteArray("\xEF\xBB\xBF" "512\r\nEXP\r\nT\r\n") << three;
    QTest::newRow("utf16le-bom") << QByteArray("\xFF\xFE" "5\0" "1\0" "2\0\r\0\n\0E\0X\0P\0\n\0T\0", 22) << three;
    QTest::newRow("empty-line-kept") << QByteArray("512\r\n\r\nT\r\n")
                                     << QStringList{QStringLiteral("512"), QString(), QStringLiteral("T")};
    QTest::newRow("empty-file") << QByteArray() << QStringList();
}

void TestConfigurationFile::readsLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(configurationLines(bytes), lines);
}

void TestConfigurationFile::decimals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("level") << "1023" << true << 1023;
    QTest::newRow("negative") << "-8" << true << -8;
    QTest::newRow("spaces-around") << " 51 " << true << 51;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign-alone") << "-" << false << 0;
    QTest::newRow("fraction") << "51.5" << false << 0;
    QTest::newRow("letters") << "4OO" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("beyond-32-bits") << "99999999999" << false << 0;
}

void TestConfigurationFile::decimals()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const std::optional<int> parsed = parseDecimal(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void TestConfigurationFile::percentages_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("minimum"); // the minimum that percentage loads as
    QTest::addColumn<int>("maximum"); // the maximum it loads as
    QTest::newRow("bottom") << 0 << 1 << 0 << 10;
    QTest::newRow("quarter") << 256 << 26 << 256 << 266;
    QTest::newRow("half") << 512 << 51 << 512 << 522;
    QTest::newRow("818") << 818 << 80 << 809 << 819;
    QTest::newRow("top") << 1023 << 100 << 1014 << 1023;
}

void TestConfigurationFile::percentages()
{
    QFETCH(int, level);
    QFETCH(int, percent);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QCOMPARE(limitPercent(level), percent);
    QCOMPARE(minLimitFromPercent(percent), minimum);
    QCOMPARE(maxLimitFromPercent(percent), maximum);
}

void TestConfigurationFile::everyLimitKeepsItsPercentage()
{
    for (int level = 0; level <= 1023; ++level) {
        const int percent = limitPercent(level);
        const int low = minLimitFromPercent(percent);
        const int high = maxLimitFromPercent(percent);
        QVERIFY2(low <= level && level <= high, qPrintable(QString::number(level)));
        QCOMPARE(limitPercent(low), percent);
        QCOMPARE(limitPercent(high), percent);
        QVERIFY(low == 0 || limitPercent(low - 1) != percent);
        QVERIFY(high == 1023 || limitPercent(high + 1) != percent);
    }
    // A hand-edited percentage outside 1..100 still gives a limit in 0..1023.
    QCOMPARE(minLimitFromPercent(-5), 0);
    QCOMPARE(maxLimitFromPercent(-5), 10);
    QCOMPARE(minLimitFromPercent(250), 1014);
    QCOMPARE(maxLimitFromPercent(250), 1023);
}

void TestConfigurationFile::readerStaysInsideTheFile()
{
    // Two rows, one pot: 8 lines wanted, 5 given.
    const ConfigurationReader reader({"1", "2", "EXP", "NA", "T"}, 2, 1);
    QCOMPARE(reader.expectedLines(), 8);
    QCOMPARE(reader.value(1)->text, QStringLiteral("2"));
    QCOMPARE(reader.assignment(1)->lineNumber, 4);
    QCOMPARE(reader.reverse(0)->text, QStringLiteral("T"));
    QVERIFY(!reader.reverse(1));
    QVERIFY(!reader.minimum(0));
    QVERIFY(!reader.maximum(0));
    QVERIFY(!reader.value(2)); // past its block, though the file goes on
    QVERIFY(!reader.value(-1));
    QVERIFY(!reader.minimum(1));
}

void TestConfigurationFile::interruptedSaveKeepsPreviousFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Fifth Harmony.txt"));
    QCOMPARE(writeConfiguration(path, example()), QString());
    const QByteArray previous = readAll(path);

    // The disk takes 20 bytes of the new file, then refuses (as a full disk would).
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 20;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = writeConfiguration(path, uniform(24, 12));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), previous);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Fifth Harmony.txt")});
}

void TestConfigurationFile::missingFolderIsAnError()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ZANTH/Tovel/Tuner.txt"));
    QVERIFY(!writeConfiguration(path, example()).isEmpty());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(configurationPath(QString(), QStringLiteral("Tuner")), QString());
    QCOMPARE(configurationPath(dir.path(), QString()), QString());
    QCOMPARE(configurationPath(dir.path(), QStringLiteral("Tuner")), path);
}

QTEST_MAIN(TestConfigurationFile)
#include "tst_configurationfile.moc"
