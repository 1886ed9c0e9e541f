#pragma once

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
// says how to connect again: the pedal did not come back in time, or came back without telling
// its firmware (then the link stays open).
ActionResult<UpgradeRestart> reconnectAfterUpgrade(EditorSession &session, const RestartHooks &hooks = {});

} // namespace tovel
