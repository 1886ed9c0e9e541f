#include "protocol/commandexchange.h"

#include "core/clock.h"
#include "core/seams.h"
#include "protocol/commands.h"
#include "protocol/effectquery.h"
#include "protocol/effectupload.h"
#include "protocol/stateblock.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <algorithm>

namespace tovel {

namespace {

constexpr int kAnswerTimeoutMs = 3000;
constexpr int kBootloaderTimeoutMs = 1000;
// The state answer's numbers may come in pieces; a pause this long means they have stopped.
constexpr int kStateQuietGapMs = 500;
constexpr int kQueryLines = 4;
// "255\r\n": the longest number a state answer holds, with its line end.
constexpr int kLongestStateLine = 5;
constexpr int kBitsPerByte = 10; // start, 8 data, stop

// The length up to and including the n-th line end, 0 when fewer have come.
qsizetype throughLine(const QByteArray &bytes, int n)
{
    qsizetype at = -1;
    for (int i = 0; i < n; ++i) {
        at = bytes.indexOf('\n', at + 1);
        if (at < 0)
            return 0;
    }
    return at + 1;
}

bool onlyTextLines(const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n';
    });
}

bool onlyNumberLines(const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '\r' || c == '\n'; });
}

} // namespace

qsizetype throughNumberLine(const QByteArray &bytes, int n)
{
    int ends = 0;
    bool crLfAnswer = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        qsizetype end = i + 1;
        if (c == '\r') {
            if (i + 1 < bytes.size()) {
                if (bytes[i + 1] == '\n')
                    ++end;
            } else if (crLfAnswer) {
                return 0; // its LF is still on the way
            }
            if (ends == 0)
                crLfAnswer = end == i + 2;
        }
        if (++ends == n)
            return end;
        i = end - 1;
    }
    return 0;
}

AnswerRule effectQueryAnswer()
{
    AnswerRule rule;
    rule.what = QStringLiteral("effect query");
    rule.timeoutMs = kAnswerTimeoutMs;
    rule.wireBytes = 64;
    rule.maxBytes = 256;
    rule.wholeLength = [](const QByteArray &bytes) { return throughLine(bytes, kQueryLines); };
    rule.readable = onlyTextLines;
    rule.exact = true;
    rule.start = [](const QByteArray &bytes) {
        const QByteArray start(kEffectQueryStart);
        if (const qsizetype at = bytes.indexOf(start); at >= 0)
            return AnswerRule::Start{at, true};
        // The end of the bytes may be the beginning of the start: it stays.
        qsizetype keep = std::min(bytes.size(), start.size() - 1);
        while (keep > 0 && !bytes.endsWith(start.left(keep)))
            --keep;
        return AnswerRule::Start{bytes.size() - keep, false};
    };
    return rule;
}

AnswerRule stateRequestAnswer(int numParams)
{
    const int numbers = StateBlock::size(std::max(numParams, 0));
    AnswerRule rule;
    rule.what = QStringLiteral("state request");
    rule.timeoutMs = kAnswerTimeoutMs;
    rule.wireBytes = numbers * kLongestStateLine;
    rule.maxBytes = numbers * kLongestStateLine;
    rule.quietGapMs = kStateQuietGapMs;
    rule.wholeLength = [numbers](const QByteArray &bytes) { return throughNumberLine(bytes, numbers); };
    rule.readable = onlyNumberLines;
    rule.exact = true;
    return rule;
}

AnswerRule uploadStatusAnswer(int programBytes)
{
    AnswerRule rule;
    rule.what = QStringLiteral("upload");
    rule.timeoutMs = kAnswerTimeoutMs;
    rule.wireBytes = std::max(programBytes, 0) + kUploadStatusLength;
    rule.maxBytes = kUploadStatusLength;
    rule.wholeLength = [](const QByteArray &bytes) -> qsizetype {
        const qsizetype end = throughLine(bytes.left(kUploadStatusLength), 1);
        if (end > 0)
            return end;
        return bytes.size() >= kUploadStatusLength ? kUploadStatusLength : 0;
    };
    // An effect query's answer that came late is no status of an upload.
    rule.readable = [](const QByteArray &bytes) {
        return isUploadStatusText(bytes) && !bytes.startsWith(QByteArray(kEffectQueryStart));
    };
    return rule;
}

