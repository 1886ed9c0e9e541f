// What the proof that the line is in step costs before a command: the effect query, asked and
// answered whole with nothing before it, through the kernel serial driver and a pseudo-
// terminal to tovel-pedal-sim on its modelled 115,200-baud line, in real time. Measured from
// the session's check on a line out of step (as after an answer that did not come whole) to
// the line in step; and the same check on a line already in step, which sends nothing. The
// floor is the query's fixed 100 ms pause plus its two bytes out and sixteen back.
//   bench_linecheck [RUNS]        (default 10)
#include "bench/benchresult.h"
#include "protocol/commands.h"
#include "tests/support/ptyeditor.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

using namespace tovel;
using namespace tovel::test;
using namespace tovel::bench;

namespace {

constexpr double kBaud = 115200;

// One check of the line inside an exchange of its own, in ms; -1 when it failed.
double timedCheck(EditorSession &session)
{
    QElapsedTimer timer;
    timer.start();
    auto scope = session.exchange().begin(QStringLiteral("line check"));
    if (!scope || session.require(PedalNeed::EffectFirmwareInStep, QStringLiteral("line check")))
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : amount(10);
    LoggedSim sim;
    if (!sim.start()) {
        std::printf("sim: %s\n", qPrintable(sim.process.errorText()));
        return 1;
    }
    PtyEditor editor(sim.process.ptyPath());
    editor.main().menuConnect->trigger();
    EditorSession &session = editor.app->session();

    QList<double> outOfStep, inStep;
    for (int i = 0; i < runs; ++i) {
        session.pedalState().lostStep(QStringLiteral("an answer that did not come whole"));
        const double proof = timedCheck(session);
        const double none = timedCheck(session);
        if (proof < 0 || none < 0 || !session.pedalState().inStep()) {
            std::printf("check %d failed: %s\n", i, qPrintable(editor.console().mid(editor.console().size() - 5).join(" | ")));
            return 1;
        }
        outOfStep << proof;
        inStep << none;
    }
    const double pauseMs = commandInfo(CommandCode::EffectQuery).pauseAfterMs;
    const double floorMs = pauseMs + (2 + 16) * 10 / kBaud * 1000;
    std::printf("line check out of step: median %.1f ms, %.1f-%.1f ms; in step: median %.3f ms (%d runs)\n",
                median(outOfStep), *std::min_element(outOfStep.begin(), outOfStep.end()),
                *std::max_element(outOfStep.begin(), outOfStep.end()), median(inStep), runs);
    result("line check before a write, line out of step (pty sim, 115,200 baud)", median(outOfStep), "ms", floorMs,
           "(100 ms pause + query wire)");
    result("line check before a write, line in step", median(inStep), "ms");
    return 0;
}
