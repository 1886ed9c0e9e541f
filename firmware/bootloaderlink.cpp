#include "firmware/bootloaderlink.h"

#include "core/clock.h"
#include "core/seams.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

namespace tovel {

using namespace bootloader;
using Outcome = BootloaderAnswer::Outcome;

qint64 BootloaderLink::deadline(std::chrono::milliseconds timeout) const
{
    return m_clock.nowUs() + qint64(timeout.count()) * 1000;
}

bool BootloaderLink::write(const QByteArray &bytes)
{
    const quint32 count = m_usb.putTransmitBytes(bytes);
    return m_usb.WriteFTBuffer(count) == count;
}

bool BootloaderLink::send(const QByteArray &bytes, Frame frame)
{
    const FrameInfo &info = frameInfo(frame);
    // Bytes with no pause between them leave in one write: the line carries them back to back
    // either way, and a write a byte cost more than a byte's wire time on a loaded machine.
    if (m_fast || info.oneWrite || (info.sleepBeforeEachByteMs <= 0 && info.sleepAfterEachByteMs <= 0)) {
        if (!write(bytes))
            return false;
        if (!m_fast && info.sleepAfterFrameMs > 0)
            m_pacing.sleepMs(info.sleepAfterFrameMs);
        return true;
    }
    const auto sleep = [this](int ms) {
        if (ms > 0)
            m_pacing.sleepMs(ms);
    };
    for (char byte : bytes) {
        sleep(info.sleepBeforeEachByteMs);
        if (!write(QByteArray(1, byte)))
            return false;
        sleep(info.sleepAfterEachByteMs);
    }
    sleep(info.sleepAfterFrameMs);
    return true;
}

bool BootloaderLink::startCommand()
{
    m_pending.clear();
    return m_usb.PurgeFTReceive() == 0;
}

bool BootloaderLink::pull(Arrival arrival)
{
    // The window has its turn while the line is quiet, and otherwise whenever one is due (by
    // time, or after a few looks without one, as against a pedal that answers at once). A
    // turn that is due is taken before looking for an answer, while the frame is still on
    // its way; never between an answer that has come and the next frame. In a stream of
    // data a late look costs nothing, as more bytes are still to come.
    const bool due = ++m_pullsSinceTurn >= kPullsPerTurn || m_clock.nowUs() - m_lastTurnUs >= kTurnUs;
    if (due && arrival == Arrival::Answer && !turn())
        return false;
    if (m_usb.WaitFTData(kWaitSliceMs) != 0 || m_usb.GetFTQueueStatus() != 0)
        return false;
    if ((m_usb.state.QueuedBytes == 0 || (due && arrival == Arrival::Stream)) && !turn())
        return false;
    if (m_usb.state.QueuedBytes > 0) {
        const quint32 n = m_usb.ReadFTQueue();
        m_pending.append(m_usb.receivedBytes(n));
    }
    return true;
}

bool BootloaderLink::turn()
{
    m_pacing.processEvents();
    m_lastTurnUs = m_clock.nowUs();
    m_pullsSinceTurn = 0;
    return m_usb.GetFTQueueStatus() == 0;
}

BootloaderAnswer BootloaderLink::ReadBootloaderAnswer(Frame frame, bool dataFollows,
                                                      std::chrono::milliseconds timeout)
{
    BootloaderAnswer answer;
    const qint64 end = deadline(timeout.count() > 0 ? timeout : frameInfo(frame).answerTimeout);
    bool decided = false;
    QByteArray deciding;
    while (!decided) {
        while (!m_pending.isEmpty()) {
            const quint8 byte = quint8(m_pending.front());
            m_pending.remove(0, 1);
            answer.received.append(char(byte));
            if (byte == kBusy) {
                m_console.appendConsoleLine(QStringLiteral("received: 76"));
                m_console.appendConsoleLine(QStringLiteral("BUSY"));
                continue;
            }
            answer.outcome = byte == kAck ? Outcome::Ack : byte == kNack ? Outcome::Nack : Outcome::Unexpected;
            deciding.append(char(byte));
            decided = true;
            break;
        }
        if (decided)
            break;
        if (const std::optional<Outcome> stop = waitTurn(end, Arrival::Answer)) {
            answer.outcome = *stop;
            break;
        }
    }

    // Whatever came with the deciding byte belongs to no question: it is counted and dropped.
    if (decided && !dataFollows && answer.outcome != Outcome::LinkLost) {
        if (m_usb.GetFTQueueStatus() == 0 && m_usb.state.QueuedBytes > 0)
            m_pending.append(m_usb.receivedBytes(m_usb.ReadFTQueue()));
        answer.received.append(m_pending);
        m_pending.clear();
        if (m_usb.PurgeFTReceive() != 0)
            answer.outcome = Outcome::LinkLost;
    }

    m_console.printToConsole(QStringLiteral("num of bytes received: %1").arg(answer.received.size()));
    m_console.appendConsoleLine(QStringLiteral("received: ") + bytesToHex(deciding));
    if (decided && quint8(deciding.at(0)) == kAck)
        m_console.appendConsoleLine(QStringLiteral("ACK"));
    else if (decided && quint8(deciding.at(0)) == kNack)
        m_console.appendConsoleLine(QStringLiteral("NOT ACK"));
    return answer;
}

std::optional<BootloaderAnswer::Outcome> BootloaderLink::waitTurn(qint64 end, Arrival arrival)
{
    // A frame on its way is answered before cancelWhen takes effect: stopped between the frame
    // and its answer, the bootloader would acknowledge into the next client's greeting.
    if (stopRequested())
        return Outcome::Cancelled;
    // Past the deadline the queue is looked at once more: a wait that was itself held up (a
    // loaded machine, a long repaint) must not give up on an answer that came meanwhile.
    const bool late = m_clock.nowUs() >= end;
    const qsizetype before = m_pending.size();
    if (!pull(arrival))
        return Outcome::LinkLost;
    if (late && m_pending.size() == before)
        return Outcome::NoAnswer;
    return std::nullopt;
}

BootloaderAnswer BootloaderLink::readData(int count, std::chrono::milliseconds timeout, QByteArray &data)
{
    BootloaderAnswer answer;
    const qint64 end = deadline(timeout);
    for (;;) {
        if (m_pending.size() >= count) {
            data = m_pending.left(count);
            m_pending.remove(0, count);
            answer.outcome = Outcome::Ack;
            break;
        }
        if (const std::optional<Outcome> stop = waitTurn(end, Arrival::Stream)) {
            answer.outcome = *stop;
            break;
        }
    }
    answer.received = answer.ok() ? data : m_pending;
    return answer;
}

QByteArray BootloaderLink::drainUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit,
                                          bool *fellQuiet)
{
    const qint64 end = deadline(limit);
    qint64 quietEnd = deadline(quiet);
    QByteArray bytes;
    bool pulled = true;
    while (m_clock.nowUs() < quietEnd && m_clock.nowUs() < end && !cancelRequested()) {
        const qsizetype before = m_pending.size();
        if (!(pulled = pull(Arrival::Stream)))
            break;
        if (m_pending.size() > before)
            quietEnd = deadline(quiet);
        bytes.append(m_pending);
        m_pending.clear();
    }
    if (fellQuiet)
        *fellQuiet = pulled && m_clock.nowUs() >= quietEnd && !cancelRequested();
    return bytes;
}