AnswerRule bootloaderAnswer()
{
    AnswerRule rule;
    rule.what = QStringLiteral("bootloader greeting");
    rule.timeoutMs = kBootloaderTimeoutMs;
    rule.wireBytes = 2;
    rule.maxBytes = 1;
    rule.wholeLength = [](const QByteArray &bytes) -> qsizetype { return bytes.isEmpty() ? 0 : 1; };
    rule.readable = [](const QByteArray &) { return true; }; // any byte but 0x79 is a refusal
    return rule;
}

CommandExchange::Scope::~Scope()
{
    if (m_exchange)
        m_exchange->end();
}

CommandExchange::CommandExchange(D2XXUnit &usb, Pacing &pacing, const Clock &clock, Console &console,
                                 PedalState &state)
    : m_usb(usb), m_pacing(pacing), m_clock(clock), m_console(console), m_state(state)
{
}

CommandExchange::Listener CommandExchange::linkListener() const
{
    return m_state.listener();
}

CommandExchange::~CommandExchange() = default;

std::optional<CommandExchange::Scope> CommandExchange::begin(const QString &what, Listener listener)
{
    m_refusal.clear();
    m_refusalAdvice = ActionFailure::Advice::None;
    if (m_quitting)
        return std::nullopt;
    if (busy()) {
        m_console.printToConsole(QStringLiteral("%1 not started: the %2 is still running")
                                     .arg(what, m_running));
        return std::nullopt;
    }
    // An effect's bytes reach a bootloader as commands of its own (one program holds a valid
    // GET), and a bootloader's frames mean nothing to the effect firmware.
    const Listener link = m_state.listener();
    if (link != Listener::None && listener != link) {
        const bool toBootloader = link == Listener::Bootloader;
        m_refusal = toBootloader
            ? QStringLiteral("The pedal is connected to its bootloader: the %1 speaks to the effect "
                             "firmware and was not sent.")
                  .arg(what)
            : QStringLiteral("The pedal is connected in its normal mode: the %1 speaks to the "
                             "controller's bootloader and was not started.")
                  .arg(what);
        m_refusalAdvice = toBootloader ? ActionFailure::Advice::LeaveUpgradeMode : ActionFailure::Advice::EnterUpgradeMode;
        m_console.printToConsole(QStringLiteral("%1 not started: the link is open to the %2")
                                     .arg(what, link == Listener::Bootloader
                                                    ? QStringLiteral("bootloader")
                                                    : QStringLiteral("effect firmware")));
        return std::nullopt;
    }
    m_running = what;
    emit busyChanged(true);
    return Scope(this);
}

void CommandExchange::end()
{
    m_running.clear();
    m_waiting = false;
    // What the user moved meanwhile goes now, the latest value of each parameter only, once
    // the line is in step; otherwise it waits for a line check.
    const bool waiting = !m_deferred.isEmpty() && !m_quitting && !m_state.inStep()
                         && m_state.listener() == Listener::EffectFirmware;
    if (!waiting) {
        const QList<Deferred> deferred = std::exchange(m_deferred, {});
        if (!m_quitting && m_state.listener() != Listener::Bootloader) {
            for (const Deferred &d : deferred) {
                m_console.printToConsole(QStringLiteral("data sent after the exchange: ") + bytesToHex(d.command));
                sendBytes(d.command, false);
            }
        }
    }
    emit busyChanged(false);
    if (waiting)
        emit proofWanted();
}

void CommandExchange::quit()
{
    m_quitting = true;
    m_deferred.clear();
}

bool CommandExchange::refuseReentry(const QString &command)
{
    if (m_quitting)
        return true;
    if (!m_waiting)
        return false;
    m_console.printToConsole(QStringLiteral("not sent while the %1 waits for its answer: %2")
                                 .arg(m_running, command));
    return true;
}

bool CommandExchange::linkLost() const
{
    return m_usb.state.DeviceLost;
}

bool CommandExchange::dropStaleBytes()
{
    if (m_quitting)
        return false;
    if (m_usb.GetFTQueueStatus() != 0)
        return !linkLost();
    if (m_usb.state.QueuedBytes > 0) {
        const quint32 dropped = m_usb.ReadFTQueue();
        m_console.printToConsole(QStringLiteral("dropped %1 stale bytes from an earlier answer")
                                     .arg(dropped));
        if (dropped > 0 && m_state.kind() == PedalState::Kind::EffectFirmware)
            m_state.lostStep(QStringLiteral("bytes came that no command asked for"));
    }
    m_usb.PurgeFTReceive();
    return !linkLost();
}

