#pragma once

#include "core/actionfailure.h"
#include "protocol/commands.h"
#include "protocol/pedalstate.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace tovel {

class Clock;
class Console;
class D2XXUnit;
class Pacing;
class PedalState;

// How the answer to one command is collected: when it is whole, how long it may take and how
// large it may grow. A pedal that says nothing, stops half-way or never stops talking ends
// the wait within the time-out; the bytes it sent never exceed maxBytes.
struct AnswerRule {
    QString what;            // names the exchange in messages: "effect query", "state request"
    int timeoutMs = 3000;    // from the start of the wait to the whole answer ...
    int wireBytes = 0;       // ... plus the time these bytes take on the line
    int maxBytes = 256;
    int quietGapMs = 0;      // > 0: an answer over which the line has been quiet this long is over
    // The length of the whole answer once the bytes hold it, else 0. What came after it is a
    // tail that belongs to no exchange.
    std::function<qsizetype(const QByteArray &)> wholeLength;
    // Whether the bytes (whole or not) read as this kind of answer: noise on the line does not.
    std::function<bool(const QByteArray &)> readable;
    // Bytes after the whole answer make it unreadable: a count that comes out right only with
    // something else mixed in is no answer to trust. Otherwise they are dropped (and the line
    // is out of step all the same: they came unasked).
    bool exact = false;
    // Where the answer starts, for an answer with a known start: how many of the bytes are
    // surely before it (the tail of an earlier answer, dropped and counted as stale), and
    // whether the start is there. None: the answer starts with the first byte.
    struct Start {
        qsizetype before = 0;
        bool found = false;
    };
    std::function<Start(const QByteArray &)> start;
};

// The effect query's answer: four lines ended by CR LF, the first of them kEffectQueryStart.
// Bytes before that start belong to an earlier answer.
AnswerRule effectQueryAnswer();
// The state answer for numParams rows: 4 x numParams + 288 numbers, each ended by CR LF (or by
// CR or LF alone, as the answer's reader splits them).
AnswerRule stateRequestAnswer(int numParams);
// The length up to and including the n-th line end of a run of numbers, 0 while fewer have
// come. A line ends at CR LF, CR or LF; when the answer's first line ended in CR LF, a CR at
// the very end waits for its LF.
qsizetype throughNumberLine(const QByteArray &bytes, int n);
// The upload's status: its first 17 bytes, or fewer ended by a line end. The time-out starts
// once the program has been handed to the driver, which may still be sending it.
AnswerRule uploadStatusAnswer(int programBytes);
// The bootloader's acknowledge: one byte.
AnswerRule bootloaderAnswer();

