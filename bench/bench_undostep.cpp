// The memory one undo step holds, for the 24 rows of Arp Sequencer: a move of one pot (the
// rows before and after it) and a change of every row at once (a loaded configuration), each
// pushed many times and the heap measured before and after. Also the time a recorded move takes
// next to the same move unrecorded, from the call to the frame on the in-process virtual pedal.
#include "actions/pedalactions.h"
#include "bench/benchresult.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/virtualpedaldriver.h"
#include "protocol/commandexchange.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"
#include "tests/support/testseams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <malloc.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/allocator_interface.h>
#define TOVEL_HEAP_FROM_ASAN 1
#endif
#endif

namespace {

// Bytes in use on the heap now.
double heapBytes()
{
#ifdef TOVEL_HEAP_FROM_ASAN
    return double(__sanitizer_get_current_allocated_bytes());
#else
    return double(mallinfo2().uordblks);
#endif
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    using namespace tovel;
    bench::PrintingPrompts prompts;
    VirtualClock clock;
    VirtualPacing pacing(clock);
    pedal::VirtualPedalDriver driver({}, clock);
    test::TempFolders folders;
    EditorSession session(prompts, pacing, folders, driver, clock);

    const QString effect = QStringLiteral("Arp Sequencer");
    session.usb.Open_USB_Device_By_Serial_Number(QStringLiteral("ZT000001"));
    session.loader().LoadListResource(EffectResourceName(effect));
    const QByteArray program = HexToBytes(session.loader().CurrentList().first());
    session.exchange().sendBytes(program, false);
    session.exchange().CollectAnswerText(uploadStatusAnswer(int(program.size())));
    session.chooseEffect(effect);
    session.openedLink(false);
    session.pedalState().effectAnswered({1, 1, effect}, 5);
    driver.pedal().onFrameLogged = [&](const QString &) { driver.pedal().clearFrameLog(); };
    SettingsModel &model = session.settings();
    UndoStack &stack = session.undoStack();
    const int rows = model.rows().count();
    const int pots = model.rows().NumPots();
    std::printf("%s: %d rows, %d pots\n", qPrintable(effect), rows, pots);
    if (rows != 24 || pots < 2)
        return 1;

    // Moves of two pots in turn: each its own step.
    const int steps = bench::amount(4000, 2);
    double before = heapBytes();
    for (int i = 0; i < steps; ++i)
        setRowValue(session, i % 2, 1 + (i * 37) % 1000);
    const double perMove = (heapBytes() - before) / steps;
    if (stack.count() != steps) {
        std::printf("%d moves made %d steps\n", steps, stack.count());
        return 1;
    }
    stack.clear();

    // Every row changed at once, as by a load.
    const int loads = bench::amount(1000, 2);
    before = heapBytes();
    for (int i = 0; i < loads; ++i) {
        UndoStack::Record record(stack, StepKind::Configuration);
        for (int p = 0; p < rows; ++p) {
            const RowKind kind = model.rows().kind(p);
            const int value = kind == RowKind::Pot ? (i * 53 + p) % 1024 : kind == RowKind::Switch ? i % 2 : i % 2;
            setRowValue(session, p, value);
        }
    }
    const double perLoad = (heapBytes() - before) / loads;
    if (stack.count() != loads) {
        std::printf("%d loads made %d steps\n", loads, stack.count());
        return 1;
    }
    stack.clear();
    std::printf("one step: %.0f bytes for a move of one pot, %.0f bytes for all %d rows changed\n", perMove, perLoad,
                rows);
    bench::result("undo step, one pot moved", perMove, "B");
    bench::result("undo step, 24 rows changed", perLoad, "B");

    // The time of a move with its step recorded, next to the same move with recording held off.
    const int moves = bench::amount(20000, 2);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < moves; ++i)
        setRowValue(session, i % 2, (i * 37) % 1024);
    const double recorded = double(timer.nsecsElapsed()) / 1000.0 / moves;
    stack.clear();
    timer.restart();
    {
        UndoStack::Applying off(stack);
        for (int i = 0; i < moves; ++i)
            setRowValue(session, i % 2, (i * 37 + 1) % 1024);
    }
    const double plain = double(timer.nsecsElapsed()) / 1000.0 / moves;
    std::printf("a move: %.2f us with its step recorded, %.2f us without\n", recorded, plain);
    bench::result("move with its undo step", recorded, "us", plain, "the move unrecorded");
    return 0;
}
