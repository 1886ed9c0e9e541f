#include "tests/support/editorfixture.h"

#include "app/look/lookapplier.h"
#include "look/lookresources.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr int kToolkitLook = -1; // no sheet applied: the toolkit's own look

QString stylePath(const EditorFixture &f)
{
    return f.folders.documents() + QStringLiteral("/ZANTH/style.txt");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

// Which look the application shows: the number of the sheet applied, or kToolkitLook.
int shownLook()
{
    const QString sheet = qApp->styleSheet();
    if (sheet.isEmpty())
        return kToolkitLook;
    for (int n = 0; n <= 7; ++n) {
        if (sheet == lookStyleSheet(n))
            return n;
    }
    return -100; // a sheet that is not one of the looks
}

// The Look entry that carries the check mark, -1 for none.
int markedEntry(EditorFixture &f)
{
    int marked = -1;
    for (int i = 0; i < f.main().LookItems.size(); ++i)
        if (f.main().LookItems[i]->isChecked()) {
            if (marked >= 0)
                return -2; // two marks
            marked = i;
        }
    return marked;
}

} // namespace

class TestLookMenu : public QObject {
    Q_OBJECT

private slots:
    void init() { qApp->setStyleSheet(QString()); }
    void cleanupTestCase() { qApp->setStyleSheet(QString()); }

    void everyLookHasItsSheet();
    void lookMenuEntries();
    void everyLookKeepsTheMainWindowLayout();
    void startupLook_data();
    void startupLook();
    void pickedLookIsRemembered_data();
    void pickedLookIsRemembered();
    void unwritableChoiceKeepsTheLook_data();
    void unwritableChoiceKeepsTheLook();
};

void TestLookMenu::everyLookHasItsSheet()
{
    for (int n = 0; n <= 7; ++n) {
        const std::optional<QString> sheet = lookStyleSheet(n);
        QVERIFY2(sheet && sheet->contains(QStringLiteral("QPushButton")), qPrintable(lookResourceName(n)));
        for (int m = 0; m < n; ++m)
            QVERIFY2(*sheet != *lookStyleSheet(m), "two looks share one sheet");
    }
    for (int n : {-1, 8, 12})
        QVERIFY2(!lookStyleSheet(n), qPrintable(lookResourceName(n)));
}

void TestLookMenu::lookMenuEntries()
{
    EditorFixture f;
    f.start();
    // Each entry: its number (the mnemonic), then a short name; the look shown is marked.
    QStringList numbers;
    for (QAction *a : f.main().menuLook->actions()) {
        numbers.append(shownText(a->text()).section(QLatin1Char(' '), 0, 0));
        QVERIFY(a->text().startsWith(QLatin1Char('&')));
        QVERIFY(shownText(a->text()).size() > 3);
        QVERIFY(a->isCheckable());
        QCOMPARE(a->isChecked(), a == f.main().LookItems.value(0)); // first start: look 0
    }
    QCOMPARE(numbers, (QStringList{"0", "1", "2", "3", "4", "5", "6"}));
    QCOMPARE(f.main().LookItems, f.main().menuLook->actions());
}

