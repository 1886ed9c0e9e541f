#include "pedal/effectfirmware.h"

#include <QtTest>

using namespace tovel::pedal;

namespace {

constexpr quint16 kFirstAddress = 0x0101; // row p has address 0x0101 + p, rows 20..23 none

// A program image as the catalogue holds one: 00, announced length, the address tables,
// effect number and version at bytes 35 and 36.
QByteArray image(int effect, int version, int announced, int held)
{
    QByteArray b(std::max(held, 65), '\x5A');
    b[0] = 0;
    b[1] = char(announced >> 8);
    b[2] = char(announced);
    for (int p = 0; p < 24; ++p) {
        const int at = p < 16 ? 3 + 2 * p : 49 + 2 * (p - 16);
        const quint16 a = p < 20 ? quint16(kFirstAddress + p) : 0;
        b[at] = char(a >> 8);
        b[at + 1] = char(a);
    }
    b[35] = char(effect);
    b[36] = char(version);
    b.truncate(held);
    return b;
}

struct Answer {
    QByteArray bytes;
    qint64 atUs;
};

struct Fixture {
    EffectFirmware fw;
    QList<Answer> answers;
    qint64 nowUs = 1000;

    Fixture()
    {
        fw.setAnswerSink([this](const QByteArray &b, qint64 at) { answers.append({b, at}); });
    }
    void feed(const QByteArray &bytes)
    {
        for (char c : bytes)
            fw.receive(quint8(c), nowUs);
    }
    void upload(int effect = 12, int version = 3)
    {
        const QByteArray img = image(effect, version, 1280, 1280);
        feed(img);
        answers.clear();
    }
};

// "pos=value pos=value": the non-zero bytes of a state block.
QByteArray stateWith(int size, const QString &nonZero)
{
    QByteArray b(size, '\0');
    for (const QString &item : nonZero.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList kv = item.split(QLatin1Char('='));
        b[kv[0].toInt()] = char(kv[1].toInt());
    }
    return b;
}

QList<int> numbers(const QByteArray &answer)
{
    QList<int> out;
    const QList<QByteArray> lines = answer.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &l = lines[i];
        if (!l.endsWith('\r'))
            return {};
        out.append(l.chopped(1).toInt());
    }
    return lines.last().isEmpty() ? out : QList<int>{};
}

} // namespace

class TestEffectFirmware : public QObject {
    Q_OBJECT

private slots:
    void commandChangesState_data();
    void commandChangesState();
    void stateAnswerLayout_data();
    void stateAnswerLayout();
    void effectQuery_data();
    void effectQuery();
    void uploadEnds_data();
    void uploadEnds();
    void incompleteFrameDroppedAfterQuietGap();
    void limitsReadBackAsSet_data();
    void limitsReadBackAsSet();
    void storedSettingsSurviveBoot();
};