bool CommandExchange::noticeUnaskedBytes()
{
    if (m_usb.GetFTQueueStatus() != 0)
        return false;
    if (m_usb.state.QueuedBytes > 0 && m_state.kind() == PedalState::Kind::EffectFirmware) {
        m_console.printToConsole(QStringLiteral("%1 bytes came that no command asked for").arg(m_usb.state.QueuedBytes));
        m_state.lostStep(QStringLiteral("bytes came that no command asked for"));
    }
    return true;
}

bool CommandExchange::sendBytes(const QByteArray &bytes, bool purgeTransmit)
{
    if (refuseReentry(bytesToHex(bytes.left(8))))
        return false;
    const quint32 count = m_usb.putTransmitBytes(bytes);
    if (purgeTransmit)
        m_usb.PurgeFTTransmit();
    m_usb.WriteFTBuffer(count);
    return !linkLost();
}

bool CommandExchange::sendParameterValue(quint16 address, int level)
{
    if (m_quitting)
        return false;
    const QByteArray command = parameterValueCommand(address, level);
    const QString hex = bytesToHex(command);
    if (m_state.listener() == Listener::Bootloader) {
        m_console.printToConsole(QStringLiteral("not sent to the bootloader: ") + hex);
        return false;
    }
    // A line that has gone out of step gets no value before it has been checked: an effect
    // that changed meanwhile would take the level at another parameter's address. Without a
    // link the USB layer says that there is none.
    const bool none = m_state.listener() == Listener::None;
    if (!busy() && (none || (noticeUnaskedBytes() && m_state.inStep()))) {
        sendBytes(command, false);
        return true;
    }
    // A newer value of the same parameter replaces the kept one.
    auto it = std::find_if(m_deferred.begin(), m_deferred.end(),
                           [&](const Deferred &d) { return d.address == address; });
    if (it != m_deferred.end())
        it->command = command;
    else
        m_deferred.append({address, command});
    if (!busy() && !none) {
        m_console.printToConsole(QStringLiteral("kept until the line has been checked: ") + hex);
        emit proofWanted();
    }
    return false;
}

void CommandExchange::dropDeferred()
{
    m_deferred.clear();
}

qint64 CommandExchange::wireTimeUs(qint64 bytes) const
{
    const qint64 baud = m_usb.state.BaudRate > 0 ? m_usb.state.BaudRate : kPedalBaudRate;
    return bytes * kBitsPerByte * 1'000'000 / baud;
}

