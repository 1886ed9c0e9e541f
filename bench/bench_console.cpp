// Console under a flood: 100,000 lines, and one 20-million-character line (a whole WAV file
// printed as hex). Prints wall time per step and the process's peak memory.
#include "console/tformprint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QScrollBar>
#include <cstdio>

static long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
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
    tovel::TformPrint console;
    console.show();
    console.CheckBox1->setChecked(true);
    QApplication::processEvents();

    const double lines = timeMs([&] {
        for (int i = 0; i < 100000; ++i)
            console.printToConsole(QStringLiteral("data sent pot 3: 0100030040%1").arg(i));
        console.flush();
        console.repaint();
    });
    std::printf("100000 lines (print, flush, repaint): %.1f ms\n", lines);

    const double oneEvery = timeMs([&] {
        for (int i = 0; i < 2000; ++i) {
            console.printToConsole(QStringLiteral("received: 79"));
            QApplication::processEvents();
        }
    });
    std::printf("2000 lines each followed by an event-loop turn: %.1f ms (%.1f us a line)\n",
                oneEvery, oneEvery * 1000 / 2000);

    console.btnClearClick();
    const QString wav(20'000'000, QLatin1Char('7'));
    const double longLine = timeMs([&] {
        console.printToConsole(wav);
        console.printToConsole(QStringLiteral("after"));
        console.flush();
        console.repaint();
    });
    std::printf("one 20,000,000-character line (print, flush, repaint): %.1f ms\n", longLine);
    const double scrollAfter = timeMs([&] {
        for (int i = 0; i < 100; ++i) {
            console.Memo1->horizontalScrollBar();
            console.Memo1->verticalScrollBar()->setValue(i % 2);
            console.repaint();
        }
    });
    std::printf("100 repaints after it: %.1f ms\n", scrollAfter);

    // What the memo would cost showing long lines whole.
    for (int chars : {200'000, 2'000'000}) {
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
    std::printf("peak RSS: %ld KB\n", peakRssKb());
    return 0;
}
