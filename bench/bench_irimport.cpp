// File > Load IR of long files, through the main window with real pacing. First the memory it
// costs: ten imports of the largest file the import takes (64 MB), the growth of the resident
// set at its peak and what stays once they are over. Then the time, first with the console
// window hidden (as the program starts) and then shown: a 60-second 48 kHz 24-bit file (read, traced as hex, no conversion of rate), and a
// 60-second 44.1 kHz file (resampled to 48 kHz). Prints the import's wall time, the longest
// stall of the event loop while it ran (a zero-interval timer's largest gap, the console's
// flush included), and the process's peak memory.
#include "bench/benchresult.h"
#include "tests/support/editorfixture.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <cstdio>

using namespace tovel;
using namespace tovel::test;

namespace {

const int kRuns = bench::amount(3);


QString makeWav(const QString &dir, const QString &name, int rate, int channels, const QString &type,
                int seconds = 60)
{
    const QString path = dir + QLatin1Char('/') + name;
    QProcess sox;
    sox.start(QStringLiteral("sox"), {QStringLiteral("-D"), QStringLiteral("-n"), QStringLiteral("-t"), type,
                                      QStringLiteral("-r"), QString::number(rate), QStringLiteral("-b"),
                                      QStringLiteral("24"), QStringLiteral("-c"), QString::number(channels), path,
                                      QStringLiteral("synth"), QString::number(seconds), QStringLiteral("pinknoise"),
                                      QStringLiteral("vol"), QStringLiteral("0.5")});
    if (!sox.waitForFinished(120000) || sox.exitCode() != 0)
        qFatal("sox failed: %s", sox.readAllStandardError().constData());
    return path;
}

struct Figures {
    double importMs = 0;
    double worstStallMs = 0;
};

Figures importOnce(QApplication &qapp, Application &app, ScriptedPrompts &prompts, const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer heartbeat;
    heartbeat.setInterval(0);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    qint64 started = 0;
    qint64 ended = -1;
    prompts.scriptFile(path);
    QTimer::singleShot(0, [&] {
        started = clock.nsecsElapsed();
        app.formMain()->menuLoadIR->trigger();
        ended = clock.nsecsElapsed();
    });
    last = clock.nsecsElapsed();
    heartbeat.start();
    while (ended < 0)
        qapp.processEvents();
    // What the import left for the event loop: the console's flush of its lines.
    const qint64 until = clock.nsecsElapsed() + 300'000'000;
    while (clock.nsecsElapsed() < until)
        qapp.processEvents();
    heartbeat.stop();
    if (prompts.messages.isEmpty() || !prompts.messages.last().startsWith(QLatin1String("Selected file data:")))
        qFatal("the import did not end with its summary: %s", qPrintable(prompts.messages.value(prompts.messages.size() - 1)));
    return {(ended - started) / 1e6, worst / 1e6};
}

// Ten imports of a 64 MB file in a row, each with the event loop drained after it as the window
// would. Growth is counted from the resident set just before the first import.
void memoryOverImports(QApplication &qapp, Application &app, ScriptedPrompts &prompts, const QString &path)
{
    const int kImports = bench::amount(10);
    qapp.processEvents();
    const long before = bench::residentKiB();
    const bool peakKnown = bench::resetPeakRss();
    QList<long> afterEach(kImports);
    for (int i = 0; i < kImports; ++i) {
        importOnce(qapp, app, prompts, path);
        afterEach[i] = bench::residentKiB();
    }
    const long peak = bench::peakRssKiB();
    std::printf("%d imports of %s (%lld bytes), console hidden: resident set %ld kB before;", kImports,
                qPrintable(QFileInfo(path).fileName()), qlonglong(QFileInfo(path).size()), before);
    for (long kb : afterEach)
        std::printf(" %ld", kb);
    std::printf(" kB after each; peak %ld kB%s\n", peak, peakKnown ? "" : " (peak since start: not reset)");
    bench::result("WAV import, 10 x 64 MB file: peak growth of the resident set", (peak - before) / 1024.0, "MB");
    bench::result("WAV import, 10 x 64 MB file: growth kept after them", (afterEach.last() - before) / 1024.0,
                  "MB");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    TempFolders files;
    // The short run reads files of a second or two.
    const int minute = bench::amount(60);
    const QString plain = makeWav(files.root(), QStringLiteral("60s-48k-24bit.wav"), 48000, 1, QStringLiteral("wavpcm"), minute);
    const QString cd = makeWav(files.root(), QStringLiteral("60s-44k1-24bit-stereo.wav"), 44100, 2, QStringLiteral("wav"), minute);
    // 460 s of 24-bit mono at 48 kHz: 66,240,044 bytes, just under the import's 64 MB limit.
    const QString largest =
        makeWav(files.root(), QStringLiteral("460s-48k-24bit.wav"), 48000, 1, QStringLiteral("wavpcm"), bench::amount(460, 2));

    SteadyClock steady;
    RealPacing pacing;
    ScriptedPrompts prompts;
    TempFolders folders;
    pedal::VirtualPedalDriver driver({}, steady);
    Application app(prompts, pacing, folders, driver, steady);
    app.formMain()->show();
    app.session().selection.SelectedCategory = QStringLiteral("Impulse Response");
    app.session().selection.SelectedEffectName = QStringLiteral("Basic IR Loader");
    app.formMain()->menuLoadIR->setEnabled(true);
    qapp.processEvents();

    memoryOverImports(qapp, app, prompts, largest);
    app.formPrint()->btnClearClick();

    for (const bool consoleShown : {false, true}) {
        app.formPrint()->setVisible(consoleShown);
        std::printf("console window %s:\n", consoleShown ? "shown" : "hidden");
        for (const QString &path : {plain, cd}) {
            Figures best{1e9, 1e9};
            Figures worst;
            QList<double> importMs, stallMs;
            for (int i = 0; i < kRuns; ++i) {
                app.formPrint()->btnClearClick();
                const Figures f = importOnce(qapp, app, prompts, path);
                importMs << f.importMs;
                stallMs << f.worstStallMs;
                best = {std::min(best.importMs, f.importMs), std::min(best.worstStallMs, f.worstStallMs)};
                worst = {std::max(worst.importMs, f.importMs), std::max(worst.worstStallMs, f.worstStallMs)};
            }
            std::printf("  %s (%lld bytes): import %.1f-%.1f ms, longest event-loop stall %.1f-%.1f ms "
                        "(%d runs)\n",
                        qPrintable(QFileInfo(path).fileName()), qlonglong(QFileInfo(path).size()), best.importMs,
                        worst.importMs, best.worstStallMs, worst.worstStallMs, kRuns);
            const QByteArray name = QStringLiteral("WAV import, 60 s %1, console %2")
                                        .arg(path == plain ? QStringLiteral("48 kHz 24-bit")
                                                           : QStringLiteral("44.1 kHz 24-bit stereo (resampled)"))
                                        .arg(consoleShown ? QStringLiteral("shown") : QStringLiteral("hidden"))
                                        .toUtf8();
            tovel::bench::result(name.constData(), tovel::bench::median(importMs), "ms");
            tovel::bench::result((name + ": longest event-loop stall").constData(), tovel::bench::median(stallMs),
                                 "ms");
        }
    }
    std::printf("peak memory: %ld kB\n", bench::peakRssKiB());
    return 0;
}
