#include "catalogue/catalogueloader.h"
#include "catalogue/catalogueresources.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "catalogue/infopagetext.h"
#include "catalogue/resourceindex.h"
#include "catalogue/resourcetext.h"
#include "tests/support/testseams.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

class TestCatalogueText : public QObject {
    Q_OBJECT

private slots:
    void nameRule_data();
    void nameRule();
    void categoryResourcesFollowTheNameRule();
    void lineSplitting_data();
    void lineSplitting();
    void decoding_data();
    void decoding();
    void infoPageDecoding_data();
    void infoPageDecoding();
    void infoPageAsPlainText_data();
    void infoPageAsPlainText();
    void everyShippedPageReadsAsText();
    void lookupIgnoresCase_data();
    void lookupIgnoresCase();
    void missingResourceKeepsCurrentList_data();
    void missingResourceKeepsCurrentList();
    void loadReplacesCurrentList();
    void unreadableResourceIsReported();
};

void TestCatalogueText::nameRule_data()
{
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("base");
    QTest::newRow("all-four-rules") << "Polar Fox-3 + Echo X Duo" << "Polar_Fox_3_plus_Echo_mult_Duo";
    QTest::newRow("plain-name-unchanged") << "Tuner" << "Tuner";
    QTest::newRow("category-caption") << "Impulse Response" << "Impulse_Response";
    QTest::newRow("only-capital-x") << "X" << "mult";
    QTest::newRow("small-x-stays") << "Fox box" << "Fox_box";
    QTest::newRow("x-inside-word") << "TRX + IR Loader" << "TRmult_plus_IR_Loader";
    QTest::newRow("blanks-kept-one-for-one") << "A  B" << "A__B";
    QTest::newRow("empty") << "" << "";
}

void TestCatalogueText::nameRule()
{
    QFETCH(QString, displayName);
    QFETCH(QString, base);
    QCOMPARE(EffectResourceName(displayName), base);
}

void TestCatalogueText::categoryResourcesFollowTheNameRule()
{
    for (const CategoryRow &row : CategoryTable)
        QCOMPARE(EffectResourceName(QString::fromLatin1(row.caption)).toLower(),
                 QString::fromLatin1(row.listResource));
}

void TestCatalogueText::lineSplitting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    const QStringList abc{"a", "b", "c"};
    QTest::newRow("crlf") << "a\r\nb\r\nc" << abc;
    QTest::newRow("lf") << "a\nb\nc" << abc;
    QTest::newRow("cr") << "a\rb\rc" << abc;
    QTest::newRow("mixed") << "a\r\nb\nc" << abc;
    QTest::newRow("final-crlf-adds-no-line") << "a\r\nb\r\nc\r\n" << abc;
    QTest::newRow("final-lf-adds-no-line") << "a\nb\nc\n" << abc;
    QTest::newRow("inner-empty-lines-stay") << "a\r\n\r\nb\n\nc" << QStringList{"a", "", "b", "", "c"};
    QTest::newRow("cr-cr-is-two-ends") << "a\r\rb" << QStringList{"a", "", "b"};
    QTest::newRow("lf-cr-is-two-ends") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("empty-text-no-lines") << "" << QStringList{};
    QTest::newRow("lone-line-end-one-empty-line") << "\r\n" << QStringList{""};
    QTest::newRow("blanks-kept") << " a \n" << QStringList{" a "};
}

void TestCatalogueText::lineSplitting()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitLines(text), lines);
}

void TestCatalogueText::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("AC2\r\nLevel") << "AC2\r\nLevel";
    QTest::newRow("utf8-bom-dropped") << QByteArray("\xEF\xBB\xBF" "caf\xC3\xA9") << QString::fromUtf8("café");
    QTest::newRow("utf16le-bom") << QByteArray("\xFF\xFE" "A\0B\0", 6) << "AB";
    QTest::newRow("utf16be-bom") << QByteArray("\xFE\xFF\0A\0B", 6) << "AB";
    QTest::newRow("no-bom-single-byte") << QByteArray("caf\xE9") << QString::fromUtf8("café");
}