CommandExchange::Answer CommandExchange::collect(const AnswerRule &rule)
{
    Answer answer;
    if (m_quitting) {
        answer.outcome = Outcome::Quitting;
        return answer;
    }
    if (m_waiting) {
        m_console.printToConsole(QStringLiteral("%1 not collected while the %2 waits for its answer")
                                     .arg(rule.what, m_running));
        answer.outcome = Outcome::Refused;
        return answer;
    }
    m_waiting = true;
    const qint64 start = m_clock.nowUs();
    const qint64 deadline = start + qint64(rule.timeoutMs) * 1000 + wireTimeUs(rule.wireBytes);
    qint64 lastByte = start;
    qsizetype tail = 0; // bytes after the whole answer, or beyond its size
    bool started = !rule.start;
    for (;;) {
        m_pacing.processEvents();
        if (m_quitting) {
            answer.outcome = Outcome::Quitting;
            break;
        }
        if (m_usb.GetFTQueueStatus() != 0) {
            answer.outcome = Outcome::LinkFailed;
            break;
        }
        const qint64 now = m_clock.nowUs();
        if (m_usb.state.QueuedBytes > 0) {
            const quint32 n = m_usb.ReadFTQueue();
            if (n == 0) { // the read failed and has said so
                answer.outcome = Outcome::LinkFailed;
                break;
            }
            QByteArray got = m_usb.receivedBytes(n);
            if (!started) {
                // Until the known start has come, what comes is the tail of an earlier answer.
                answer.bytes.append(got);
                const AnswerRule::Start found = rule.start(answer.bytes);
                answer.stale += found.before;
                answer.bytes.remove(0, found.before);
                started = found.found;
                got = std::exchange(answer.bytes, {});
            }
            const qsizetype room = rule.maxBytes - answer.bytes.size();
            answer.bytes.append(got.left(room));
            tail += std::max<qsizetype>(got.size() - room, 0);
            lastByte = now;
            if (const qsizetype whole = started && rule.wholeLength ? rule.wholeLength(answer.bytes) : 0) {
                tail += answer.bytes.size() - whole;
                answer.bytes.truncate(whole);
                answer.outcome = Outcome::Complete;
                break;
            }
            if (answer.bytes.size() >= rule.maxBytes) {
                answer.outcome = Outcome::Incomplete;
                break;
            }
        } else if (rule.quietGapMs > 0 && !answer.bytes.isEmpty()
                   && now - lastByte >= qint64(rule.quietGapMs) * 1000) {
            answer.outcome = Outcome::Incomplete;
            break;
        }
        if (now >= deadline) {
            answer.outcome = answer.bytes.isEmpty() ? Outcome::NoAnswer : Outcome::Incomplete;
            break;
        }
    }
    m_waiting = false;
    answer.started = started && !answer.bytes.isEmpty();
    answer.extra = tail;
    answer.foreign = tail > 0 && rule.exact;
    if (answer.stale > 0)
        m_console.printToConsole(QStringLiteral("dropped %1 bytes before the %2 answer").arg(answer.stale).arg(rule.what));
    if (tail > 0)
        m_console.printToConsole(QStringLiteral("dropped %1 bytes after the %2 answer").arg(tail).arg(rule.what));
    // Whatever did not end whole and alone leaves the line out of step until it is checked.
    const bool unreadable = rule.readable && !rule.readable(answer.bytes);
    if (answer.outcome == Outcome::Complete && (tail > 0 || answer.stale > 0 || unreadable))
        m_state.lostStep(QStringLiteral("the %1 answer did not come alone and readable").arg(rule.what));
    else if (answer.outcome == Outcome::NoAnswer || answer.outcome == Outcome::Incomplete)
        m_state.lostStep(QStringLiteral("the %1 answer did not come whole").arg(rule.what));
    // The rest of a long or never-ending answer is not this exchange's business, nor the next's.
    if (answer.outcome != Outcome::LinkFailed && answer.outcome != Outcome::Quitting)
        m_usb.PurgeFTReceive();
    return answer;
}

CommandExchange::Answer CommandExchange::ask(CommandCode code, const QByteArray &command, const AnswerRule &rule,
                                             const std::function<void()> &onSent)
{
    const CommandInfo &info = commandInfo(code);
    if (!sendBytes(command, info.purgeTransmit)) {
        Answer answer;
        answer.outcome = m_quitting ? Outcome::Quitting : linkLost() ? Outcome::LinkFailed : Outcome::Refused;
        return answer;
    }
    if (onSent)
        onSent();
    m_pacing.sleepMs(info.pauseAfterMs);
    return info.collect == AnswerCollect::Text ? CollectAnswerText(rule) : CollectAnswerBlock(rule);
}

CommandExchange::Answer CommandExchange::CollectAnswerText(const AnswerRule &rule)
{
    Answer answer = collect(rule);
    if (answer.outcome != Outcome::LinkFailed && answer.outcome != Outcome::Quitting
        && answer.outcome != Outcome::Refused)
        m_console.printToConsole(QStringLiteral("num of bytes received: %1").arg(answer.bytes.size()));
    return answer;
}

CommandExchange::Answer CommandExchange::CollectAnswerBlock(const AnswerRule &rule)
{
    return collect(rule);
}

QString CommandExchange::failureMessage(const AnswerRule &rule, const Answer &answer)
{
    switch (answer.outcome) {
    case Outcome::NoAnswer:
        return QStringLiteral("The pedal did not answer the %1.").arg(rule.what);
    case Outcome::Complete:
    case Outcome::Incomplete:
        if (answer.foreign || (rule.readable && !rule.readable(answer.bytes)))
            return QStringLiteral("The pedal's answer to the %1 could not be read.").arg(rule.what);
        if (answer.outcome == Outcome::Incomplete)
            return QStringLiteral("The pedal's answer to the %1 was incomplete.").arg(rule.what);
        break;
    case Outcome::LinkFailed:
    case Outcome::Quitting:
    case Outcome::Refused:
        break;
    }
    return QString();
}

} // namespace tovel
