#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

namespace tovel {

// Why a user action did not do what it was asked: what kind of trouble, at which step, what
// came from the pedal, and the message the windows show. An empty message means the trouble
// has been said already (the USB layer's message box, the catalogue's) or needs no word (the
// program is closing, another exchange runs).
struct ActionFailure {
    enum class Kind {
        Invalid,     // the request itself cannot be done: a row, a level, an effect unknown
        NoPedal,     // no link, or it went: not connected, the open failed, the bridge gone
        Refused,     // not now: another exchange runs, the link is to the other firmware, quitting
        PedalAnswer, // the pedal did not answer, or not in a way that can be read
        File,        // a file was refused or could not be written
        Upgrade,     // the firmware upgrade stopped
        Web,         // the maker's web site did not answer, or not with a version
    };

    // What the player can do about it, which each front end words for its own controls (the
    // firmware window's button, running the command again).
    enum class Advice {
        ByKind,              // what the kind suggests: the cable and power, the effect firmware
        None,                // the message says it, or there is nothing to do
        ReconnectBootloader, // the link went during an upgrade: connect to the bootloader again, retry
        ResetBootloader,     // the bootloader stopped answering: reset the pedal into it, reconnect, retry
        TryAgain,            // the upgrade can be run again as it is
        ReconnectPedal,      // the pedal did not come back after an upgrade: plug it in again, connect
        AskFirmwareAgain,    // connected after an upgrade, the firmware unsaid: ask the effect query again
        ConnectFirst,        // no pedal is connected: connect it
        FinishUpgrade,       // the pedal sits in its bootloader: connect to it there and upgrade
        LeaveUpgradeMode,    // the link is to the bootloader: connect again to the effect firmware
        EnterUpgradeMode,    // the link is to the effect firmware: start the bootloader, connect to it
        AskPedalEffect,      // the effect the pedal runs is not known: ask the pedal
    };

    Kind kind = Kind::Invalid;
    QString step;        // the step that failed: "effect query", "state request", ...
    QByteArray received; // what came from the pedal, when it counts
    QString message;
    Advice advice = Advice::ByKind;

    // The command line's exit status for this kind: 1 usage, 2 no pedal or link lost, 3 the
    // pedal did not answer or answered badly, 4 a file refused, 5 the firmware upgrade stopped,
    // 6 the web site did not tell the version.
    int exitStatus() const
    {
        switch (kind) {
        case Kind::Invalid:
            return 1;
        case Kind::NoPedal:
        case Kind::Refused:
            return 2;
        case Kind::PedalAnswer:
            return 3;
        case Kind::File:
            return 4;
        case Kind::Upgrade:
            return 5;
        case Kind::Web:
            return 6;
        }
        return 1;
    }
};

// The command line's exit statuses with their meaning: the one table that `tovel --help` shows
// and that its manual page and the README repeat (a test holds them to it).
struct ExitStatusText {
    int status;
    const char *meaning;
};
inline constexpr ExitStatusText kExitStatuses[] = {
    {0, "done"},
    {1, "usage: a command, option or value not understood, or a row, level or effect that does not exist"},
    {2, "no pedal, or the link to it was lost"},
    {3, "the pedal did not answer, or answered badly"},
    {4, "a file was refused, or could not be written"},
    {5, "the firmware upgrade stopped"},
    {6, "the maker's web site did not tell its version"},
};

// What an action gives back: its value, or why it did not run through. Some actions also keep
// what they learnt before they stopped in the value.
template <typename T>
struct ActionResult {
    std::optional<ActionFailure> failure;
    T value{};

    explicit operator bool() const { return !failure; }
    static ActionResult fail(ActionFailure::Kind kind, QString step, QString message, QByteArray received = {})
    {
        ActionResult r;
        r.failure = ActionFailure{kind, std::move(step), std::move(received), std::move(message)};
        return r;
    }
};

struct Done {};

} // namespace tovel
