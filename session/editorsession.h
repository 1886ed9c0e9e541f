#pragma once

#include "catalogue/catalogueloader.h"
#include "console/tracestore.h"
#include "core/actionfailure.h"
#include "firmware/bootloaderlink.h"
#include "firmware/firmwareupgrade.h"
#include "params/paramtables.h"
#include "params/settingsmodel.h"
#include "protocol/commandexchange.h"
#include "protocol/effectquery.h"
#include "protocol/pedalstate.h"
#include "session/listedbridge.h"
#include "session/undostack.h"
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

// What an action needs of the pedal before it sends anything.
enum class PedalNeed {
    EffectFirmware,       // a link to the effect firmware (the effect query: its own proof)
    EffectFirmwareInStep, // ... in step, checked first when it is not: every write, the state request
    Bootloader,           // a link to the controller's bootloader
};

// Everything the editor works with, constructible without any window: the USB unit and the
// exchange layer over it, the catalogue, the chosen effect, the pedal's state and facts, the
// prepared impulse response and the settings of the open effect. The windows and the command
// line act on it through the actions (actions/), and draw what it says.
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

    CatalogueLoader &loader() { return m_loader; }
    CommandExchange &exchange() { return *m_exchange; }
    // What listens on the line, in step or not, and what it said about itself.
    PedalState &pedalState() { return m_pedalState; }
    const PedalState &pedalState() const { return m_pedalState; }
    SettingsModel &settings() { return m_settings; }
    // The player's changes to the open rows, and the sets kept for Compare.
    UndoStack &undoStack() { return m_undo; }
    // The link to the controller's bootloader and the upgrade over it, kept across runs (a run
    // that failed leaves the next one to bring the bootloader back in step).
    BootloaderLink &bootloaderLink() { return *m_bootloaderLink; }
    FirmwareUpgrade &firmwareUpgrade() { return *m_firmwareUpgrade; }
    // Where every trace line goes: kept here for the console window (and the tests), written to
    // the session log, and handed on to an attached sink (standard error for tovel).
    Console &console() { return m_trace; }
    TraceStore &trace() { return m_trace; }
    void attachConsole(Console *sink) { m_trace.attach(sink); }

    // The effect `name` as a player chooses it: the category that lists it, then the effect,
    // and its rows opened; effectSelected says where it is listed, for the windows to show the
    // choice. False when no category lists the effect, or its rows did not load.
    bool selectEffect(const QString &name);
    // The effect `name` on row `row` of the list shown, chosen: the trace names it, then
    // chooseEffect.
    bool chooseListedEffect(int row, const QString &name);

    // The effect a click chose: its rows open in the settings model. False when its layout or
    // program did not load or read: settings().rows().problem says why.
    bool chooseEffect(const QString &name);
    // Opens the rows of the chosen effect in the settings model afresh, reading them from the
    // catalogue. False when its layout or program did not load or read (rows().problem).
    bool openRows();
    // The rows are no longer shown (their window closed): the model closes them.
    void closeRows();

    // A link to the pedal is open, to its effect firmware or to its bootloader.
    bool linkOpen() const;
    // A link was opened (to the bootloader in Upgrade Mode), or the open one closed, lost or
    // not: the pedal state starts afresh, and linkOpened or linkClosed is told.
    void openedLink(bool bootloader);
    void closedLink();
    // Upgrade Mode on or off, told to whoever shows it.
    void setFirmwareUpgradeMode(bool on);
    // Live Mode: the editor follows the pedal instead of driving it.
    bool LiveMode() const { return m_liveMode; }
    void setLiveMode(bool on);
    // The open rows hold the settings a state request read from the pedal's effect, in this
    // connection: Assign and Store have something to send.
    bool rowsRead() const { return m_rowsRead; }
    void setRowsRead(bool read);
    // The open rows are those of the effect the pedal runs, as the effect query told it in
    // this connection: a state request can be asked for them.
    bool rowsOnPedal() const;

    // Whether an action may run now, before it sends anything: nothing when it may, else a
    // failure in the player's words. Checks the line first where the need asks for it (the
    // effect query, asked until its answer comes whole with nothing before it). Runs inside
    // the action's own exchange, right before its command: one that awaits an answer has the
    // receive queue emptied first.
    enum class AnswerAwaited { No, Yes };
    std::optional<ActionFailure> require(PedalNeed need, const QString &step,
                                         AnswerAwaited answer = AnswerAwaited::No);
    // An action's exchange named `step`, begun with the firmware `need` speaks to, and then
    // require(need): scope holds the line while it lives; failure says why the action stops
    // before it sends anything of its own.
    struct Exchange {
        std::optional<CommandExchange::Scope> scope;
        std::optional<ActionFailure> failure;
    };
    Exchange beginExchange(PedalNeed need, const QString &step, AnswerAwaited answer = AnswerAwaited::No);
    // The effect query as the proof that the line is in step: asked, and asked again (at most
    // kProofQueries times, kProofReads waits in all) until its answer arrives whole with
    // nothing before it and nothing owed after it. Bytes before its known start are an earlier
    // answer's, dropped. The pedal state follows: in step with the facts learnt, the
    // bootloader found, or out of step. Runs inside the caller's exchange.
    ActionResult<EffectInfo> askEffect(const QString &step);
    static constexpr int kProofQueries = 2;
    static constexpr int kProofReads = 3;
    // The effect list's name for an effect number; empty for 0 or a number past the list.
    QString effectName(int number);
    // What the effect query told: the pedal's facts (PedalEffectNumber, PedalEffectVersion,
    // FirmwareVersion) and firmwareVersionReported.
    void rememberEffect(const EffectInfo &info);

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
    void liveModeChanged(bool on);
    void rowsReadChanged(bool read);
    // An effect was chosen (its rows opened, or not when they did not load).
    void effectChosen(const QString &name);
    // selectEffect chose the effect on row `row` of category `category`'s list; opened: its
    // rows opened.
    void effectSelected(int category, int row, bool opened);
    // The pedal said which firmware it runs.
    void firmwareVersionReported(int version);
    // Values the player set while the line was out of step were not sent: the line check
    // before them failed. message says why, in the player's words.
    void keptValuesDropped(const QString &message);

private:
    // Parameter values wait for the line: checked once the event loop has its turn.
    void checkLineForKeptValues();

    CatalogueLoader m_loader;
    TraceStore m_trace;
    SettingsModel m_settings;
    UndoStack m_undo{m_settings};
    PedalState m_pedalState;
    bool m_liveMode = false;
    bool m_rowsRead = false;
    bool m_lineCheckQueued = false;
    // Effect queries sent on this link whose answer has not begun to come.
    int m_owedQueryAnswers = 0;
    std::unique_ptr<CommandExchange> m_exchange;
    std::unique_ptr<BootloaderLink> m_bootloaderLink;
    std::unique_ptr<FirmwareUpgrade> m_firmwareUpgrade;
    bool m_lossExpected = false;
    bool m_restarting = false; // the controller was told to start its firmware over the open link
};

} // namespace tovel
