// One slider change of the parameter window, end to end: the change event, the level, the
// ParameterValue hex text, the console trace and the 7-byte write to the driver (the in-process
// virtual pedal, which parses every frame). Prints microseconds per change.
// Also a 24-row state read-back applied to the window: the answer parsed, then the levels, the
// assignments, the reverse boxes and the limits set on the rows, with the levels that changed
// sent back to the pedal (two answers taken in turn, so that every row changes each time).
// With --grab FILE it instead moves a few rows, as a user would, and saves a picture of the window.
#include "bench/benchresult.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "app/console/tformprint.h"
#include "core/clock.h"
#include "actions/pedalactions.h"
#include "session/editorsession.h"
#include "tests/support/testseams.h"
#include "core/pacing.h"
#include "core/seams.h"
#include "params/paramtables.h"
#include "protocol/effectquery.h"
#include "protocol/stateblock.h"
#include "app/tformfxparameters.h"
#include "app/toggleswitch.h"
#include "pedal/virtualpedal.h"
#include "pedal/virtualpedaldriver.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QSlider>
#include <cstdio>


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    using namespace tovel;
    bench::PrintingPrompts prompts;
    VirtualClock clock;
    VirtualPacing pacing(clock);
    pedal::VirtualPedalDriver driver({}, clock);
    tovel::test::TempFolders folders;
    EditorSession session(prompts, pacing, folders, driver, clock);
    TformPrint console(session.trace());
    D2XXUnit &usb = session.usb;
    ParamTables &tables = session.params;
    CommandExchange &exchange = session.exchange();
    CatalogueLoader &loader = session.loader();
    TformFXParameters window(session);

    const QString effect = QStringLiteral("Arp Sequencer");
    usb.Open_USB_Device_By_Serial_Number(QStringLiteral("ZT000001"));
    loader.LoadListResource(EffectResourceName(effect));
    const QByteArray program = HexToBytes(loader.CurrentList().first());
    exchange.sendBytes(program, false);
    exchange.CollectAnswerText(uploadStatusAnswer(int(program.size())));
    session.pedal.PedalEffectName = effect;
    session.chooseEffect(effect);
    QWidget main;
    window.openBeside(main, effect);
    // The rows as after Open FX and Request: the pedal said it runs the effect, its settings read.
    session.openedLink(false);
    session.pedalState().effectAnswered({1, 1, effect}, 5);
    session.setRowsRead(true);
    driver.pedal().clearFrameLog();
    driver.pedal().onFrameLogged = [&](const QString &) { driver.pedal().clearFrameLog(); };

    if (const qsizetype at = QApplication::arguments().indexOf(QStringLiteral("--grab")); at > 0) {
        session.settings().setPedalControl(0, 1);
        for (int p = 0; p < 10; ++p)
            window.trkPot[p]->setValue(100 * p + 80);
        window.swSwitch[11]->click();
        window.swSwitch[12]->click();
        window.cmbMultiSwitch[22]->setCurrentIndex(2);
        window.cmbMultiSwitch[23]->setCurrentIndex(15);
        QApplication::processEvents();
        const QString file = QApplication::arguments().value(at + 1);
        const bool saved = window.grab().save(file);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
        return saved ? 0 : 1;
    }

    // The pedal's own state answer for the 24 rows, and the same with every level moved.
    const int rows = window.NumParams();
    const QByteArray pedalAnswer =
        exchange.ask(CommandCode::StateRequest, stateRequestCommand(rows), stateRequestAnswer(rows)).bytes;
    QList<quint8> moved = ParseParameterAnswer(pedalAnswer);
    for (int p = 0; p < rows && 4 * p + 3 < moved.size(); ++p) {
        const quint32 level = quint32((p * 37 + 500) % 1024) << 13;
        for (int k = 0; k < 4; ++k)
            moved[4 * p + k] = quint8(level >> (24 - 8 * k));
    }
    QByteArray movedAnswer;
    for (quint8 b : moved)
        movedAnswer += QByteArray::number(b) + "\r\n";
    const QByteArray answers[2] = {pedalAnswer, movedAnswer};
    const int kReadBacks = bench::amount(2000);
    QElapsedTimer readBack;
    readBack.start();
    for (int i = 0; i < kReadBacks; ++i) {
        const QList<quint8> bytes = ParseParameterAnswer(answers[i % 2]);
        applyStateAnswer(session, bytes);
        window.EnableDisableControls();
    }
    const double readBackUs = readBack.nsecsElapsed() / 1e3 / kReadBacks;
    std::printf("24-row state read-back (%lld-byte answer) parsed and applied to the window: %.1f us\n",
                qlonglong(pedalAnswer.size()), readBackUs);

    QSlider *slider = window.trkPot[0];
    const int kChanges = bench::amount(50000, 10);
    QList<double> hiddenUs;
    for (int round = 0; round < bench::amount(3); ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kChanges; ++i)
            slider->setValue((i % 1023) + 1 == slider->value() ? 0 : (i % 1023) + 1);
        const double us = t.nsecsElapsed() / 1e3 / kChanges;
        std::printf("slider change (level, hex, trace, write), hidden console: %.2f us\n", us);
        hiddenUs << us;
    }

    console.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kChanges; ++i)
        slider->setValue((i % 1023) + 1 == slider->value() ? 0 : (i % 1023) + 1);
    const double sendUs = t.nsecsElapsed() / 1e3 / kChanges;
    console.flush();
    QApplication::processEvents();
    const double allUs = t.nsecsElapsed() / 1e3 / kChanges;
    std::printf("slider change, console shown: %.2f us; with the console's flush and repaint: %.2f us\n",
                sendUs, allUs);
    tovel::bench::result("one slider change (console hidden)", tovel::bench::median(hiddenUs), "us");
    tovel::bench::result("one slider change (console shown, with its repaint)", allUs, "us");
    tovel::bench::result("24-row state read-back applied to the window", readBackUs, "us");
    std::printf("pedal level of row 0: %u (last value %d)\n",
                driver.pedal().firmware().settings().levels[0] >> 13, slider->value());
    return 0;
}
