#include "console/tformprint.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTextBlock>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace tovel;

// Runs the console's glide to its end, as the animation timer would.
static void glideToEnd(TformPrint &console)
{
    QPropertyAnimation *glide = console.scrollAnimation();
    if (glide->state() == QAbstractAnimation::Running)
        glide->setCurrentTime(glide->duration());
}

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void linesAreKeptUnchanged();
    void clearThenOneLine();
    void emptyLinesAreLines_data();
    void emptyLinesAreLines();
    void scrollFollowsTheBoxAndTheKindOfLine();
    void upScrollsToTop();
    void burstGlidesOnce();
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

void TestConsole::emptyLinesAreLines_data()
{
    // Lines given one flush at a time (each string is one flush; '|' separates lines within it).
    QTest::addColumn<bool>("clearFirst");
    QTest::addColumn<QStringList>("flushes");
    QTest::addColumn<QStringList>("shown");
    for (bool clear : {false, true}) {
        const char *when = clear ? "after-clear" : "at-start";
        QTest::addRow("empty-then-text-%s", when) << clear << QStringList{"", "x"} << QStringList{"", "x"};
        QTest::addRow("two-empty-then-text-%s", when) << clear << QStringList{"", "", "y"} << QStringList{"", "", "y"};
        QTest::addRow("empty-only-%s", when) << clear << QStringList{""} << QStringList{""};
        QTest::addRow("empty-and-text-one-flush-%s", when) << clear << QStringList{"|x", "z"} << QStringList{"", "x", "z"};
        QTest::addRow("text-then-empty-%s", when) << clear << QStringList{"a", "", "b"} << QStringList{"a", "", "b"};
    }
}

void TestConsole::emptyLinesAreLines()
{
    QFETCH(bool, clearFirst);
    QFETCH(QStringList, flushes);
    QFETCH(QStringList, shown);
    TformPrint console;
    if (clearFirst) {
        fill(console, 3);
        console.btnClear->click();
    }
    for (const QString &flush : flushes) {
        for (const QString &line : flush.split(QLatin1Char('|')))
            console.printToConsole(line);
        console.flush();
    }
    QCOMPARE(console.lines(), shown);
    QCOMPARE(console.Memo1->document()->blockCount(), int(shown.size()));
    QCOMPARE(console.Memo1->toPlainText(), shown.join(QLatin1Char('\n')));
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
    glideToEnd(console);
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
    glideToEnd(console);
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
    glideToEnd(console);
    QVERIFY(console.Memo1->verticalScrollBar()->value() > 0);
    console.btnScrollTop->click();
    QCOMPARE(console.Memo1->verticalScrollBar()->value(), 0);
}

void TestConsole::burstGlidesOnce()
{
    TformPrint console;
    console.show();
    console.CheckBox1->setChecked(true);
    fill(console, 100);
    QScrollBar *v = console.Memo1->verticalScrollBar();
    v->setValue(0);
    QPropertyAnimation *glide = console.scrollAnimation();
    QSignalSpy runs(glide, &QAbstractAnimation::stateChanged);

    // A burst of printed lines in one flush: one glide, from where the view stood to the end.
    for (int i = 0; i < 500; ++i)
        console.printToConsole(QStringLiteral("burst %1").arg(i));
    console.flush();
    QCOMPARE(glide->state(), QAbstractAnimation::Running);
    QCOMPARE(glide->startValue().toInt(), 0);
    QCOMPARE(glide->endValue().toInt(), v->maximum());
    QVERIFY(v->value() < v->maximum());
    glide->setCurrentTime(glide->duration() / 2);
    const int halfway = v->value();
    QVERIFY2(halfway > 0 && halfway < v->maximum(), "the view moves through the lines");
    int started = 0;
    for (const QList<QVariant> &change : std::as_const(runs))
        started += change.first().value<QAbstractAnimation::State>() == QAbstractAnimation::Running;
    QCOMPARE(started, 1);

    // Lines arriving mid-glide retarget it from where the view is, to the new end.
    for (int i = 0; i < 50; ++i)
        console.printToConsole(QStringLiteral("more %1").arg(i));
    console.flush();
    QCOMPARE(glide->startValue().toInt(), halfway);
    QCOMPARE(glide->endValue().toInt(), v->maximum());
    glideToEnd(console);
    QCOMPARE(v->value(), v->maximum());

    // UP and Clear stop a glide: nothing drags the view back down afterwards.
    v->setValue(0);
    console.printToConsole(QStringLiteral("again"));
    console.flush();
    QCOMPARE(glide->state(), QAbstractAnimation::Running);
    console.btnScrollTop->click();
    QCOMPARE(glide->state(), QAbstractAnimation::Stopped);
    QCOMPARE(v->value(), 0);

    // A hidden console (the normal case) jumps without animating.
    console.hide();
    console.printToConsole(QStringLiteral("hidden"));
    console.flush();
    QCOMPARE(glide->state(), QAbstractAnimation::Stopped);
    QCOMPARE(v->value(), v->maximum());
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
