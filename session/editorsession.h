#pragma once

#include "catalogue/catalogueloader.h"
#include "firmware/bootloaderlink.h"
#include "firmware/firmwareupgrade.h"
#include "params/paramtables.h"
#include "params/settingsmodel.h"
#include "protocol/commandexchange.h"
#include "session/consolerelay.h"
#include "session/listedbridge.h"
#include "usb/d2xxunit.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace tovel {

class Clock;
class Folders;
class FtDriver;
class Pacing;
class Prompts;
class ResourceIndex;

// The bridge Connect opens: the last one listed by start-up or Scan.
struct LinkState {
    QString ListedSerialNumber;
    QString ListedDeviceName;
    bool FirmwareUpgradeMode = false; // Connect greets the controller's bootloader
};

// The effect the player has chosen.
struct Selection {
    QString SelectedCategory;   // caption of the category chosen last
    QString SelectedEffectName; // display name of the chosen effect
    bool EffectOnPedal = false; // the chosen effect is the one the pedal reported
};

// What the pedal has said about itself.
struct PedalFacts {
    int PedalEffectNumber = 0;
    int PedalEffectVersion = 0;
    int FirmwareVersion = 0;
    QString PedalEffectName;     // display name of the effect the pedal reported
    QList<quint8> ReceivedBytes; // the numbers of the last state answer, one byte each
};

// The impulse-response program prepared last, which the next upload of its effect sends.
struct IrProgram {
    QString IrProgramText;
    QString IrProgramEffect;
};

// Everything the editor works with, constructible without any window: the USB unit and the
// exchange layer over it, the catalogue, the chosen effect, the pedal's facts, the prepared
// impulse response and the settings of the open effect. The windows and the command line act
// on it through the actions (actions/).
class EditorSession : public QObject {
    Q_OBJECT

public:
    // index: the catalogue's resources; the embedded catalogue by default.
    EditorSession(Prompts &prompts, Pacing &pacing, Folders &folders, FtDriver &driver, const Clock &clock,
                  const ResourceIndex *index = nullptr);
    ~EditorSession() override;

    Prompts &prompts;
    Pacing &pacing;
    Folders &folders;
    const Clock &clock; // time as the pedal link sees it: time-outs are measured on it
    D2XXUnit usb;
    ParamTables params; // assignments and limits, for the whole run
    LinkState link;
    Selection selection;
    PedalFacts pedal;
    IrProgram ir;
    bool LiveMode = false; // follow the pedal instead of driving it

    CatalogueLoader &loader() { return m_loader; }
    CommandExchange &exchange() { return *m_exchange; }
    SettingsModel &settings() { return m_settings; }
    // The link to the controller's bootloader and the upgrade over it, kept across runs (a run
    // that failed leaves the next one to bring the bootloader back in step).
    BootloaderLink &bootloaderLink() { return *m_bootloaderLink; }
    FirmwareUpgrade &firmwareUpgrade() { return *m_firmwareUpgrade; }
    // Where every trace line goes: the console window, standard error, nowhere.
    Console &console() { return m_console; }
    void attachConsole(Console *sink) { m_console.attach(sink); }

    // The effect `name` as a player chooses it: the category that lists it, then the effect,
    // and its rows opened. With windows attached (onChooseInWindows) they show the choice as
    // the player's two clicks would. False when no category lists the effect.
    bool selectEffect(const QString &name);
    // The windows' way of showing a choice: click category `category`, then row `row` of its
    // list. Without it, selectEffect chooses and opens the rows itself.
    std::function<void(int category, int row)> onChooseInWindows;

    // The effect a click chose (its rows are opened by whoever shows them).
    void chooseEffect(const QString &name);
    // Opens the rows of the chosen effect in the settings model, reading them from the
    // catalogue. False when its layout or program did not load (the loader has said why).
    bool openRows();

    // A link to the pedal is open, to its effect firmware or to its bootloader.
    bool linkOpen() const;
    // Upgrade Mode on or off, told to whoever shows it.
    void setFirmwareUpgradeMode(bool on);

    // While expected, the loss of the open bridge is for the one who expects it (the pedal
    // restarting after an upgrade takes its bridge off the bus): no deviceLost. They find it
    // in usb.state.DeviceLost.
    void expectLoss(bool expected) { m_lossExpected = expected; }

signals:
    // The bridge has gone while open: one call per loss.
    void deviceLost();
    // A link was opened (bootloader: in Upgrade Mode, to the controller's bootloader), or the
    // open one closed, lost or not.
    void linkOpened(bool bootloader);
    void linkClosed();
    // The bridges were listed anew without Scan (a bridge plugged in or pulled out, the pedal
    // back after an upgrade); the last one is now the one Connect opens.
    void bridgesListed(const QList<tovel::ListedBridge> &bridges);
    void firmwareUpgradeModeChanged(bool on);
    // The pedal said which firmware it runs.
    void firmwareVersionReported(int version);

private:
    CatalogueLoader m_loader;
    ConsoleRelay m_console;
    SettingsModel m_settings;
    std::unique_ptr<CommandExchange> m_exchange;
    std::unique_ptr<BootloaderLink> m_bootloaderLink;
    std::unique_ptr<FirmwareUpgrade> m_firmwareUpgrade;
    bool m_lossExpected = false;
    bool m_restarting = false; // the controller was told to start its firmware over the open link
};

} // namespace tovel
