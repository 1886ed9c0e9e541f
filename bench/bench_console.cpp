// Console under a flood: 100,000 lines, and one 20-million-character line (a whole WAV file
// printed as hex). Prints wall time per step and the process's peak memory; for the two floods,
// also the longest stall of the event loop while the lines are printed by one handler and the
// console shows them (a zero-interval timer's largest gap, the console's flush included). The
// console writes its session log to a temporary folder, as the program's does to the state
// folder. Last, what a million lines leave in memory.
#include "bench/benchresult.h"
#include "console/sessionlog.h"
#include "console/tracestore.h"
#include "app/console/tformprint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

static long peakRssKb()
{
    return tovel::bench::peakRssKiB();
}

class BenchFolders : public tovel::Folders {
public:
    QString documents() const override { return m_dir.path(); }
    QString programFolder() const override { return m_dir.path(); }
    QString state() const override { return m_dir.filePath(QStringLiteral("state")); }

private:
    QTemporaryDir m_dir;
};

struct Flood {
    double printMs = 0;
    double worstStallMs = 0;
};

// `work` run from the event loop as one handler, then 300 ms of the loop for what it left.
template <typename F>
static Flood underEventLoop(F &&work)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0, started = 0, ended = -1;
    QTimer heartbeat;
    heartbeat.setInterval(0);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    QTimer::singleShot(0, [&] {
        started = clock.nsecsElapsed();
        work();
        ended = clock.nsecsElapsed();
    });
    last = clock.nsecsElapsed();
    heartbeat.start();
    while (ended < 0)
        QApplication::processEvents();
    const qint64 until = clock.nsecsElapsed() + 300'000'000;
    while (clock.nsecsElapsed() < until)
        QApplication::processEvents();
    return {(ended - started) / 1e6, worst / 1e6};
}

template <typename F>
static double timeMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    using tovel::bench::amount;
    // The floods' sizes; the short run's are small.
    const int floodLines = amount(100000, 1000);
    const int longChars = amount(20'000'000, 20'000);
    BenchFolders folders;
    tovel::bench::PrintingPrompts prompts;
    QString error;
    const auto log = tovel::SessionLog::openInFolder(folders.state(), QDateTime::currentDateTime(), error);
    if (!log)
        qFatal("no session log: %s", qPrintable(error));
    tovel::TraceStore trace;
    trace.attachSessionLog(log.get());
    tovel::TformPrint console(trace);
    console.attachSavePrompts(prompts, folders);
    console.show();
    console.CheckBox1->setChecked(true);
    QApplication::processEvents();

    const double lines = timeMs([&] {
        for (int i = 0; i < floodLines; ++i)
            console.printToConsole(QStringLiteral("data sent pot 3: 0100030040%1").arg(i));
        console.flush();
        console.repaint();
    });
    std::printf("%d lines (print, flush, repaint): %.1f ms\n", floodLines, lines);
    console.btnClearClick();
    QApplication::processEvents();
    const Flood lineFlood = underEventLoop([&] {
        for (int i = 0; i < floodLines; ++i)
            console.printToConsole(QStringLiteral("data sent pot 3: 0100030040%1").arg(i));
    });
    std::printf("%d lines from one handler: %.1f ms, longest event-loop stall %.1f ms\n", floodLines, lineFlood.printMs,
                lineFlood.worstStallMs);
    tovel::bench::result("console, 100,000 lines: append cost a line", lineFlood.printMs * 1000 / floodLines, "us");
    tovel::bench::result("console, 100,000 lines: longest event-loop stall", lineFlood.worstStallMs, "ms");

    const double oneEvery = timeMs([&] {
        for (int i = 0; i < amount(2000, 20); ++i) {
            console.printToConsole(QStringLiteral("received: 79"));
            QApplication::processEvents();
        }
    });
    std::printf("2000 lines each followed by an event-loop turn: %.1f ms (%.1f us a line)\n",
                oneEvery, oneEvery * 1000 / amount(2000, 20));

    console.btnClearClick();
    const QString wav(longChars, QLatin1Char('7'));
    const double longLine = timeMs([&] {
        console.printToConsole(wav);
        console.printToConsole(QStringLiteral("after"));
        console.flush();
        console.repaint();
    });
    std::printf("one 20,000,000-character line (print, flush, repaint): %.1f ms\n", longLine);
    console.btnClearClick();
    QApplication::processEvents();
    const Flood longFlood = underEventLoop([&] { console.printToConsole(wav); });
    std::printf("one 20,000,000-character line from one handler: %.1f ms, longest event-loop stall %.1f ms\n",
                longFlood.printMs, longFlood.worstStallMs);
    tovel::bench::result("console, one 20,000,000-character line: append", longFlood.printMs, "ms");
    tovel::bench::result("console, one 20,000,000-character line: longest event-loop stall",
                         longFlood.worstStallMs, "ms");
    const double scrollAfter = timeMs([&] {
        for (int i = 0; i < amount(100, 2); ++i) {
            console.Memo1->horizontalScrollBar();
            console.Memo1->verticalScrollBar()->setValue(i % 2);
            console.repaint();
        }
    });
    std::printf("100 repaints after it: %.1f ms\n", scrollAfter);

    // What the memo would cost showing long lines whole.
    for (int chars : {amount(200'000, 2000), amount(2'000'000, 2000)}) {
        QPlainTextEdit raw;
        raw.setLineWrapMode(QPlainTextEdit::NoWrap);
        raw.resize(386, 636);
        raw.show();
        const QString line(chars, QLatin1Char('7'));
        const double whole = timeMs([&] {
            raw.appendPlainText(line);
            raw.repaint();
        });
        std::printf("plain memo, one %d-character line shown whole: %.1f ms\n", chars, whole);
    }
    // What a long session's lines keep: a million lines, a thousand at a time with the event loop
    // turning between, as a day of traffic with the pedal would bring them.
    console.btnClearClick();
    QApplication::processEvents();
    const long before = tovel::bench::residentKiB();
    for (int burst = 0; burst < amount(1000, 2); ++burst) {
        for (int i = 0; i < 1000; ++i)
            console.printToConsole(QStringLiteral("data sent pot 3: 0100030040%1").arg(burst * 1000 + i));
        QApplication::processEvents();
    }
    console.flush();
    QApplication::processEvents();
    const long after = tovel::bench::residentKiB();
    std::printf("1,000,000 lines: resident set %ld kB before, %ld kB after\n", before, after);
    tovel::bench::result("console, 1,000,000 lines: growth of the resident set", (after - before) / 1024.0, "MB");

    std::printf("peak RSS: %ld KB\n", peakRssKb());
    return 0;
}
