// The texts of the Help menu: the program's version, and what the web answer may show.
#include "update/versiontext.h"

#include <QtTest>

using namespace tovel;

class TestVersionText : public QObject {
    Q_OBJECT

private slots:
    void appVersion_data();
    void appVersion();
    void printableAnswer_data();
    void printableAnswer();
    void shownError_data();
    void shownError();
    void announcedVersion_data();
    void announcedVersion();
};

void TestVersionText::announcedVersion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("version");
    QTest::newRow("two-numbers") << "3.0" << true;
    QTest::newRow("one-number") << "12" << true;
    QTest::newRow("with-a-line-end") << "3.1\r\n" << true;
    QTest::newRow("thirty-three-digits") << QString(33, '7') << false;
    QTest::newRow("thirty-two-digits") << QString(32, '7') << true;
    QTest::newRow("endless-sevens-cut-at-the-read-limit") << QString(1024, '7') << false;
    QTest::newRow("a-page") << "<html>3.0</html>" << false;
    QTest::newRow("dots-only") << "..." << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("trailing-dot") << "3." << false;
    QTest::newRow("escape-sequence") << "3.0\x1b[2J" << false;
}

void TestVersionText::announcedVersion()
{
    QFETCH(QString, answer);
    QFETCH(bool, version);
    QCOMPARE(isVersionText(answer), version);
}

void TestVersionText::appVersion_data()
{
    QTest::addColumn<QString>("fileVersion");
    QTest::addColumn<QString>("shown");
    QTest::newRow("program-file-version") << "3.0.0.0" << "3.0";
    QTest::newRow("two-digit-numbers") << "10.12.3.4" << "10.12";
    QTest::newRow("numbers-read-as-decimal") << "03.01.0.0" << "3.1";
    QTest::newRow("no-version") << "" << "";
}

void TestVersionText::appVersion()
{
    QFETCH(QString, fileVersion);
    QFETCH(QString, shown);
    QCOMPARE(appVersionFrom(fileVersion), shown);
}

void TestVersionText::printableAnswer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("keepLineEnds");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain-version") << QByteArray("3.1") << true << "3.1";
    QTest::newRow("blanks-kept") << QByteArray(" 3.1 beta ") << true << " 3.1 beta ";
    QTest::newRow("line-end-kept-for-a-caption") << QByteArray("3.1\r\n") << true << "3.1\r\n";
    QTest::newRow("line-end-dropped-from-a-status") << QByteArray("Not\r\nFound") << false << "NotFound";
    QTest::newRow("control-bytes-dropped")
        << QByteArray("3\x00.\x07" "1\x1b[0m\t", 10) << true << "3.1[0m";
    QTest::newRow("bytes-that-are-not-utf8") << QByteArray("\xff\xfe" "3.2\x80") << true << "3.2";
    QTest::newRow("utf8-letters-and-symbols")
        << QByteArray("3.2 \xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb8") << true
        << QString::fromUtf8("3.2 \xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb8");
    QTest::newRow("byte-order-mark-dropped") << QByteArray("\xef\xbb\xbf" "3.0") << true << "3.0";
    QTest::newRow("bidi-override-dropped") << QByteArray("3.0\xe2\x80\xae" "1") << true << "3.01";
    // U+202A..U+202E embeddings and overrides, U+2066..U+2069 isolates, U+200E/U+200F and U+061C
    // marks: each would turn the text around it.
    QString bidi;
    for (const char16_t c : {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069,
                             0x200E, 0x200F, 0x061C})
        bidi += QChar(c);
    QTest::newRow("every-bidi-control-dropped") << ("3." + bidi + "1").toUtf8() << true << "3.1";
    QTest::newRow("line-and-paragraph-separators-dropped")
        << (QString("3.") + QChar(0x2028) + "1" + QChar(0x2029)).toUtf8() << true << "3.1";
    QTest::newRow("private-use-dropped") << QByteArray("3\xee\x80\x80.0") << true << "3.0";
    QTest::newRow("read-up-to-1-kib") << QByteArray(5000, '9') << true << QString(1024, QLatin1Char('9'));
    QTest::newRow("character-cut-at-the-limit")
        << QByteArray(1023, 'a') + "\xc3\xa9" << true << QString(1023, QLatin1Char('a'));
}

void TestVersionText::printableAnswer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, keepLineEnds);
    QFETCH(QString, text);
    QCOMPARE(printableAnswerText(bytes, keepLineEnds), text);
}

void TestVersionText::shownError_data()
{
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("shown");
    const QString tls = QStringLiteral("SSL handshake failed: The certificate is self-signed, and untrusted");
    QTest::newRow("tls-reason-whole") << tls << tls;
    QTest::newRow("line-ends-and-controls-dropped")
        << QStringLiteral("Host a\r\nb\x1b[2J not found") << QStringLiteral("Host ab[2J not found");
    QTest::newRow("bidi-override-dropped")
        << QString("not HTTP: ") + QChar(0x202E) + "lmth.exe" + QChar(0x2069)
        << QStringLiteral("not HTTP: lmth.exe");
    QTest::newRow("long-text-shortened")
        << QString(1000, QLatin1Char('e')) << QString(kShownErrorChars - 1, QLatin1Char('e')) + QChar(0x2026);
    const QString guitar = QString::fromUtf8("\xf0\x9f\x8e\xb8"); // two UTF-16 units
    QTest::newRow("character-kept-whole-at-the-cut")
        << QString(kShownErrorChars - 2, QLatin1Char('e')) + guitar + "tail"
        << QString(kShownErrorChars - 2, QLatin1Char('e')) + QChar(0x2026);
    QTest::newRow("controls-do-not-count-towards-the-cap")
        << QString(kShownErrorChars, QLatin1Char('e')) + QString(50, QChar(0x200F))
        << QString(kShownErrorChars, QLatin1Char('e'));
}

void TestVersionText::shownError()
{
    QFETCH(QString, error);
    QFETCH(QString, shown);
    QCOMPARE(shownErrorText(error), shown);
}

QTEST_GUILESS_MAIN(TestVersionText)
#include "tst_versiontext.moc"