BootloaderAnswer BootloaderLink::resync()
{
    // 0xFF bytes end any frame without harm: an address or count of FF never checks, and a
    // data frame of FF writes nothing into flash. A bootloader in its command loop refuses
    // the pairs FF FF that follow, so something comes back; one waiting for its sync byte
    // ignores them all. Then the sync byte: the latter acknowledges it, the former refuses it
    // (paired with an FF left over, or with one more FF after it).
    m_console.appendConsoleLine(QStringLiteral("Start Resync"));
    if (!startCommand() || !send(QByteArray(kResyncBytes, char(0xFF)), Frame::Resync))
        return {Outcome::LinkLost, {}};
    // Quiet for 300 ms: a refusal that a busy computer delays past a shorter pause would be
    // read as the answer to the sync byte.
    const QByteArray came = drainUntilQuiet(std::chrono::milliseconds(300), std::chrono::milliseconds(3000));
    m_console.printToConsole(QStringLiteral("resync: %1 came back").arg(byteCount(came.size())));
    if (!startCommand() || !send(QByteArray(1, char(kSync)), Frame::Resync))
        return {Outcome::LinkLost, {}};
    // Nothing answered the filler: only a bootloader waiting for its sync byte may be there,
    // and it answers at once.
    const std::chrono::milliseconds wait = came.isEmpty() ? kGreetingTimeout : std::chrono::milliseconds(0);
    BootloaderAnswer answer = ReadBootloaderAnswer(Frame::Resync, false, wait);
    // A sync byte paired with a filler byte left over is refused only with one more byte.
    if (answer.outcome == Outcome::NoAnswer && !came.isEmpty()) {
        if (!send(QByteArray(1, char(0xFF)), Frame::Resync))
            return {Outcome::LinkLost, {}};
        answer = ReadBootloaderAnswer(Frame::Resync, false, wait);
        if (answer.outcome == Outcome::Ack) // a pair 7F FF is no command
            answer.outcome = Outcome::Unexpected;
    }
    // A refusal counts only from a bootloader that refused the filler too: a line that says
    // 1F to the sync byte alone is no bootloader in its command loop.
    if (answer.outcome == Outcome::Nack && came.isEmpty())
        answer.outcome = Outcome::Unexpected;
    return answer;
}

bool BootloaderLink::recoverAfterGreeting()
{
    m_console.printToConsole(QStringLiteral("greeting not acknowledged: bringing the bootloader back in step"));
    const BootloaderAnswer answer = resync();
    if (answer.outcome == Outcome::Ack || answer.outcome == Outcome::Nack) {
        m_console.printToConsole(answer.outcome == Outcome::Ack
                                     ? QStringLiteral("bootloader in step: it took the greeting")
                                     : QStringLiteral("bootloader in step: it was left in its command loop"));
        return true;
    }
    m_console.printToConsole(QStringLiteral("bootloader not in step (received: %1)")
                                 .arg(bytesText(answer.received)));
    return false;
}

} // namespace tovel
