#include "console/sessionlog.h"
#include "console/tracestore.h"
#include "app/console/tformprint.h"
#include "tests/support/testseams.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
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
    void floodIsShownOverTurns();
    void longLineIsKeptWholeAndShownCut();
    void lastLinesAreKept_data();
    void lastLinesAreKept();
    void scrollingWhileOldLinesGo();
    void keptCharactersAreBounded();
    void windowShowsWhatTheSessionKept();
    void sessionLogHasEveryLine();
    void saveLog_data();
    void saveLog();
};

static void fill(TformPrint &console, int count)
{
    for (int i = 0; i < count; ++i)
        console.appendConsoleLine(QStringLiteral("line %1").arg(i));
    console.flush();
}

void TestConsole::linesAreKeptUnchanged()
{
    TraceStore trace;
    TformPrint console(trace);
    console.printToConsole(QStringLiteral("num of bytes received: 4"));
    console.printToConsole(QString());
    console.appendConsoleLine(QStringLiteral("  blanks kept  "));
    QCOMPARE(trace.lines(), (QStringList{"num of bytes received: 4", "", "  blanks kept  "}));
    console.flush();
    QCOMPARE(console.Memo1->toPlainText(), QStringLiteral("num of bytes received: 4\n\n  blanks kept  "));
    QVERIFY(console.Memo1->isReadOnly());
}

void TestConsole::clearThenOneLine()
{
    TraceStore trace;
    TformPrint console(trace);
    fill(console, 5);
    console.btnClear->click();
    console.printToConsole(QStringLiteral("only"));
    console.flush();
    QCOMPARE(trace.lines(), QStringList{"only"});
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
    TraceStore trace;
    TformPrint console(trace);
    if (clearFirst) {
        fill(console, 3);
        console.btnClear->click();
    }
    for (const QString &flush : flushes) {
        for (const QString &line : flush.split(QLatin1Char('|')))
            console.printToConsole(line);
        console.flush();
    }
    QCOMPARE(trace.lines(), shown);
    QCOMPARE(console.Memo1->document()->blockCount(), int(shown.size()));
    QCOMPARE(console.Memo1->toPlainText(), shown.join(QLatin1Char('\n')));
}

