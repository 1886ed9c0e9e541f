#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace tovel {

// What listens on the line to the pedal, as far as the editor knows it in this connection.
// Known, not assumed: the effect firmware is in step only once an answer with a known start
// (the effect query's) has arrived whole with nothing before it, since a quiet line proves
// nothing about a pedal that may stall longer than any wait. The windows, `tovel` and the
// actions read it; the link and the exchanges change it.
class PedalState : public QObject {
    Q_OBJECT

public:
    enum class Kind {
        NoPedal,        // no link open
        LinkOpen,       // a link to the effect firmware, nothing learnt in this connection
        EffectFirmware, // the effect firmware answers in step; facts learnt in this connection
        Bootloader,     // the controller's bootloader listens (in step or not)
        OutOfStep,      // an exchange ended without its whole answer, or bytes came unasked
    };
    // The firmware a link was opened to speak to: the effect firmware, or (in Upgrade Mode)
    // the controller's bootloader.
    enum class Listener { None, EffectFirmware, Bootloader };

    // What the effect query told in this connection.
    struct Effect {
        int number = 0;    // the line of the effect list; 0 when the pedal runs no effect
        int version = 0;
        QString name;      // display name; empty for effect 0 or a number the list lacks
    };

    explicit PedalState(QObject *parent = nullptr) : QObject(parent) {}

    Kind kind() const { return m_kind; }
    Listener listener() const { return m_listener; }
    // The effect firmware answers in step, or the bootloader has acknowledged.
    bool inStep() const { return m_kind == Kind::EffectFirmware || (m_kind == Kind::Bootloader && m_bootloaderInStep); }
    bool bootloaderInStep() const { return m_kind == Kind::Bootloader && m_bootloaderInStep; }
    // The effect the pedal runs, as last asked in this connection; none until asked, and none
    // again after an upload replaced it.
    const std::optional<Effect> &effect() const { return m_effect; }
    // The controller's firmware version, as the effect firmware last told it in this connection.
    std::optional<int> firmwareVersion() const { return m_firmwareVersion; }
    // Why the line went out of step, for the console and the messages.
    const QString &outOfStepReason() const { return m_reason; }

    // A link was opened to `listener` (a bootloader link is not in step until its greeting is
    // acknowledged), or closed, lost or not: everything learnt goes with it.
    void linkOpened(Listener listener);
    void linkClosed();
    // The effect query came whole with nothing before it: the effect firmware listens, in step.
    void effectAnswered(const Effect &effect, int firmwareVersion);
    // A whole answer came from the effect firmware in step, but its facts could not be read.
    void effectUnreadable(const QString &why);
    // An upload's status came: the line is in step, the effect it runs is a new one.
    void effectReplaced();
    // An exchange with the effect firmware ended without its whole answer, or bytes came that
    // no command asked for. On a bootloader link: the bootloader is out of step.
    void lostStep(const QString &why);
    // The bootloader acknowledged (true), or was found answering on the effect firmware's link
    // or did not acknowledge (false).
    void bootloaderFound(bool inStep);

signals:
    void changed();

private:
    void set(Kind kind);

    Kind m_kind = Kind::NoPedal;
    Listener m_listener = Listener::None;
    bool m_bootloaderInStep = false;
    std::optional<Effect> m_effect;
    std::optional<int> m_firmwareVersion;
    QString m_reason;
};

} // namespace tovel
