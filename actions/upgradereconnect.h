#pragma once

#include "actions/firmwareactions.h"
#include "core/actionfailure.h"

#include <QString>
#include <chrono>
#include <functional>

namespace tovel {

class EditorSession;

// How long the editor waits for the pedal to start its new firmware and answer: the board
// restarts, and a bridge that re-enumerates needs its tty back from udev.
constexpr std::chrono::milliseconds kRestartWait{10000};
// The first look comes after this: a bridge that leaves the bus on GO has left by then.
constexpr std::chrono::milliseconds kRestartFirstLook{500};
// Between two looks.
constexpr std::chrono::milliseconds kRestartRetry{250};

struct UpgradeRestart {
    int firmwareVersion = 0; // as the pedal reported it
    QString message;         // "Firmware 5 is running."
};

struct RestartHooks {
    // The link to the bootloader is closed and Upgrade Mode is off; the pedal restarts now.
    // The upgrade's completion message goes here.
    std::function<void()> onBootloaderClosed;
    // What the wait is doing, for a progress text.
    std::function<void(const QString &text)> onProgress;
};

// After an upgrade's GO: closes the link to the bootloader, leaves Upgrade Mode, waits (at most
// kRestartWait) for the pedal's bridge to be listed again, connects in normal mode and asks the
// effect query. The pedal leaving the bus meanwhile is expected, not a loss to report. A failure
// says what happened, and its advice how to connect again: the pedal did not come back in time
// (ReconnectPedal), or came back without telling its firmware (AskFirmwareAgain; the link stays
// open, and what the query met follows the first paragraph).
ActionResult<UpgradeRestart> reconnectAfterUpgrade(EditorSession &session, const RestartHooks &hooks = {});

struct UpgradeHooks {
    // The run holds the link (flashFirmware's onStarted).
    std::function<void()> onStarted;
    // Asked before anything goes to the pedal (flashFirmware's confirm).
    std::function<bool(const QString &question)> confirm;
    // The flash has ended, written or not; the restart follows when it was written.
    std::function<void(const ActionResult<FirmwareFlash> &flash)> onFlashed;
    RestartHooks restart;
};

struct FirmwareUpgradeRun {
    FirmwareFlash flash;
    bool flashed = false;   // the image is in and the controller was told to start it
    UpgradeRestart restart; // the firmware that reported back
};
// The player's firmware upgrade: flashFirmware, then reconnectAfterUpgrade once the controller
// runs the new firmware. A failure with flashed false is the flash's; with flashed true, the
// restart's.
ActionResult<FirmwareUpgradeRun> upgradeFirmware(EditorSession &session, const FirmwareChoice &choice,
                                                 const UpgradeOptions &options, const UpgradeHooks &hooks = {});

} // namespace tovel
