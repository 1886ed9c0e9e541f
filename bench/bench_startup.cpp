// Start-up of tovel-editor to its first painted main window, and the process's peak memory at
// that point, against a bare Qt Widgets window of the same size (bench_barewindow), each started
// as a fresh process with TOVEL_QUIT_AFTER_FIRST_PAINT set. The time runs from the start of the
// process to the line it prints after its first frame; the runs alternate between the two and
// the medians are shown. The editor starts as a user starts it: no options, the bridges attached
// to this computer, a fresh home folder (no saved look).
//   bench_startup [RUNS]        (default 9)
#include "bench/benchresult.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>

using namespace tovel::bench;

namespace {

struct Start {
    double ms = -1;
    QSize size;
    long peakKiB = -1;
};

Start startOnce(const QString &program, const QStringList &arguments, const QString &home)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOVEL_QUIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Start start;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    QByteArray line;
    while (!line.endsWith('\n') && process.waitForReadyRead(30000))
        line += process.readLine();
    start.ms = timer.nsecsElapsed() / 1e6;
    process.waitForFinished(30000);
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 3 || fields[0] != "first-paint") {
        std::printf("%s did not report its first paint: %s\n", qPrintable(program), line.constData());
        return {};
    }
    const QList<QByteArray> size = fields[1].split('x');
    start.size = QSize(size.value(0).toInt(), size.value(1).toInt());
    start.peakKiB = fields[2].toLong();
    return start;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : amount(9);
    QTemporaryDir home;

    // One start of each first, not counted: it loads the libraries into the page cache.
    const Start first = startOnce(QStringLiteral(TOVEL_EDITOR_PROGRAM), {}, home.path());
    if (first.ms < 0)
        return 1;
    const QStringList size{QString::number(first.size.width()), QString::number(first.size.height())};
    startOnce(QStringLiteral(BARE_WINDOW_PROGRAM), size, home.path());

    QList<double> editorMs, bareMs, editorKiB, bareKiB;
    for (int i = 0; i < runs; ++i) {
        const Start editor = startOnce(QStringLiteral(TOVEL_EDITOR_PROGRAM), {}, home.path());
        const Start bare = startOnce(QStringLiteral(BARE_WINDOW_PROGRAM), size, home.path());
        if (editor.ms < 0 || bare.ms < 0 || bare.size != first.size)
            return 1;
        editorMs << editor.ms;
        bareMs << bare.ms;
        editorKiB << editor.peakKiB;
        bareKiB << bare.peakKiB;
    }
    std::printf("main window %dx%d; %d starts of each (QPA platform: %s)\n", first.size.width(),
                first.size.height(), runs, qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))));
    std::printf("start-up to the first painted window: editor %.1f ms (%.1f-%.1f), bare window %.1f ms (%.1f-%.1f)\n",
                median(editorMs), *std::min_element(editorMs.begin(), editorMs.end()),
                *std::max_element(editorMs.begin(), editorMs.end()), median(bareMs),
                *std::min_element(bareMs.begin(), bareMs.end()), *std::max_element(bareMs.begin(), bareMs.end()));
    result("start-up to the first painted main window", median(editorMs), "ms", median(bareMs), "(bare window)");
    result("peak memory at the first paint", median(editorKiB) / 1024, "MiB", median(bareKiB) / 1024, "(bare window)");
    return 0;
}