void TestCatalogueText::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeResourceText(bytes), text);
}

void TestCatalogueText::infoPageDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QByteArray cp1252Body("caf\xE9 \x96 90\xB0 \x80");
    const QString body = QString::fromUtf8("café – 90° €");
    QTest::newRow("http-equiv-windows-1252")
        << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">") + cp1252Body
        << QString::fromLatin1("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">") + body;
    QTest::newRow("meta-charset-windows-1252")
        << QByteArray("<meta charset=windows-1252>") + cp1252Body
        << QStringLiteral("<meta charset=windows-1252>") + body;
    QTest::newRow("declared-latin1-reads-as-windows-1252")
        << QByteArray("<meta charset=\"iso-8859-1\">") + cp1252Body
        << QStringLiteral("<meta charset=\"iso-8859-1\">") + body;
    QTest::newRow("undeclared-reads-as-windows-1252") << cp1252Body << body;
    QTest::newRow("declared-utf8")
        << QByteArray("<meta charset=UTF-8>") + body.toUtf8()
        << QStringLiteral("<meta charset=UTF-8>") + body;
    QTest::newRow("bom-wins-over-declaration")
        << QByteArray("\xEF\xBB\xBF<meta charset=windows-1252>") + body.toUtf8()
        << QStringLiteral("<meta charset=windows-1252>") + body;
}

void TestCatalogueText::infoPageDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeInfoPage(bytes), text);
}

void TestCatalogueText::infoPageAsPlainText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::newRow("head-left-out") << "<HTML><HEAD><TITLE>Gain</TITLE></HEAD><BODY><H3>Gain</H3></BODY></HTML>"
                                   << "Gain";
    QTest::newRow("table-row-as-cell-colon-cell")
        << "<BODY><TABLE><TR><TD><B>Input</B></TD><TD>mono</TD></TR>\n<TR><TD>Out</TD> <TD>stereo</TD></TR></TABLE>"
        << "Input: mono\nOut: stereo";
    QTest::newRow("source-line-ends-are-blanks") << "<BODY><P>A studio-grade\r\ndrive.</P><P>Next</P>"
                                                 << "A studio-grade drive.\nNext";
    QTest::newRow("references-resolved") << "<BODY>a &#8211; b &amp; c &#x2014; &lt;d&gt; &nbsp;e" << "a \u2013 b & c \u2014 <d> e";
    QTest::newRow("unknown-and-control-references-kept") << "<BODY>&bogus; &#7; &#xD800;" << "&bogus; &#7; &#xD800;";
    QTest::newRow("colon-in-text-stays") << "<BODY><P>Range:Low at 10:30</P>" << "Range:Low at 10:30";
    QTest::newRow("pictures-and-links-leave-nothing")
        << "<BODY><IMG SRC=\"p.png\"><A HREF=\"x\">see</A><BR>end" << "see\nend";
}

void TestCatalogueText::infoPageAsPlainText()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(infoPagePlainText(html), text);
}