void TestConsole::scrollFollowsTheBoxAndTheKindOfLine()
{
    TraceStore trace;
    TformPrint console(trace);
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
    const int printed = int(trace.lines().lastIndexOf(QStringLiteral("printed")));
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
    TraceStore trace;
    TformPrint console(trace);
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
    TraceStore trace;
    TformPrint console(trace);
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

void TestConsole::floodIsShownOverTurns()
{
    TraceStore trace;
    TformPrint console(trace);
    console.show();
    console.CheckBox1->setChecked(true);
    QCoreApplication::processEvents();
    const int count = 2 * TformPrint::kLinesPerTurn + 5;
    for (int i = 0; i < count; ++i)
        console.printToConsole(QStringLiteral("flood %1").arg(i));
    QScrollBar *v = console.Memo1->verticalScrollBar();
    QTextDocument *memo = console.Memo1->document();

    // One turn of the event loop shows one turn's lines, and the window answers between turns;
    // the view glides once the last of them is shown.
    QCoreApplication::processEvents();
    QCOMPARE(memo->blockCount(), TformPrint::kLinesPerTurn);
    QCOMPARE(memo->lastBlock().text(), QStringLiteral("flood %1").arg(TformPrint::kLinesPerTurn - 1));
    QCOMPARE(console.scrollAnimation()->state(), QAbstractAnimation::Stopped);
    QCOMPARE(v->value(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(memo->blockCount(), 2 * TformPrint::kLinesPerTurn);
    QCOMPARE(console.scrollAnimation()->state(), QAbstractAnimation::Stopped);
    QCoreApplication::processEvents();
    QCOMPARE(memo->blockCount(), count);
    QCOMPARE(console.scrollAnimation()->state(), QAbstractAnimation::Running);
    glideToEnd(console);
    QCOMPARE(v->value(), v->maximum());
    QCOMPARE(console.Memo1->toPlainText(), trace.lines().join(QLatin1Char('\n')));
}

void TestConsole::longLineIsKeptWholeAndShownCut()
{
    TraceStore trace;
    TformPrint console(trace);
    const QString wav(3'000'000, QLatin1Char('A'));
    console.printToConsole(wav);
    console.printToConsole(QStringLiteral("after"));
    console.flush();
    // Kept whole up to a mebibyte of characters, then counted.
    QCOMPARE(trace.lines().first(), wav.left(TraceStore::kKeptLineChars)
                                          + QStringLiteral(" ... %1 more characters").arg(3'000'000 - TraceStore::kKeptLineChars));
    const QString kept(TraceStore::kKeptLineChars, QLatin1Char('B'));
    console.printToConsole(kept);
    QCOMPARE(trace.lines().last(), kept);
    const QString shown = console.Memo1->document()->firstBlock().text();
    QVERIFY(shown.startsWith(wav.left(TformPrint::kShownLineChars)));
    QVERIFY(shown.endsWith(QStringLiteral(" ... %1 more characters").arg(3'000'000 - TformPrint::kShownLineChars)));
    QCOMPARE(shown.size(), TformPrint::kShownLineChars + QStringLiteral(" ... 2995904 more characters").size());
    QCOMPARE(console.Memo1->document()->lastBlock().text(), QStringLiteral("after"));
}

// The memo's lines, the note above them included.
static QStringList memoLines(const TformPrint &console)
{
    return console.Memo1->toPlainText().split(QLatin1Char('\n'));
}

void TestConsole::lastLinesAreKept_data()
{
    // How the lines come: in bursts of `burst` lines with a flush after each.
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("burst");
    QTest::newRow("exactly-the-limit-in-one-flush") << TraceStore::kMaxLines << TraceStore::kMaxLines;
    QTest::newRow("a-flood-in-one-flush") << 3 * TraceStore::kMaxLines + 7 << 3 * TraceStore::kMaxLines + 7;
    QTest::newRow("one-past-the-limit-after-a-flush") << TraceStore::kMaxLines + 1 << TraceStore::kMaxLines;
    QTest::newRow("bursts-that-overlap-the-limit") << 2 * TraceStore::kMaxLines + 500 << 3001;
    QTest::newRow("a-flush-every-100-lines") << TraceStore::kMaxLines + 250 << 100;
}

void TestConsole::lastLinesAreKept()
{
    QFETCH(int, count);
    QFETCH(int, burst);
    TraceStore trace;
    TformPrint console(trace);
    for (int i = 0; i < count; ++i) {
        console.appendConsoleLine(QStringLiteral("line %1").arg(i));
        if ((i + 1) % burst == 0)
            console.flush();
    }
    console.flush();
    const int dropped = count - TraceStore::kMaxLines;
    QCOMPARE(trace.lines().size(), qsizetype(std::min(count, int(TraceStore::kMaxLines))));
    QCOMPARE(trace.droppedLines(), qint64(std::max(dropped, 0)));
    QCOMPARE(trace.lines().first(), QStringLiteral("line %1").arg(std::max(dropped, 0)));
    QCOMPARE(trace.lines().last(), QStringLiteral("line %1").arg(count - 1));

    // The memo shows exactly the kept lines, under a note when some went.
    QStringList want = trace.lines();
    if (dropped > 0)
        want.prepend(QStringLiteral("... %1 earlier lines dropped").arg(dropped));
    QCOMPARE(memoLines(console), want);

    // Clear takes the note away with the lines.
    console.btnClear->click();
    console.printToConsole(QStringLiteral("only"));
    console.flush();
    QCOMPARE(memoLines(console), QStringList{"only"});
    QCOMPARE(trace.droppedLines(), qint64(0));
}

void TestConsole::scrollingWhileOldLinesGo()
{
    TraceStore trace;
    TformPrint console(trace);
    console.show();
    fill(console, TraceStore::kMaxLines);
    QScrollBar *v = console.Memo1->verticalScrollBar();
    // Someone reading line 5000: lines leaving at the top do not move what is in view.
    v->setValue(5000);
    const QString inView = console.Memo1->cursorForPosition(QPoint(1, 1)).block().text();
    for (int i = 0; i < 300; ++i)
        console.appendConsoleLine(QStringLiteral("more %1").arg(i));
    console.flush();
    QCOMPARE(console.Memo1->cursorForPosition(QPoint(1, 1)).block().text(), inView);

    // A printed line with the box ticked comes into view at the end, past the note.
    console.CheckBox1->setChecked(true);
    console.printToConsole(QStringLiteral("printed"));
    for (int i = 0; i < 40; ++i)
        console.appendConsoleLine(QStringLiteral("appended"));
    console.flush();
    glideToEnd(console);
    const int printed = int(trace.lines().lastIndexOf(QStringLiteral("printed"))) + 1; // the note is block 0
    QCOMPARE(console.Memo1->document()->findBlockByNumber(printed).text(), QStringLiteral("printed"));
    const QRect line = console.Memo1->cursorRect(QTextCursor(console.Memo1->document()->findBlockByNumber(printed)));
    const int viewHeight = console.Memo1->viewport()->height();
    QVERIFY2(line.top() >= 0 && line.bottom() <= viewHeight, "the printed line is in view");
    QVERIFY2(line.bottom() > viewHeight - 2 * line.height(), "at the bottom of the view");
}

void TestConsole::keptCharactersAreBounded()
{
    TraceStore trace;
    TformPrint console(trace);
    // Lines longer than a line may be kept are cut with a note; the oldest go when all of them
    // together pass the bound, however few they are.
    const QString huge(TraceStore::kKeptLineChars + 1000, QLatin1Char('7'));
    console.printToConsole(huge);
    QCOMPARE(trace.lines().first(), huge.left(TraceStore::kKeptLineChars) + QStringLiteral(" ... 1000 more characters"));
    const int whole = int(TraceStore::kKeptChars / TraceStore::kKeptLineChars) + 2;
    for (int i = 0; i < whole; ++i)
        console.printToConsole(QString(TraceStore::kKeptLineChars, QLatin1Char('A' + i)));
    console.printToConsole(QStringLiteral("last"));
    console.flush();
    qsizetype kept = 0;
    for (const QString &line : trace.lines())
        kept += line.size();
    QVERIFY(kept <= TraceStore::kKeptChars);
    QCOMPARE(trace.lines().last(), QStringLiteral("last"));
    QVERIFY(trace.droppedLines() >= 3);
    QCOMPARE(trace.lines().size() + trace.droppedLines(), qsizetype(whole + 2));
    QCOMPARE(memoLines(console).first(), QStringLiteral("... %1 earlier lines dropped").arg(trace.droppedLines()));
    // Each shown cut to a few thousand characters.
    QCOMPARE(console.Memo1->document()->findBlockByNumber(1).text(),
             TraceStore::cutLine(trace.lines().first(), TformPrint::kShownLineChars, TraceStore::kKeptLineChars));
}

// The session keeps the trace whether a window shows it or not: a window made later shows the
// kept lines under the note, and a Clear from elsewhere empties it.
void TestConsole::windowShowsWhatTheSessionKept()
{
    TraceStore trace;
    for (int i = 0; i < TraceStore::kMaxLines + 5; ++i)
        trace.printToConsole(QStringLiteral("early %1").arg(i));
    TformPrint console(trace);
    QTRY_COMPARE(console.Memo1->document()->blockCount(), TraceStore::kMaxLines + 1);
    QCOMPARE(memoLines(console).first(), QStringLiteral("... 5 earlier lines dropped"));
    QCOMPARE(memoLines(console).last(), QStringLiteral("early %1").arg(TraceStore::kMaxLines + 4));

    trace.appendConsoleLine(QStringLiteral("late"));
    console.flush();
    QCOMPARE(memoLines(console).first(), QStringLiteral("... 6 earlier lines dropped"));
    QCOMPARE(memoLines(console).at(1), QStringLiteral("early 6"));
    QCOMPARE(memoLines(console).last(), QStringLiteral("late"));

    trace.clear();
    trace.appendConsoleLine(QStringLiteral("after"));
    console.flush();
    QCOMPARE(memoLines(console), QStringList{"after"});
}

// Outside-world seams for the console's log: a temporary folder and scripted save dialogs.
struct LogFixture {
    QTemporaryDir dir;
    tovel::test::ScriptedPrompts prompts;
    tovel::test::TempFolders folders;
    std::unique_ptr<SessionLog> log;
    TraceStore trace;
    TformPrint console{trace};

    explicit LogFixture(bool withLog = true)
    {
        QString error;
        if (withLog)
            log = SessionLog::openInFolder(dir.path(), QDateTime::currentDateTime(), error);
        QVERIFY2(!withLog || log, qPrintable(error));
        trace.attachSessionLog(log.get());
        console.attachSavePrompts(prompts, folders);
    }
    QByteArray logBytes() const
    {
        QFile file(log->path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
};

void TestConsole::sessionLogHasEveryLine()
{
    LogFixture f;
    const int count = TraceStore::kMaxLines + 20;
    QByteArray want;
    for (int i = 0; i < count; ++i) {
        const QString line = QStringLiteral("received: %1 \u00B5s").arg(i);
        (i % 2 ? f.console.printToConsole(line) : f.console.appendConsoleLine(line));
        want += line.toUtf8() + '\n';
    }
    // Written on the console's flush, not line by line.
    QCOMPARE(f.logBytes(), QByteArray());
    f.console.flush();
    QCOMPARE(f.logBytes(), want);
    QCOMPARE(memoLines(f.console).first(), QStringLiteral("... 20 earlier lines dropped (Save Log... saves every line)"));

    // Clear is the window's: the log goes on from where it was.
    f.console.btnClearClick();
    f.console.printToConsole(QString());
    f.console.printToConsole(QStringLiteral("after Clear"));
    f.console.flush();
    QCOMPARE(f.logBytes(), want + "\nafter Clear\n");
}

void TestConsole::saveLog_data()
{
    QTest::addColumn<bool>("withLog");
    QTest::addColumn<int>("count");
    QTest::newRow("session-log-copied-with-the-lines-the-window-dropped") << true << TraceStore::kMaxLines + 3;
    QTest::newRow("no-session-log-the-kept-lines-with-the-note") << false << TraceStore::kMaxLines + 3;
    QTest::newRow("no-session-log-nothing-dropped") << false << 3;
}

void TestConsole::saveLog()
{
    QFETCH(bool, withLog);
    QFETCH(int, count);
    LogFixture f(withLog);
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines.append(QStringLiteral("data sent pot %1").arg(i));
    for (const QString &line : lines)
        f.console.printToConsole(line);

    // Cancelled: nothing written, nothing said.
    f.prompts.scriptFile(QString());
    f.console.btnSaveLog->click();
    QCOMPARE(f.prompts.filters, QStringList{"Log Files (*.log)|*.log|All Files (*)|*"});
    const QString proposedName = withLog ? QFileInfo(f.log->path()).fileName() : QStringLiteral("tovel-editor-console.log");
    QCOMPARE(f.prompts.dialogPaths, QStringList{QDir(f.folders.documents()).filePath(proposedName)});

    const QString chosen = f.dir.filePath(QStringLiteral("kept.log"));
    f.prompts.scriptFile(chosen);
    f.console.btnSaveLog->click();
    QCOMPARE(f.prompts.messages, QStringList());
    QFile saved(chosen);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QStringList want = withLog ? lines : lines.mid(std::max(0, count - TraceStore::kMaxLines));
    if (!withLog && count > TraceStore::kMaxLines)
        want.prepend(QStringLiteral("... %1 earlier lines dropped").arg(count - TraceStore::kMaxLines));
    QCOMPARE(QString::fromUtf8(saved.readAll()), want.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QCOMPARE(f.trace.lines().last(), QStringLiteral("console log saved: ") + chosen);

    // A place that cannot be written says why.
    f.prompts.scriptFile(f.dir.filePath(QStringLiteral("no/such/folder/x.log")));
    f.console.btnSaveLog->click();
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY2(f.prompts.messages.first().startsWith(QStringLiteral("Error saving file: ")),
             qPrintable(f.prompts.messages.first()));
    QCOMPARE(f.prompts.surprises, QStringList());
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