// Sends commands from the start of TransmitBuffer and collects the pedal's answers, one
// exchange at a time.
//
// An exchange (a command and its answer, or a command and its pause) runs inside a Scope.
// While one runs, no other starts: begin() refuses, and a command written from a handler that
// ran during one of its waits is refused where the bytes go. A parameter value moved during an
// exchange is kept (the latest for each address) and written when the exchange ends. Every
// wait turns the event loop, so the windows stay usable, and ends at its time-out, at a failing
// queue query (the link has gone), or at once when the program quits.
class CommandExchange : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Complete,   // the whole answer, by its rule
        NoAnswer,   // not a byte within the time-out
        Incomplete, // some bytes, never the whole answer
        LinkFailed, // a queue query or read failed: the bridge is closed or gone
        Quitting,   // the program is closing
        Refused,    // another exchange is running
    };
    struct Answer {
        Outcome outcome = Outcome::NoAnswer;
        QByteArray bytes;
        // Bytes that came after the whole answer (or beyond its size), dropped.
        qsizetype extra = 0;
        // Bytes that came before the answer's known start, dropped; and whether the start came.
        qsizetype stale = 0;
        bool started = false;
        // Extra bytes that make this answer one not to trust (see AnswerRule::exact).
        bool foreign = false;
        bool complete() const { return outcome == Outcome::Complete; }
    };
    using Listener = PedalState::Listener;

    // Holds the link for one exchange; the exchange ends when the scope goes.
    class Scope {
    public:
        Scope(Scope &&other) noexcept : m_exchange(std::exchange(other.m_exchange, nullptr)) {}
        Scope &operator=(Scope &&) = delete;
        ~Scope();

    private:
        friend class CommandExchange;
        explicit Scope(CommandExchange *exchange) : m_exchange(exchange) {}
        CommandExchange *m_exchange;
    };

    // state: what listens on the line; the exchanges tell it when the line goes out of step.
    CommandExchange(D2XXUnit &usb, Pacing &pacing, const Clock &clock, Console &console, PedalState &state);
    ~CommandExchange() override;

    // Starts an exchange named `what` ("state request") with `listener`. Nothing, with a
    // console line, while another runs, when the link was opened to the other firmware, or
    // when the program quits; refused() then says why (no words while another exchange runs,
    // which the console has said, or when quitting).
    std::optional<Scope> begin(const QString &what, Listener listener = Listener::EffectFirmware);
    // Why the last begin() gave nothing, as the failure of `step`.
    ActionFailure refused(const QString &step) const
    {
        return ActionFailure{ActionFailure::Kind::Refused, step, {}, m_refusal, m_refusalAdvice};
    }
    // The link has been opened to `listener`, or closed (None).
    Listener linkListener() const;
    PedalState &state() { return m_state; }
    bool busy() const { return !m_running.isEmpty(); }
    const QString &running() const { return m_running; }

    // The program is closing: every wait ends at once, and nothing more is sent.
    void quit();
    bool quitting() const { return m_quitting; }

    // Drops what the receive queue holds before a command, saying so on the console: bytes no
    // command asked for, so the line is out of step. Runs before every command that expects an
    // answer. False when the link has gone or the program quits (the exchange ends there).
    bool dropStaleBytes();
    // Bytes wait in the receive queue that no exchange asked for: the line goes out of step.
    // False when the link has gone.
    bool noticeUnaskedBytes();

    // Puts known bytes at the start of TransmitBuffer and writes them in one piece. False
    // when refused (nothing written) or when the link has gone.
    bool sendBytes(const QByteArray &bytes, bool purgeTransmit);
    // The bridge has gone since it was opened: every exchange ends at its next step.
    bool linkLost() const;
    // A ParameterValue command: written now when no exchange runs and the line is in step,
    // otherwise kept (the latest for each address) until the running exchange ends or a line
    // check has put the line in step again (proofWanted). Returns true when written now.
    bool sendParameterValue(quint16 address, int level);
    // Forgets the kept parameter values (the link has closed).
    void dropDeferred();
    int deferredCount() const { return int(m_deferred.size()); }

    // One command and its answer: `command` (of kind `code`) written in one piece, the
    // transmit queue purged first where the command table says so; then onSent, the table's
    // pause, and the answer collected as the table says (CollectAnswerText or
    // CollectAnswerBlock) by `rule`. A write that did not go out is LinkFailed (Quitting when
    // the program closes, Refused while another command waits for its answer).
    Answer ask(CommandCode code, const QByteArray &command, const AnswerRule &rule,
               const std::function<void()> &onSent = {});

    // Waits for the answer by its rule, reads it and purges the receive queue. The bytes are
    // this answer's only, whatever the outcome. A text answer also traces its size.
    Answer CollectAnswerText(const AnswerRule &rule);
    Answer CollectAnswerBlock(const AnswerRule &rule);

    // The message for an answer that did not come whole or does not read as its kind ("The
    // pedal did not answer the effect query."); empty for a good answer and for outcomes that
    // need none (the link gone, which has been said; quitting; refused).
    static QString failureMessage(const AnswerRule &rule, const Answer &answer);

signals:
    // An exchange started (true) or ended (false).
    void busyChanged(bool busy);
    // Parameter values wait for the line to be in step again: whoever can check the line does.
    void proofWanted();

private:
    Answer collect(const AnswerRule &rule);
    bool refuseReentry(const QString &command);
    void end();
    qint64 wireTimeUs(qint64 bytes) const;

    D2XXUnit &m_usb;
    Pacing &m_pacing;
    const Clock &m_clock;
    Console &m_console;
    QString m_running;
    QString m_refusal;
    ActionFailure::Advice m_refusalAdvice = ActionFailure::Advice::None;
    PedalState &m_state;
    bool m_waiting = false; // a wait of the running exchange is turning the event loop
    bool m_quitting = false;
    struct Deferred {
        quint16 address;
        QByteArray command;
    };
    QList<Deferred> m_deferred;
};

} // namespace tovel
