// Checks the shipped catalogue against the formats the editor reads: every list, every effect's
// program image, control layout and information page.
#include "catalogue/catalogueloader.h"
#include "catalogue/catalogueresources.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "catalogue/resourceindex.h"
#include "catalogue/resourcetext.h"
#include "params/controllayout.h"

#include <QtTest>
#include <QRegularExpression>

using namespace tovel;

namespace {

QByteArray resourceBytes(const QString &name)
{
    QFile file(catalogueResources().path(name));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The IR block of the four loaders: first byte and number of 32-bit words.
struct IrBlock {
    int firstByte;
    int words;
};
const QHash<QString, IrBlock> kIrBlocks = {
    {QStringLiteral("Amber Drive + IR Loader"), {362, 703}},
    {QStringLiteral("TRX + IR Loader"), {370, 703}},
    {QStringLiteral("Basic IR Loader"), {230, 912}},
    {QStringLiteral("Four Band EQ + IR Loader"), {394, 703}},
};

int addressOffset(int k)
{
    return k < 16 ? 3 + 2 * k : 49 + 2 * (k - 16);
}

} // namespace

class TestCatalogueData : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void effectList();
    void categoryLists_data();
    void categoryLists();
    void everyEffectInExactlyOneCategory();
    void displayNames();
    void effect_data();
    void effect();
    void addressesDistinctWithinEffect();
    void catalogueWideVariety();
    void irBlocks_data();
    void irBlocks();
    void resourcesAreAscii();
    void pagePictureBesideProgram();

private:
    QStringList m_effectList; // line i: effect number i
    QStringList m_names;      // display names of effects 1..58
    QMultiHash<QString, QString> m_categoryOf;
    QHash<QString, QByteArray> m_images; // display name -> image bytes
    QHash<QString, int> m_declaredParams;
};

void TestCatalogueData::initTestCase()
{
    const QByteArray bytes = resourceBytes(QStringLiteral("effect_list"));
    QVERIFY(!bytes.isEmpty());
    m_effectList = splitLines(decodeResourceText(bytes));
    for (int i = 1; i < m_effectList.size(); ++i)
        m_names.append(m_effectList.at(i).section(QLatin1Char(':'), 1));
    for (const CategoryRow &row : CategoryTable) {
        const QString caption = QString::fromLatin1(row.caption);
        const QStringList names = splitLines(decodeResourceText(resourceBytes(QString::fromLatin1(row.listResource))));
        for (const QString &name : names)
            m_categoryOf.insert(name, caption);
    }
}

void TestCatalogueData::effectList()
{
    const QByteArray bytes = resourceBytes(QStringLiteral("EFFECT_LIST"));
    QVERIFY(!bytes.endsWith('\n') && !bytes.endsWith('\r'));
    QCOMPARE(bytes.count("\r\n"), 58);
    QCOMPARE(bytes.count('\n'), 58);
    QCOMPARE(bytes.count('\r'), 58);
    QCOMPARE(m_effectList.size(), 59);
    QCOMPARE(m_effectList.first(), QStringLiteral("0:empty"));
    for (int i = 0; i < m_effectList.size(); ++i)
        QCOMPARE(m_effectList.at(i).section(QLatin1Char(':'), 0, 0), QString::number(i, 16).toUpper());
    QVERIFY(m_effectList.last().startsWith(QStringLiteral("3A:")));
}

void TestCatalogueData::categoryLists_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<int>("entries");
    const int counts[] = {13, 16, 12, 4, 2, 4, 7};
    for (size_t r = 0; r < CategoryTable.size(); ++r)
        QTest::newRow(CategoryTable[r].caption) << QString::fromLatin1(CategoryTable[r].listResource) << counts[r];
}

void TestCatalogueData::categoryLists()
{
    QFETCH(QString, resource);
    QFETCH(int, entries);
    const QByteArray bytes = resourceBytes(resource);
    QVERIFY(!bytes.isEmpty());
    QVERIFY(!bytes.endsWith('\n') && !bytes.endsWith('\r'));
    QCOMPARE(bytes.count("\r\n"), entries - 1);
    QCOMPARE(bytes.count('\n'), entries - 1);
    const QStringList names = splitLines(decodeResourceText(bytes));
    QCOMPARE(names.size(), entries);
    for (const QString &name : names) {
        QVERIFY2(!name.isEmpty() && name == name.trimmed(), qPrintable(name));
        QVERIFY2(m_names.contains(name), qPrintable(name));
    }
}

void TestCatalogueData::everyEffectInExactlyOneCategory()
{
    QCOMPARE(m_names.size(), 58);
    QCOMPARE(QSet<QString>(m_names.begin(), m_names.end()).size(), 58);
    for (const QString &name : std::as_const(m_names))
        QVERIFY2(m_categoryOf.count(name) == 1, qPrintable(name));
    QCOMPARE(m_categoryOf.size(), 58);
}