void TestCatalogueText::everyShippedPageReadsAsText()
{
    const ResourceIndex &index = catalogueResources();
    int pages = 0;
    for (const QString &name : index.names()) {
        if (!name.endsWith(QLatin1String("_INFO")))
            continue;
        QFile file(index.path(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = infoPagePlainText(decodeInfoPage(file.readAll()));
        QVERIFY2(!text.isEmpty() && !text.contains(QLatin1Char('<')) && !text.contains(QLatin1String("&#")),
                 qPrintable(name + ": " + text));
        ++pages;
    }
    QCOMPARE(pages, 58);
}

void TestCatalogueText::lookupIgnoresCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("lower-case-list") << "gain" << "Amber Drive";
    QTest::newRow("upper-case-list") << "GAIN" << "Amber Drive";
    QTest::newRow("caption-base-name") << "Impulse_Response" << "Amber Drive + IR Loader";
    QTest::newRow("layout-suffix-lower") << "Deep_Chorus_mult2_ctrls" << "300";
    QTest::newRow("effect-list") << "effect_list" << "0:empty";
}

void TestCatalogueText::lookupIgnoresCase()
{
    QFETCH(QString, name);
    QFETCH(QString, firstLine);
    CatalogueLoader loader;
    QVERIFY(loader.LoadListResource(name));
    QVERIFY(!loader.CurrentList().isEmpty());
    QCOMPARE(loader.CurrentList().first(), firstLine);
    QCOMPARE(loader.error(), QString());
}

void TestCatalogueText::missingResourceKeepsCurrentList_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("no-effect-selected-layout") << "_ctrls" << "Error loading resource: Resource _ctrls not found";
    QTest::newRow("no-effect-selected-program") << "" << "Error loading resource: Resource  not found";
    QTest::newRow("unknown-name") << "no_such_effect" << "Error loading resource: Resource no_such_effect not found";
    QTest::newRow("page-file-is-no-resource") << "Moss Verb-info.html" << "Error loading resource: Resource Moss Verb-info.html not found";
}

void TestCatalogueText::missingResourceKeepsCurrentList()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    CatalogueLoader loader;
    QVERIFY(!loader.LoadListResource(name));
    QCOMPARE(loader.CurrentList(), QStringList());
    QCOMPARE(loader.error(), message);
    QVERIFY(loader.LoadListResource(QStringLiteral("dynamic")));
    QCOMPARE(loader.error(), QString());
    const QStringList before = loader.CurrentList();
    QVERIFY(!loader.LoadListResource(name));
    QCOMPARE(loader.CurrentList(), before);
    QCOMPARE(loader.error(), message);
}

void TestCatalogueText::loadReplacesCurrentList()
{
    CatalogueLoader loader;
    QVERIFY(loader.LoadListResource(QStringLiteral("impulse_response")));
    QCOMPARE(loader.CurrentList().size(), 4);
    QVERIFY(loader.LoadListResource(QStringLiteral("trmult_plus_ir_loader_ctrls")));
    QCOMPARE(loader.CurrentList().first(), QStringLiteral("310"));
    QCOMPARE(loader.CurrentList().size(), 5);
}

void TestCatalogueText::unreadableResourceIsReported()
{
    // An index over a plain folder: its files load like resources, a file that cannot be
    // opened reports the system's reason.
    TempFolders folders;
    const QString dir = folders.root() + QStringLiteral("/res");
    QVERIFY(QDir().mkpath(dir));
    QFile lf(dir + QStringLiteral("/LIST"));
    QVERIFY(lf.open(QIODevice::WriteOnly));
    lf.write("one\ntwo\n");
    lf.close();
    QFile locked(dir + QStringLiteral("/LOCKED"));
    QVERIFY(locked.open(QIODevice::WriteOnly));
    locked.close();
    QVERIFY(locked.setPermissions(QFileDevice::Permissions()));

    ResourceIndex index(dir);
    CatalogueLoader loader(index);
    QVERIFY(loader.LoadListResource(QStringLiteral("list")));
    QCOMPARE(loader.CurrentList(), QStringList({"one", "two"}));
    if (QFile(locked.fileName()).open(QIODevice::ReadOnly))
        QSKIP("running with rights that read any file");
    QVERIFY(!loader.LoadListResource(QStringLiteral("locked")));
    QCOMPARE(loader.CurrentList(), QStringList({"one", "two"}));
    QVERIFY(loader.error().startsWith(QStringLiteral("Error loading resource: ")));
    QVERIFY(loader.error().size() > QStringLiteral("Error loading resource: ").size());
}

QTEST_GUILESS_MAIN(TestCatalogueText)
#include "tst_cataloguetext.moc"
