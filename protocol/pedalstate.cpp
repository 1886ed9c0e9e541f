#include "protocol/pedalstate.h"

namespace tovel {

void PedalState::set(Kind kind)
{
    m_kind = kind;
    emit changed();
}

void PedalState::linkOpened(Listener listener)
{
    m_listener = listener;
    m_bootloaderInStep = false;
    m_effect.reset();
    m_firmwareVersion.reset();
    m_reason.clear();
    set(listener == Listener::Bootloader ? Kind::Bootloader
        : listener == Listener::EffectFirmware ? Kind::LinkOpen
                                               : Kind::NoPedal);
}

void PedalState::linkClosed()
{
    linkOpened(Listener::None);
}

void PedalState::effectAnswered(const Effect &effect, int firmwareVersion)
{
    m_effect = effect;
    m_firmwareVersion = firmwareVersion;
    m_reason.clear();
    set(Kind::EffectFirmware);
}

void PedalState::effectUnreadable(const QString &why)
{
    m_effect.reset();
    lostStep(why);
}

void PedalState::effectReplaced()
{
    if (m_listener != Listener::EffectFirmware)
        return;
    m_effect.reset();
    m_reason.clear();
    set(Kind::EffectFirmware);
}

void PedalState::lostStep(const QString &why)
{
    if (m_listener == Listener::None)
        return;
    m_reason = why;
    if (m_listener == Listener::Bootloader || m_kind == Kind::Bootloader) {
        m_bootloaderInStep = false;
        set(Kind::Bootloader);
        return;
    }
    set(Kind::OutOfStep);
}

void PedalState::bootloaderFound(bool inStep)
{
    if (m_listener == Listener::None)
        return;
    m_bootloaderInStep = inStep;
    m_effect.reset();
    m_firmwareVersion.reset();
    set(Kind::Bootloader);
}

} // namespace tovel
