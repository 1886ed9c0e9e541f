// One slider change of the parameter window, end to end: the change event, the level, the
// ParameterValue hex text, the console trace and the 7-byte write to the driver (the in-process
// virtual pedal, which parses every frame). Prints microseconds per change.
// With --grab FILE it instead moves a few rows, as a user would, and saves a picture of the window.
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "console/tformprint.h"
#include "core/clock.h"
#include "core/mainstate.h"
#include "core/pacing.h"
#include "core/seams.h"
#include "params/paramtables.h"
#include "params/tformfxparameters.h"
#include "params/toggleswitch.h"
#include "pedal/virtualpedal.h"
#include "pedal/virtualpedaldriver.h"
#include "protocol/commandexchange.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QSlider>
#include <cstdio>

namespace {

class PrintingPrompts : public tovel::Prompts {
public:
    void showMessage(const QString &text) override { std::printf("message: %s\n", qPrintable(text)); }
    Answer askYesNo(const QString &) override { return Answer::No; }
    QString openFile(const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &) override { return {}; }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    using namespace tovel;
    PrintingPrompts prompts;
    VirtualClock clock;
    VirtualPacing pacing(clock);
    pedal::VirtualPedalDriver driver({}, clock);
    D2XXUnit usb(driver, prompts);
    TformPrint console;
    MainState state;
    ParamTables tables;
    CommandExchange exchange(usb, pacing, clock, console, state);
    CatalogueLoader loader(prompts);
    TformFXParameters window(loader, state, tables, exchange, console, prompts);

    const QString effect = QStringLiteral("Arp Sequencer");
    usb.Open_USB_Device_By_Serial_Number(QStringLiteral("ZT000001"));
    loader.LoadListResource(EffectResourceName(effect));
    const QByteArray program = HexToBytes(loader.CurrentList().first());
    exchange.sendBytes(program, false);
    exchange.CollectAnswerText(uploadStatusAnswer(int(program.size())));
    state.SelectedEffectName = effect;
    state.EffectOnPedal = true;
    QWidget main;
    window.openBeside(main, effect);
    driver.pedal().clearFrameLog();
    driver.pedal().onFrameLogged = [&](const QString &) { driver.pedal().clearFrameLog(); };

    if (const qsizetype at = QApplication::arguments().indexOf(QStringLiteral("--grab")); at > 0) {
        tables.IsAssigned[0] = true;
        window.EnableDisableControls(true);
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

    QSlider *slider = window.trkPot[0];
    constexpr int kChanges = 50000;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kChanges; ++i)
            slider->setValue((i % 1023) + 1 == slider->value() ? 0 : (i % 1023) + 1);
        const double us = t.nsecsElapsed() / 1e3 / kChanges;
        std::printf("slider change (level, hex, trace, write), hidden console: %.2f us\n", us);
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
    std::printf("pedal level of row 0: %u (last value %d)\n",
                driver.pedal().firmware().settings().levels[0] >> 13, slider->value());
    return 0;
}
