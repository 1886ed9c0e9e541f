// The information window on the shipped pages. With TOVEL_GRAB_DIR set it also saves what it
// shows as PNG files there (run under xvfb-run to look at the real rendering).
#include "app/infopagebrowser.h"
#include "app/tformfxinfo.h"
#include "tests/support/testseams.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

void saveGrab(QWidget &window, const QString &name)
{
    const QString dir = qEnvironmentVariable("TOVEL_GRAB_DIR");
    if (!dir.isEmpty())
        window.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Whether the rendered window holds a pixel of about this colour.
bool showsColour(QWidget &window, QColor colour)
{
    const QImage image = window.grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) < 8 && qAbs(c.green() - colour.green()) < 8
                && qAbs(c.blue() - colour.blue()) < 8)
                return true;
        }
    return false;
}

} // namespace

class TestFXInfo : public QObject {
    Q_OBJECT

private slots:
    void windowLayout();
    void pagePath_data();
    void pagePath();
    void pageWithPictureAndAccents();
    void folderWithHashAndBlanks();
    void missingPageShowsNothing();
};

void TestFXInfo::windowLayout()
{
    tformFXInfo info;
    QCOMPARE(info.size(), QSize(335, 480));
    QCOMPARE(info.minimumSize(), info.maximumSize());
    QCOMPARE(info.WebBrowser1->geometry(), QRect(8, 8, 319, 464));
    QCOMPARE(info.WebBrowser1->objectName(), QStringLiteral("WebBrowser1"));
}

void TestFXInfo::pagePath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("path");
    QTest::newRow("blanks-kept") << "/opt/tovel" << "Moss Verb" << "/opt/tovel/Moss Verb-info.html";
    QTest::newRow("plus-and-capital-x-kept") << "/opt/tovel" << "TRX + IR Loader" << "/opt/tovel/TRX + IR Loader-info.html";
    QTest::newRow("hyphen-kept") << "/p" << "Ping-Pong Delay" << "/p/Ping-Pong Delay-info.html";
}

void TestFXInfo::pagePath()
{
    QFETCH(QString, folder);
    QFETCH(QString, effect);
    QFETCH(QString, path);
    QCOMPARE(tformFXInfo::pagePath(folder, effect), path);
}

void TestFXInfo::pageWithPictureAndAccents()
{
    // Room on its right on the test platform's 800-pixel screen.
    QWidget beside;
    beside.setGeometry(0, 100, 300, 135);
    tformFXInfo info;
    info.openBeside(beside, programFolder(), QStringLiteral("Moss Verb"));
    QVERIFY(info.isVisible());
    QCOMPARE(info.windowTitle(), QStringLiteral("Moss Verb"));
    QCOMPARE(info.frameGeometry().topLeft(), QPoint(beside.frameGeometry().right() + 1, 100));
    QCOMPARE(info.pageUrl(), QUrl::fromLocalFile(programFolder() + QStringLiteral("/Moss Verb-info.html")));
    const QString text = info.WebBrowser1->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Blue LED")), qPrintable(text));
    // The page's accented characters, written as character references: an en dash and an e acute.
    QVERIFY2(text.contains(QString::fromUtf8("pickups \u2013 from gentle edge to full café crunch")),
             qPrintable(text));
    QVERIFY(!text.contains(QChar(0xFFFD)));
    // The picture's blue LED is on screen.
    QVERIFY(showsColour(info, QColor(40, 110, 255)));
    saveGrab(info, QStringLiteral("moss-verb"));

    info.openBeside(beside, programFolder(), QStringLiteral("Amber Drive"));
    const QString amber = info.WebBrowser1->toPlainText();
    QVERIFY2(amber.startsWith(QStringLiteral("Amber Drive")), qPrintable(amber));
    QVERIFY(amber.contains(QString::fromUtf8("smooth response \u2013 try it")));
    QVERIFY(!showsColour(info, QColor(40, 110, 255)));
    saveGrab(info, QStringLiteral("amber-drive"));
}

void TestFXInfo::folderWithHashAndBlanks()
{
    // A folder name that a glued "file://" address would cut at '#'.
    TempFolders folders;
    const QString folder = folders.root() + QStringLiteral("/Tovel #2 ?beta");
    QVERIFY(QDir().mkpath(folder));
    const QString page = QStringLiteral("/Moss Verb-info.html");
    QVERIFY(QFile::copy(programFolder() + page, folder + page));
    QVERIFY(QFile::copy(programFolder() + QStringLiteral("/tovel-pedal.png"), folder + QStringLiteral("/tovel-pedal.png")));
    QWidget beside;
    tformFXInfo info;
    info.openBeside(beside, folder, QStringLiteral("Moss Verb"));
    QCOMPARE(info.pageUrl().toLocalFile(), folder + page);
    QVERIFY(info.WebBrowser1->toPlainText().contains(QStringLiteral("Moss Verb")));
    QVERIFY(showsColour(info, QColor(40, 110, 255)));
}

void TestFXInfo::missingPageShowsNothing()
{
    QWidget beside;
    tformFXInfo info;
    info.openBeside(beside, programFolder(), QStringLiteral("Tuner"));
    QVERIFY(!info.WebBrowser1->toPlainText().isEmpty());
    info.openBeside(beside, programFolder(), QStringLiteral("No Such Effect"));
    QCOMPARE(info.windowTitle(), QStringLiteral("No Such Effect"));
    QVERIFY(info.WebBrowser1->toPlainText().trimmed().isEmpty());
    // The same page again is read again.
    info.openBeside(beside, programFolder(), QStringLiteral("Tuner"));
    QVERIFY(info.WebBrowser1->toPlainText().startsWith(QStringLiteral("Tuner")));
    info.openBeside(beside, programFolder(), QStringLiteral("Tuner"));
    QVERIFY(info.WebBrowser1->toPlainText().startsWith(QStringLiteral("Tuner")));
}

QTEST_MAIN(TestFXInfo)
#include "tst_fxinfo.moc"