void TestCatalogueData::displayNames()
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9 +-]+$"));
    QSet<QString> bases;
    for (const QString &name : std::as_const(m_names)) {
        QVERIFY2(allowed.match(name).hasMatch(), qPrintable(name));
        bases.insert(EffectResourceName(name).toUpper());
    }
    QCOMPARE(bases.size(), 58);
    const QString all = m_names.join(QLatin1Char('|'));
    QVERIFY(all.contains(QLatin1Char('X')));
    QVERIFY(all.contains(QLatin1Char('-')));
    QVERIFY(all.contains(QLatin1Char('+')));

    const QStringList ir = m_categoryOf.keys(QStringLiteral("Impulse Response"));
    QCOMPARE(ir.size(), 4);
    for (auto it = kIrBlocks.cbegin(); it != kIrBlocks.cend(); ++it)
        QVERIFY2(ir.contains(it.key()), qPrintable(it.key()));
}

void TestCatalogueData::effect_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");
    for (int i = 0; i < m_names.size(); ++i)
        QTest::newRow(qPrintable(m_names.at(i))) << i + 1 << m_names.at(i);
}

void TestCatalogueData::effect()
{
    QFETCH(int, number);
    QFETCH(QString, name);
    const QString base = EffectResourceName(name);

    // Control layout.
    const QByteArray layoutBytes = resourceBytes(base + QStringLiteral("_ctrls"));
    QVERIFY(!layoutBytes.isEmpty());
    const QStringList lines = splitLines(decodeResourceText(layoutBytes));
    const ControlLayout layout = ControlLayout::fromLines(lines);
    const int announced = layout.NumPots + layout.NumSwitches + layout.NumMultiSwitches;
    QVERIFY(announced <= ControlLayout::kMaxParams);
    QVERIFY(lines.size() - 1 == announced || lines.size() == announced); // one layout lacks a line
    m_declaredParams.insert(name, announced);
    static const QRegularExpression switchLine(QStringLiteral("^[^:;]+:[^:;]+:[^:;]+$"));
    for (int p = 0; p < layout.LinesPresent; ++p) {
        const QString line = layout.ParamLines.at(p);
        QVERIFY(!line.isEmpty());
        if (lines.size() == announced)
            continue; // the short layout's kinds are shifted by its missing line
        if (p < layout.NumPots) {
            QVERIFY2(!line.contains(QLatin1Char(':')) && !line.contains(QLatin1Char(';')), qPrintable(line));
        } else if (p < layout.NumPots + layout.NumSwitches) {
            QVERIFY2(switchLine.match(line).hasMatch(), qPrintable(line));
        } else {
            const int positions = line.count(QLatin1Char(';'));
            QVERIFY2(positions >= 4 && positions <= 16, qPrintable(line));
            QVERIFY(!line.endsWith(QLatin1Char(';')) && !line.contains(QStringLiteral(";;")));
        }
    }

    // Program image: one line of upper-case hex, whole 32-byte units.
    const QByteArray text = resourceBytes(base);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]+$"));
    QVERIFY(hex.match(QString::fromLatin1(text)).hasMatch());
    QCOMPARE(text.size() % 2, 0);
    const QByteArray image = QByteArray::fromHex(text);
    QVERIFY2(image.size() >= 1280 && image.size() <= 9472, qPrintable(QString::number(image.size())));
    QCOMPARE(image.size() % 32, 0);
    QCOMPARE(quint8(image.at(0)), quint8(0));
    const int length = quint8(image.at(1)) << 8 | quint8(image.at(2));
    QVERIFY(length == image.size() || (length == 2176 && image.size() == 2048));
    QCOMPARE(int(quint8(image.at(35))), number);
    QVERIFY(image.at(36) != 0);
    for (int k = 0; k < ControlLayout::kMaxParams; ++k) {
        const QString address = QString::fromLatin1(text.mid(2 * addressOffset(k), 4));
        if (k < announced)
            QVERIFY2(address != QStringLiteral("0000"), qPrintable(address));
        else
            QCOMPARE(address, QStringLiteral("0000"));
    }
    for (int b = 37; b < 49; ++b)
        QCOMPARE(int(image.at(b)), 0);
    m_images.insert(name, image);

    // Information page: a resource and the same file beside the program.
    const QByteArray page = resourceBytes(base + QStringLiteral("_info"));
    QVERIFY(page.startsWith("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0"));
    QVERIFY(page.contains("charset=windows-1252"));
    for (const char *item : {"Input", "Output", "Blue LED", "Orange LED", "Footswitch"})
        QVERIFY2(page.contains(item), item);
    QFile file(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name + QStringLiteral("-info.html"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QCOMPARE(file.readAll(), page);
}

void TestCatalogueData::addressesDistinctWithinEffect()
{
    if (m_images.size() != 58)
        QSKIP("needs every effect row");
    for (auto it = m_images.cbegin(); it != m_images.cend(); ++it) {
        QSet<QByteArray> seen;
        const int count = m_declaredParams.value(it.key());
        for (int k = 0; k < count; ++k)
            seen.insert(it.value().mid(addressOffset(k), 2));
        QVERIFY2(seen.size() == count, qPrintable(it.key()));
    }
}

void TestCatalogueData::catalogueWideVariety()
{
    if (m_images.size() != 58)
        QSKIP("needs every effect row");
    int full = 0, shortLayouts = 0, lf = 0, crlf = 0, finalEnd = 0, noFinalEnd = 0, longHeaders = 0;
    QSet<int> versions, sizes, positions;
    for (const QString &name : std::as_const(m_names)) {
        const QString base = EffectResourceName(name);
        const QByteArray bytes = resourceBytes(base + QStringLiteral("_ctrls"));
        const QStringList lines = splitLines(decodeResourceText(bytes));
        if (lines.first() == QStringLiteral("AC2"))
            ++full;
        if (lines.size() == m_declaredParams.value(name)) {
            ++shortLayouts;
            QCOMPARE(lines.first(), QStringLiteral("720")); // six pot lines and two switch lines
            QCOMPARE(lines.size(), 9);
        }
        (bytes.contains("\r\n") ? crlf : lf)++;
        (bytes.endsWith('\n') ? finalEnd : noFinalEnd)++;
        for (const QString &line : lines)
            if (line.contains(QLatin1Char(';')))
                positions.insert(line.count(QLatin1Char(';')));
        const QByteArray image = m_images.value(name);
        versions.insert(quint8(image.at(36)));
        sizes.insert(image.size());
        if ((quint8(image.at(1)) << 8 | quint8(image.at(2))) != image.size())
            ++longHeaders;
    }
    QCOMPARE(full, 1);
    QCOMPARE(shortLayouts, 1);
    QCOMPARE(longHeaders, 1);
    QVERIFY(lf > 0 && crlf > 0 && finalEnd > 0 && noFinalEnd > finalEnd);
    QVERIFY(positions.contains(4) && positions.contains(16));
    QVERIFY(versions.size() > 1);
    QVERIFY(sizes.contains(1280) && sizes.contains(9472));
}

void TestCatalogueData::irBlocks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("firstDigit"); // 1-based, as the import counts
    QTest::addColumn<int>("words");
    QTest::newRow("amber-drive") << "Amber Drive + IR Loader" << 725 << 703;
    QTest::newRow("trx") << "TRX + IR Loader" << 741 << 703;
    QTest::newRow("basic") << "Basic IR Loader" << 461 << 912;
    QTest::newRow("four-band-eq") << "Four Band EQ + IR Loader" << 789 << 703;
}