void TestEffectFirmware::commandChangesState_data()
{
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QString>("state"); // non-zero bytes of the 24-row state block

    QByteArray lowTable(193, '\0');
    lowTable[0] = 0x04;
    lowTable[1 + 16] = 1;      // EXP drives row 0
    lowTable[1 + 112 + 1] = 1; // row 1 reversed
    QByteArray highTable(193, '\0');
    highTable[0] = 0x04;
    highTable[1 + 128 + 8 * 2 + 4] = 1; // II drives row 20
    highTable[1 + 184] = 1;             // bytes 184..191 mean nothing

    // a = 4 x 24 = 96: assignments at 96 + 24c + p, reverse at 264 + p, minimum codes at
    // 336 + p, maximum codes at 360 + p.
    QTest::newRow("value-lands-on-the-row-of-its-address") << QByteArray::fromHex("010103007FE000") << "9=127 10=224";
    QTest::newRow("value-for-a-row-of-the-upper-table") << QByteArray::fromHex("01011200400000") << "69=64";
    QTest::newRow("value-keeps-all-32-bits") << QByteArray::fromHex("01010112345678") << "0=18 1=52 2=86 3=120";
    QTest::newRow("value-for-unknown-address-ignored") << QByteArray::fromHex("01099900400000") << "";
    QTest::newRow("value-for-address-0000-ignored") << QByteArray::fromHex("01000000400000") << "";
    QTest::newRow("minimum-512-is-code-63") << QByteArray::fromHex("06000200400000") << "338=63";
    QTest::newRow("maximum-256-is-code-31") << QByteArray::fromHex("06010500200000") << "365=31";
    QTest::newRow("maximum-1023-is-code-0") << QByteArray::fromHex("06010200400000" "060102007FE000") << "";
    QTest::newRow("limit-for-row-24-ignored") << QByteArray::fromHex("06001800400000") << "";
    QTest::newRow("limit-of-unknown-kind-ignored") << QByteArray::fromHex("06020100400000") << "";
    QTest::newRow("assignments-and-reverse-of-rows-0-15") << lowTable << "120=1 265=1";
    QTest::newRow("assignments-of-rows-16-23") << highTable << "164=1";
    QTest::newRow("unknown-bytes-skipped") << QByteArray::fromHex("FF7E010101007FE000") << "1=127 2=224";
    QTest::newRow("store-changes-nothing-seen") << QByteArray::fromHex("0318") << "";
}

void TestEffectFirmware::commandChangesState()
{
    QFETCH(QByteArray, commands);
    QFETCH(QString, state);
    Fixture f;
    f.upload();
    f.feed(commands);
    QVERIFY(f.answers.isEmpty());
    QCOMPARE(f.fw.stateBytes(24), stateWith(4 * 24 + 288, state));
}

void TestEffectFirmware::stateAnswerLayout_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("three-rows") << 3;
    QTest::newRow("twenty-four-rows") << 24;
}

void TestEffectFirmware::stateAnswerLayout()
{
    QFETCH(int, rows);
    Fixture f;
    f.upload();
    // Rows 0 and 2 at 1023 and 512, row 23 on SW (control 6), reversed, limits set.
    f.feed(QByteArray::fromHex("010101007FE000" "01010300400000"));
    f.fw.settings().levels[23] = 1u << 13;
    f.fw.settings().assign[6][23] = 1;
    f.fw.settings().reverse[23] = 1;
    f.fw.settings().minCode[23] = 63;
    f.fw.settings().maxCode[23] = 127;
    f.feed(QByteArray::fromHex("02") + char(rows));

    QCOMPARE(f.answers.size(), 1);
    const QList<int> got = numbers(f.answers[0].bytes);
    QCOMPARE(got.size(), 4 * rows + 288);
    QList<int> want(4 * rows + 288, 0);
    want[1] = 127, want[2] = 224;
    want[9] = 64;
    if (rows == 24)
        want[4 * 23 + 2] = 32;
    const int a = 4 * rows;
    want[a + 24 * 6 + 23] = 1;
    want[a + 168 + 23] = 1;
    want[a + 240 + 23] = 63;
    want[a + 264 + 23] = 127;
    QCOMPARE(got, want);
}

void TestEffectFirmware::effectQuery_data()
{
    QTest::addColumn<bool>("uploaded");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("fresh-pedal-runs-effect-0") << false << QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n");
    QTest::newRow("after-upload-effect-and-version-of-image") << true << QByteArray("TOVEL\r\n12\r\n3\r\n5\r\n");
}

void TestEffectFirmware::effectQuery()
{
    QFETCH(bool, uploaded);
    QFETCH(QByteArray, answer);
    Fixture f;
    if (uploaded)
        f.upload(12, 3);
    f.feed(QByteArray::fromHex("0500"));
    QCOMPARE(f.answers.size(), 1);
    QCOMPARE(f.answers[0].bytes, answer);
    QCOMPARE(f.answers[0].atUs, f.nowUs);
}

