#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tovel {

class Clock;
class Console;
class D2XXUnit;
class Pacing;
struct MainState;

// Sends commands from the start of TransmitBuffer and collects the pedal's answers. Every wait
// turns the event loop, so the windows stay usable while the pedal is silent; a wait ends only
// with a byte or a failing queue query (an unplugged or closed link).
class CommandExchange {
public:
    static constexpr int kTextPauseMs = 100;  // between reads of a text answer
    static constexpr int kBlockPauseMs = 10;  // between reads of the state block

    CommandExchange(D2XXUnit &usb, Pacing &pacing, const Clock &clock, Console &console,
                    const MainState &state)
        : m_usb(usb), m_pacing(pacing), m_clock(clock), m_console(console), m_state(state) {}

    // Converts the hex text into the start of TransmitBuffer (at most `length` bytes), purges
    // the transmit queue when asked, and writes `length` bytes in one piece.
    // Returns the number of bytes the text converted to.
    int sendHex(const QString &hex, int length, bool purgeTransmit);
    // Puts known bytes at the start of TransmitBuffer and writes them in one piece.
    void sendBytes(const QByteArray &bytes, bool purgeTransmit);

    // Turns the event loop until the driver holds at least one byte. False when the queue
    // query failed.
    bool waitForFirstByte();

    // A text answer: read until the link has been quiet for one 100 ms pause (in upgrade mode,
    // until the first read that finds nothing). Normal mode gives the bytes decoded as UTF-8;
    // upgrade mode gives the first byte as two hex digits ("79", "1F"). A failing queue query
    // leaves the answer unchanged.
    void CollectAnswerText(QString &answer);

    // The state block: every byte of this answer, in order, however many reads it took.
    // Nothing when the wait ended on a failing queue query.
    std::optional<QByteArray> CollectAnswerBlock();

private:
    QByteArray drain(int pauseMs);

    D2XXUnit &m_usb;
    Pacing &m_pacing;
    const Clock &m_clock;
    Console &m_console;
    const MainState &m_state;
};

} // namespace tovel
