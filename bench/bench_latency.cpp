// An effect query's round trip on the virtual pedal's modelled line (115,200 baud), with the
// bridge's latency timer at its power-up 16 ms, at the 1 ms the drivers now ask for, and left
// out of the model. Time is the virtual clock's, from handing the query to the driver to
// the whole four-line answer in hand; the editor's wait loop turns every 50 us.
// Prints one line per setting: mean, min and max over the runs, in ms.
#include "app/console/tformprint.h"
#include "console/tracestore.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "core/seams.h"
#include "pedal/virtualpedaldriver.h"
#include "protocol/commandexchange.h"
#include "protocol/pedalstate.h"
#include "usb/d2xxunit.h"

#include "bench/benchresult.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    using namespace tovel;
    const int kRuns = bench::amount(50);
    std::printf("effect query round trip at 115200 baud, %d runs each\n", kRuns);
    for (const int latencyMs : {16, 1, 0}) {
        VirtualClock clock;
        VirtualPacing pacing(clock, 50);
        pedal::VirtualPedalOptions options;
        options.lineRateBaud = 115200;
        options.latencyTimerMs = latencyMs;
        pedal::VirtualPedalDriver driver(options, clock);
        D2XXUnit usb(driver);
        usb.onFailure = [](const UsbFailure &failure) {
            std::fprintf(stderr, "%s\n", qPrintable(D2XXUnit::failureText(failure)));
        };
        TraceStore trace;
        TformPrint console(trace);
        PedalState state;
        CommandExchange exchange(usb, pacing, clock, console, state);
        usb.Open_USB_Device_By_Serial_Number(QStringLiteral("ZT000001"));
        state.linkOpened(PedalState::Listener::EffectFirmware);

        qint64 total = 0, least = -1, most = 0;
        for (int run = 0; run < kRuns; ++run) {
            // Queries start at every place between the timer's ticks, as a user's do: spread
            // evenly over 16 ms.
            const qint64 phase = (run * 16000 / kRuns + 16000 - clock.nowUs() % 16000) % 16000;
            clock.advanceUs(16000 + phase);
            const qint64 start = clock.nowUs();
            exchange.sendBytes(QByteArray::fromHex("0500"), true);
            const auto answer = exchange.CollectAnswerText(effectQueryAnswer());
            if (answer.bytes.size() != 16) {
                std::printf("run %d: answer of %d bytes\n", run, int(answer.bytes.size()));
                return 1;
            }
            const qint64 us = clock.nowUs() - start;
            total += us;
            least = least < 0 ? us : std::min(least, us);
            most = std::max(most, us);
        }
        std::printf("latency timer %2d ms%s: mean %.2f ms, min %.2f ms, max %.2f ms\n", latencyMs,
                    latencyMs == 0 ? " (not modelled)" : "", total / 1000.0 / kRuns, least / 1000.0,
                    most / 1000.0);
    }
    return 0;
}
