#include "console/tformprint.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QScrollBar>
#include <QtTest>

using namespace tovel;

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void linesAreKeptUnchanged();
    void clearThenOneLine();
    void scrollFollowsTheBoxAndTheKindOfLine();
    void upScrollsToTop();
    void longLineIsKeptWholeAndShownCut();
};

static void fill(TformPrint &console, int count)
{
    for (int i = 0; i < count; ++i)
        console.appendConsoleLine(QStringLiteral("line %1").arg(i));
    console.flush();
}

void TestConsole::linesAreKeptUnchanged()
{
    TformPrint console;
    console.printToConsole(QStringLiteral("num of bytes received: 4"));
    console.printToConsole(QString());
    console.appendConsoleLine(QStringLiteral("  blanks kept  "));
    QCOMPARE(console.lines(), (QStringList{"num of bytes received: 4", "", "  blanks kept  "}));
    console.flush();
    QCOMPARE(console.Memo1->toPlainText(), QStringLiteral("num of bytes received: 4\n\n  blanks kept  "));
    QVERIFY(console.Memo1->isReadOnly());
}

void TestConsole::clearThenOneLine()
{
    TformPrint console;
    fill(console, 5);
    console.btnClear->click();
    console.printToConsole(QStringLiteral("only"));
    console.flush();
    QCOMPARE(console.lines(), QStringList{"only"});
    QCOMPARE(console.Memo1->toPlainText(), QStringLiteral("only"));
}

void TestConsole::scrollFollowsTheBoxAndTheKindOfLine()
{
    TformPrint console;
    console.show();
    QVERIFY(!console.AutoScroll());
    fill(console, 300);
    QScrollBar *v = console.Memo1->verticalScrollBar();
    QVERIFY(v->maximum() > 0);
    v->setValue(10);

    // Box not ticked: nothing moves the view.
    console.printToConsole(QStringLiteral("not ticked"));
    console.flush();
    QCOMPARE(v->value(), 10);

    // Ticking alone does not scroll; the next print does, to the end.
    console.CheckBox1->setChecked(true);
    QVERIFY(console.AutoScroll());
    QCOMPARE(v->value(), 10);
    console.printToConsole(QStringLiteral("ticked"));
    console.flush();
    QCOMPARE(v->value(), v->maximum());

    // A plain append never scrolls, whatever the box says.
    v->setValue(20);
    fill(console, 50);
    QCOMPARE(v->value(), 20);

    // A print followed by plain appends before the memo is drawn: the view stops at the
    // printed line, as it would have had each line been drawn at once.
    console.printToConsole(QStringLiteral("printed"));
    for (int i = 0; i < 30; ++i)
        console.appendConsoleLine(QStringLiteral("appended"));
    console.flush();
    const int printed = int(console.lines().lastIndexOf(QStringLiteral("printed")));
    const QRect line = console.Memo1->cursorRect(
        QTextCursor(console.Memo1->document()->findBlockByNumber(printed)));
    const int viewHeight = console.Memo1->viewport()->height();
    QVERIFY2(line.top() >= 0 && line.bottom() <= viewHeight, "the printed line is in view");
    QVERIFY2(line.bottom() > viewHeight - 2 * line.height(), "at the bottom of the view");

    console.CheckBox1->setChecked(false);
    QVERIFY(!console.AutoScroll());
}

void TestConsole::upScrollsToTop()
{
    TformPrint console;
    console.show();
    console.CheckBox1->setChecked(true);
    for (int i = 0; i < 200; ++i)
        console.printToConsole(QStringLiteral("x"));
    console.flush();
    QVERIFY(console.Memo1->verticalScrollBar()->value() > 0);
    console.btnScrollTop->click();
    QCOMPARE(console.Memo1->verticalScrollBar()->value(), 0);
}

void TestConsole::longLineIsKeptWholeAndShownCut()
{
    TformPrint console;
    const QString wav(3'000'000, QLatin1Char('A'));
    console.printToConsole(wav);
    console.printToConsole(QStringLiteral("after"));
    console.flush();
    QCOMPARE(console.lines().first(), wav);
    const QString shown = console.Memo1->document()->firstBlock().text();
    QVERIFY(shown.startsWith(wav.left(TformPrint::kShownLineChars)));
    QVERIFY(shown.endsWith(QStringLiteral("[3000000 characters in all]")));
    QCOMPARE(console.Memo1->document()->lastBlock().text(), QStringLiteral("after"));
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
