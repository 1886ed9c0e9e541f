#pragma once

#include "firmware/bootloaderprotocol.h"

#include <QByteArray>
#include <chrono>
#include <functional>
#include <optional>

namespace tovel {

class Clock;
class Console;
class D2XXUnit;
class Pacing;

// One answer of the bootloader, as the wait for it ended.
struct BootloaderAnswer {
    enum class Outcome {
        Ack,
        Nack,
        Unexpected, // a byte that is neither ACK, NACK nor busy
        NoAnswer,   // nothing decisive within the time-out
        LinkLost,   // a driver call failed: the bridge has gone or the device was closed
        Cancelled,  // the user stopped the run while it waited
    };

    Outcome outcome = Outcome::NoAnswer;
    QByteArray received; // every byte read for this answer, busy bytes included

    bool ok() const { return outcome == Outcome::Ack; }
};

// The bytes to and from the controller's bootloader, through D2XXUnit. Every wait turns the
// event loop through Pacing and ends at its time-out on the Clock, so a silent bootloader
// never holds the editor; 0x76 (busy) keeps the wait going until the same time-out.
class BootloaderLink {
public:
    BootloaderLink(D2XXUnit &usb, Pacing &pacing, const Clock &clock, Console &console)
        : m_usb(usb), m_pacing(pacing), m_clock(clock), m_console(console) {}

    // Fast transfer: every frame in one write, no sleeps. Off: the paced way.
    void setFast(bool fast) { m_fast = fast; }
    bool fast() const { return m_fast; }

    // Drops what the receive queue holds, so that nothing stale is taken for the next
    // command's answer. False when the link failed.
    bool startCommand();
    // Sends the bytes as the frame kind says. False when a write failed.
    bool send(const QByteArray &bytes, bootloader::Frame frame);
    // Waits for the answer to the frame and traces it: "num of bytes received: ", "received: "
    // with the deciding byte, then "ACK" or "NOT ACK". Bytes after the deciding one are
    // dropped, unless data follows the answer (a read). cancelWhen waits for this answer
    // (within its time-out); requestCancel and stopWhen end the wait at once.
    // timeout: the frame's own when zero.
    BootloaderAnswer ReadBootloaderAnswer(bootloader::Frame frame, bool dataFollows = false,
                                          std::chrono::milliseconds timeout = {});
    // The count bytes that follow an acknowledged read, within the time-out.
    BootloaderAnswer readData(int count, std::chrono::milliseconds timeout, QByteArray &data);
    // Reads until the line has been quiet for `quiet` (at most `limit` in all); returns the bytes.
    // quiet, when given: whether the line fell quiet.
    QByteArray drainUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit,
                               bool *fellQuiet = nullptr);

    // Brings a bootloader that stopped anywhere inside a command or frame back to the start of
    // a command, then greets it: Ack when a bootloader that was waiting for its sync byte took
    // it, Nack when one in its command loop refused the greeting, having refused the filler
    // before it; anything else (NoAnswer for a line that stays silent or answers out of turn,
    // Unexpected, LinkLost, Cancelled) leaves it out of step.
    BootloaderAnswer resync();
    // Connect's fallback when the greeting was not acknowledged: a bootloader that an earlier
    // connection left in its command loop (the editor closed during a run, a crash, another
    // client) takes the sync byte for a command byte and never acknowledges it again. Says in
    // the console what it does and how that ended. True when the bootloader is in step.
    bool recoverAfterGreeting();

    // Asked from a window handler while a wait turns the event loop: the wait ends Cancelled at
    // once (the player is not kept waiting for a long erase), and nothing more is sent.
    void requestCancel() { m_cancel = true; }
    void clearCancel() { m_cancel = false; }
    bool cancelRequested() const { return (cancelWhen && cancelWhen()) || stopRequested(); }
    // Asked on every turn of a wait: true stops the run once the answer to the frame on its way
    // has come (within that answer's time-out), so that the bootloader is left in its command
    // loop for whoever greets it next (Ctrl-C on the command line, which ends the program).
    std::function<bool()> cancelWhen;
    // Asked on every turn of a wait: true ends any wait Cancelled at once (the program closing).
    std::function<bool()> stopWhen;
    bool stopRequested() const { return m_cancel || (stopWhen && stopWhen()); }

    // Bytes of 0xFF that end any frame the bootloader may be in the middle of: the longest,
    // a data frame, is a count, 256 bytes and a checksum.
    static constexpr int kResyncBytes = 260;

    D2XXUnit &usb() { return m_usb; }
    Pacing &pacing() { return m_pacing; }
    Console &console() { return m_console; }

private:
    // What a wait is for: a short answer that decides the exchange, or part of a stream.
    enum class Arrival { Answer, Stream };
    static constexpr int kWaitSliceMs = 2;
    static constexpr qint64 kTurnUs = 10000;
    static constexpr int kPullsPerTurn = 4;
    bool write(const QByteArray &bytes);
    // One turn: what the driver holds into m_pending, and events when it is the window's
    // turn. False when the link failed.
    bool pull(Arrival arrival);
    // Events, then the queue looked at again. False when the link failed.
    bool turn();
    // One turn of a wait: how it ends (stopped by the user, out of time, the link gone), or
    // nothing when it goes on; new bytes are in m_pending.
    // A wait ends at once on stopRequested(); the bytes it awaits answer a frame already sent,
    // which cancelWhen waits for.
    std::optional<BootloaderAnswer::Outcome> waitTurn(qint64 end, Arrival arrival);
    qint64 deadline(std::chrono::milliseconds timeout) const;

    D2XXUnit &m_usb;
    Pacing &m_pacing;
    const Clock &m_clock;
    Console &m_console;
    bool m_fast = false;
    bool m_cancel = false;
    qint64 m_lastTurnUs = 0; // when the window last had its turn
    int m_pullsSinceTurn = 0;
    QByteArray m_pending; // read from the driver, not yet taken
};

} // namespace tovel