void TestEffectFirmware::uploadEnds_data()
{
    QTest::addColumn<int>("announced");
    QTest::addColumn<int>("held");
    QTest::addColumn<qint64>("statusAfterUs"); // after the last byte
    QTest::newRow("at-the-announced-length") << 1280 << 1280 << qint64(0);
    QTest::newRow("announces-2176-holds-2048-quiet-gap-ends-it") << 2176 << 2048 << EffectFirmware::kQuietGapUs;
    QTest::newRow("announced-length-below-header") << 0 << 3 << qint64(0);
}

void TestEffectFirmware::uploadEnds()
{
    QFETCH(int, announced);
    QFETCH(int, held);
    QFETCH(qint64, statusAfterUs);
    Fixture f;
    f.feed(image(7, 2, announced, held));
    if (statusAfterUs > 0) {
        f.fw.tick(f.nowUs + statusAfterUs - 1);
        QVERIFY(f.answers.isEmpty());
        f.fw.tick(f.nowUs + statusAfterUs);
    }
    QCOMPARE(f.answers.size(), 1);
    QCOMPARE(f.answers[0].bytes, QByteArray("Upload complete\r\n"));
    QCOMPARE(f.answers[0].bytes.size(), 17);
    QCOMPARE(f.answers[0].atUs, f.nowUs + statusAfterUs);
    QCOMPARE(f.fw.program().size(), held);
    if (held > 36) {
        QCOMPARE(f.fw.effectNumber(), 7);
        QCOMPARE(f.fw.addresses()[17], quint16(kFirstAddress + 17));
    }

    // The pedal takes the next command after its answer.
    f.nowUs += statusAfterUs + 1000;
    f.feed(QByteArray::fromHex("0500"));
    QCOMPARE(f.answers.size(), 2);
}

void TestEffectFirmware::incompleteFrameDroppedAfterQuietGap()
{
    Fixture f;
    f.upload();
    f.feed(QByteArray::fromHex("010103"));
    f.nowUs += EffectFirmware::kQuietGapUs;
    f.feed(QByteArray::fromHex("0500"));
    QCOMPARE(f.answers.size(), 1);
    QVERIFY(f.answers[0].bytes.startsWith("TOVEL"));
    QCOMPARE(f.fw.settings().levels[2], 0u);
}

void TestEffectFirmware::limitsReadBackAsSet_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("minimum"); // as the editor reads the code back
    QTest::addColumn<int>("maximum");
    QTest::newRow("zero") << 0 << 8 << 16;
    QTest::newRow("multiple-of-8") << 512 << 512 << 512;
    QTest::newRow("rounds-down") << 515 << 512 << 512;
    QTest::newRow("rounds-up-at-half") << 516 << 520 << 520;
    QTest::newRow("top-multiple") << 1016 << 1016 << 1016;
    QTest::newRow("1020-maximum-is-no-limit") << 1020 << 1016 << 1023;
    QTest::newRow("full-scale") << 1023 << 1016 << 1023;
}

void TestEffectFirmware::limitsReadBackAsSet()
{
    QFETCH(int, level);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    const int minCode = EffectFirmware::minCodeFor(level);
    const int maxCode = EffectFirmware::maxCodeFor(level);
    QCOMPARE((minCode + 1) * 8, minimum);
    QCOMPARE(maxCode == 0 ? 1023 : (maxCode + 1) * 8, maximum);
}

void TestEffectFirmware::storedSettingsSurviveBoot()
{
    Fixture f;
    f.upload();
    f.feed(QByteArray::fromHex("010101007FE000" "0318" "01010100000000"));
    f.fw.boot(4);
    QCOMPARE(f.fw.settings().levels[0], 1023u << 13);
    QCOMPARE(f.fw.firmwareVersion(), 4);
    QCOMPARE(f.fw.effectNumber(), 12);

    // A new effect drops what was stored for the old one.
    f.upload(9, 1);
    f.fw.boot(4);
    QCOMPARE(f.fw.settings().levels[0], 0u);
    QCOMPARE(f.fw.effectNumber(), 9);
}

QTEST_GUILESS_MAIN(TestEffectFirmware)
#include "tst_effectfirmware.moc"
