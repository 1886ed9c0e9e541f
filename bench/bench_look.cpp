// Switching looks with the 24-row parameter window open (and the main window and console
// shown): the whole editor on the virtual pedal. Prints one line per case: milliseconds per
// switch, as the mean over every switch between the eight looks, then the slowest; and the
// start-up step alone.
//   bench_look [ROUNDS]        (default 5 rounds of eight switches)
#include "bench/benchresult.h"
#include "app/look/lookapplier.h"
#include "app/toggleswitch.h"
#include "tests/support/editorfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

using namespace tovel;
using namespace tovel::test;

namespace {

struct Figures {
    double totalMs = 0, slowestMs = 0;
    int count = 0;
    void add(double ms)
    {
        totalMs += ms;
        slowestMs = std::max(slowestMs, ms);
        ++count;
    }
};

void print(const char *what, const Figures &f, const char *unit = "switch")
{
    std::printf("%-58s %8.2f ms per %s (slowest %.2f ms, %d runs)\n", what, f.totalMs / f.count,
                unit, f.slowestMs, f.count);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : tovel::bench::amount(5);

    EditorFixture f;
    f.startOnVirtualPedal();

    // Start-up's step: style.txt read and its look applied while the main window is the only one.
    Figures startup;
    QElapsedTimer timer;
    // Every look in turn; the short run switches between two.
    const int looks = tovel::bench::amount(8, 2);
    for (int i = 0; i < rounds * looks; ++i) {
        QFile choice(f.folders.documents() + QStringLiteral("/ZANTH/style.txt"));
        if (!choice.open(QIODevice::WriteOnly) || choice.write(QByteArray::number((i + 1) % looks)) < 1)
            return 1;
        choice.close();
        timer.start();
        f.main().ApplySavedLook();
        startup.add(timer.nsecsElapsed() / 1e6);
    }

    f.main().menuConnectClick();
    const QString effect = QStringLiteral("Arp Sequencer");
    f.loadOntoPedal(effect);
    f.checkLine();
    f.app->session().pedal.PedalEffectName = effect;
    f.app->session().chooseEffect(effect);
    f.main().show();
    f.console().show();
    TformFXParameters &window = *f.app->formFXParameters();
    window.openBeside(f.main(), effect);
    for (int row : {10, 13, 16, 19})
        window.swSwitch[row]->click();
    QApplication::processEvents();
    std::printf("parameter window: %d rows, %d widgets in the application\n", window.NumParams(),
                int(QApplication::allWidgets().size()));

    Figures apply, applyAndPaint;
    for (int r = 0; r < rounds; ++r) {
        for (int look = 0; look < looks; ++look) {
            timer.start();
            applyLook((look + 1) % looks);
            apply.add(timer.nsecsElapsed() / 1e6);
            // The repaint of every shown window that the new sheet causes.
            QApplication::processEvents();
            window.repaint();
            f.main().repaint();
            f.console().repaint();
            applyAndPaint.add(timer.nsecsElapsed() / 1e6);
        }
    }
    print("start-up: style.txt read and applied, main window only", startup, "start");
    print("applying a look (style sheet set, every widget polished)", apply);
    print("applying a look and repainting the three windows", applyAndPaint);
    tovel::bench::result("switching looks, 24-row window open", apply.totalMs / apply.count, "ms");
    tovel::bench::result("switching looks, with the repaint of the three windows",
                         applyAndPaint.totalMs / applyAndPaint.count, "ms");
    return 0;
}