void TestCatalogueData::irBlocks()
{
    QFETCH(QString, name);
    QFETCH(int, firstDigit);
    QFETCH(int, words);
    const QByteArray text = resourceBytes(EffectResourceName(name));
    QVERIFY(text.size() >= firstDigit - 1 + 8 * words);
    const QByteArray block = text.mid(firstDigit - 1, 8 * words);
    QVERIFY(block.startsWith("FF800000"));
    QCOMPARE(block.mid(8).count('0'), block.size() - 8);
}

void TestCatalogueData::resourcesAreAscii()
{
    int pagesWithReferences = 0;
    const QStringList names = catalogueResources().names();
    QVERIFY(names.size() >= 1 + 7 + 3 * 58);
    for (const QString &name : names) {
        const QByteArray bytes = resourceBytes(name);
        const auto high = std::find_if(bytes.cbegin(), bytes.cend(), [](char c) { return quint8(c) > 127; });
        QVERIFY2(high == bytes.cend(), qPrintable(QStringLiteral("%1: byte 0x%2 at offset %3").arg(name)
                                                      .arg(quint8(high == bytes.cend() ? 0 : *high), 2, 16)
                                                      .arg(high - bytes.cbegin())));
        // Pages write their accented characters as character references.
        if (name.endsWith(QStringLiteral("_INFO")) && bytes.contains("&#"))
            ++pagesWithReferences;
    }
    QVERIFY(pagesWithReferences > 0);
}

void TestCatalogueData::pagePictureBesideProgram()
{
    static const QRegularExpression img(QStringLiteral("<IMG SRC=\"([^\"/:]+)\""), QRegularExpression::CaseInsensitiveOption);
    int pictures = 0;
    for (const QString &name : std::as_const(m_names)) {
        const QString page = QString::fromLatin1(resourceBytes(EffectResourceName(name) + QStringLiteral("_info")));
        const QRegularExpressionMatch m = img.match(page);
        if (!m.hasMatch())
            continue;
        ++pictures;
        QFile picture(QCoreApplication::applicationDirPath() + QLatin1Char('/') + m.captured(1));
        QVERIFY2(picture.open(QIODevice::ReadOnly), qPrintable(picture.fileName()));
        QVERIFY(picture.read(8) == QByteArray("\x89PNG\r\n\x1a\n"));
    }
    QCOMPARE(pictures, 1);
}

QTEST_GUILESS_MAIN(TestCatalogueData)
#include "tst_cataloguedata.moc"
