// "Request" on a 24-row effect, through the main window, the kernel serial driver and a pseudo-
// terminal to tovel-pedal-sim on its modelled 115,200-baud line, in real time (as
// `tovel-editor --device PTY` runs): from the click to the rows showing the pedal's state.
// The floor is the command's fixed 200 ms pause plus the wire time of the answer (10 bits a
// byte); the answer is on its way while the pause runs, so a figure a little above the pause
// alone is what the line allows.
//   bench_staterequest [RUNS]        (default 10)
#include "bench/benchresult.h"
#include "app/effectbrowser.h"
#include "app/tformfxparameters.h"
#include "protocol/commands.h"
#include "tests/support/ptyeditor.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using namespace tovel;
using namespace tovel::test;
using namespace tovel::bench;

namespace {

const QString kEffect = QStringLiteral("Arp Sequencer");
constexpr double kBaud = 115200;

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
    TformMain &main = editor.main();
    main.menuConnect->trigger();
    if (!editor.app->session().selectEffect(kEffect))
        return 1;
    editor.prompts.scriptAnswer(Prompts::Answer::Yes);
    main.btnUpload->click();
    main.btnOpenEffect->click();
    TformFXParameters &window = *editor.app->formFXParameters();
    if (!editor.prompts.messages.isEmpty() || window.NumParams() != 24) {
        std::printf("not ready: %d rows, messages %s\n", window.NumParams(),
                    qPrintable(editor.prompts.messages.join(QStringLiteral(" | "))));
        return 1;
    }

    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        main.btnRequest->click();
        ms << timer.nsecsElapsed() / 1e6;
        if (!editor.prompts.messages.isEmpty() || !main.btnAssign->isEnabled()) {
            std::printf("request %d failed: %s\n", i, qPrintable(editor.prompts.messages.join(QStringLiteral(" | "))));
            return 1;
        }
    }
    // The answer as the pedal sends it: each byte of its state as a decimal number and CR LF.
    qsizetype answerBytes = 0;
    for (quint8 b : editor.app->session().pedal.ReceivedBytes)
        answerBytes += QByteArray::number(b).size() + 2;
    const double pauseMs = commandInfo(CommandCode::StateRequest).pauseAfterMs;
    const double floorMs = pauseMs + answerBytes * 10 / kBaud * 1000;
    std::printf("%s: %d rows, answer %lld bytes (%lld numbers); floor %.0f ms pause + %.1f ms wire\n",
                qPrintable(kEffect), window.NumParams(), qlonglong(answerBytes),
                qlonglong(editor.app->session().pedal.ReceivedBytes.size()), pauseMs, floorMs - pauseMs);
    std::printf("state request: median %.1f ms, %.1f-%.1f ms (%d runs)\n", median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), runs);
    result("state request, 24 rows (pty sim, 115,200 baud)", median(ms), "ms", floorMs, "(200 ms pause + answer wire)");
    return 0;
}