void TestLookMenu::everyLookKeepsTheMainWindowLayout()
{
    EditorFixture f;
    f.start();
    TformMain &m = f.main();
    m.show();
    QList<QPair<QWidget *, QRect>> placed;
    for (QWidget *w : m.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        placed.append({w, w->geometry()});
    QCOMPARE(m.MenuBar1->geometry(), QRect(0, 0, 399, 24));
    for (int n = 0; n <= 7; ++n) {
        QVERIFY(applyLook(n));
        QCoreApplication::processEvents();
        for (const auto &[w, rect] : placed)
            QVERIFY2(w->geometry() == rect, qPrintable(QStringLiteral("look %1: %2").arg(n).arg(w->objectName())));
        QCOMPARE(m.size(), QSize(399, 480));
        // Every menu stays on the bar (entries that do not fit go to an overflow button).
        for (QMenu *menu : {m.menuFile, m.menuConnection, m.menuSettings, m.menuFirmwareUpgrade, m.menuHelp}) {
            const QRect entry = m.MenuBar1->actionGeometry(menu->menuAction());
            QVERIFY2(!entry.isEmpty() && m.MenuBar1->rect().contains(entry),
                     qPrintable(QStringLiteral("look %1: %2").arg(n).arg(menu->title())));
        }
    }
}

void TestLookMenu::startupLook_data()
{
    QTest::addColumn<bool>("hasFile");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("look");
    QTest::newRow("first-start-no-file") << false << QByteArray() << 0;
    QTest::newRow("remembered-4") << true << QByteArray("4") << 4;
    QTest::newRow("remembered-7-not-in-the-menu") << true << QByteArray("7") << 7;
    QTest::newRow("12-has-no-look") << true << QByteArray("12") << kToolkitLook;
    QTest::newRow("leading-zero-03") << true << QByteArray("03") << 3;
    QTest::newRow("negative-has-no-look") << true << QByteArray("-1") << kToolkitLook;
    QTest::newRow("text-is-no-number") << true << QByteArray("abc") << 0;
    QTest::newRow("empty-file") << true << QByteArray() << 0;
    QTest::newRow("number-then-text") << true << QByteArray("5x") << 0;
    QTest::newRow("too-large-for-an-int") << true << QByteArray("99999999999999999999") << 0;
    QTest::newRow("utf8-bom-before-5") << true << QByteArray("\xEF\xBB\xBF" "5") << 5;
    QTest::newRow("utf16le-bom-before-6") << true << QByteArray("\xFF\xFE" "6\0", 4) << 6;
    QTest::newRow("line-end-after-2") << true << QByteArray("2\r\n") << 2;
    QTest::newRow("long-file-of-zeros") << true << QByteArray(100000, '0') << 0;
}

void TestLookMenu::startupLook()
{
    QFETCH(bool, hasFile);
    QFETCH(QByteArray, content);
    QFETCH(int, look);
    EditorFixture f;
    if (hasFile)
        writeFile(stylePath(f), content);
    f.start();
    QCOMPARE(shownLook(), look);
    QCOMPARE(f.prompts.messages, QStringList());
    // Start-up only reads the choice.
    QCOMPARE(readFile(stylePath(f)), hasFile ? content : QByteArray("<no file>"));
}

void TestLookMenu::pickedLookIsRemembered_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::addColumn<int>("entry");
    QTest::newRow("first-choice") << QByteArray() << 4;
    QTest::newRow("replaces-look-7") << QByteArray("7") << 2;
    QTest::newRow("replaces-a-longer-text") << QByteArray("\xEF\xBB\xBF 12\r\n") << 0;
    QTest::newRow("last-entry") << QByteArray("3") << 6;
}

void TestLookMenu::pickedLookIsRemembered()
{
    QFETCH(QByteArray, before);
    QFETCH(int, entry);
    EditorFixture f;
    if (!before.isEmpty())
        writeFile(stylePath(f), before);
    f.start();
    // Look 7 and 12 have no entry: none is marked.
    QCOMPARE(markedEntry(f), before.isEmpty() ? 0 : before == "3" ? 3 : -1);
    f.click(f.main().LookItems.at(entry));
    QCOMPARE(shownLook(), entry);
    QCOMPARE(markedEntry(f), entry);
    QCOMPARE(readFile(stylePath(f)), QByteArray::number(entry));
    QCOMPARE(f.prompts.messages, QStringList());
    // Chosen again, the entry keeps its mark.
    f.click(f.main().LookItems.at(entry));
    QCOMPARE(markedEntry(f), entry);

    // The next start, in the same Documents folder, shows it.
    f.app.reset();
    qApp->setStyleSheet(QString());
    f.start();
    QCOMPARE(shownLook(), entry);
    QCOMPARE(markedEntry(f), entry);
}

void TestLookMenu::unwritableChoiceKeepsTheLook_data()
{
    QTest::addColumn<QString>("blocker");
    // The data folder gone (a file in its place), or a folder where the file should be.
    QTest::newRow("data-folder-missing") << "ZANTH";
    QTest::newRow("style.txt-is-a-folder") << "ZANTH/style.txt";
}

void TestLookMenu::unwritableChoiceKeepsTheLook()
{
    QFETCH(QString, blocker);
    EditorFixture f;
    f.start();
    QDir documents(f.folders.documents());
    QVERIFY(documents.removeRecursively() && documents.mkpath(QStringLiteral(".")));
    if (blocker == QLatin1String("ZANTH"))
        writeFile(documents.filePath(blocker), "not a folder");
    else
        QVERIFY(documents.mkpath(blocker));

    f.click(f.main().LookItems.at(3));
    QCOMPARE(shownLook(), 3); // applied before the write failed
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages.first().startsWith(QStringLiteral("Cannot save the look in \"")),
             qPrintable(f.prompts.messages.first()));
    QVERIFY(f.prompts.messages.first().contains(QStringLiteral("style.txt")));
    // No half-written file and no stray temporary beside it.
    QCOMPARE(QDir(f.folders.documents()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("ZANTH")});

    // The next start shows the previous choice, here none: look 0.
    f.app.reset();
    qApp->setStyleSheet(QString());
    f.start();
    QCOMPARE(shownLook(), 0);
}

QTEST_MAIN(TestLookMenu)
#include "tst_lookmenu.moc"
