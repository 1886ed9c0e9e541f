#include "app/pedalstatetext.h"

#include "protocol/pedalstate.h"

namespace tovel {

QString pedalStateText(const PedalState &state)
{
    using Kind = PedalState::Kind;
    const std::optional<int> firmware = state.firmwareVersion();
    const QString withFirmware = firmware ? QStringLiteral(", firmware %1").arg(*firmware) : QString();
    switch (state.kind()) {
    case Kind::NoPedal:
        return QStringLiteral("No pedal connected");
    case Kind::LinkOpen:
        return QStringLiteral("Pedal connected: Open FX asks which effect it runs");
    case Kind::EffectFirmware: {
        const std::optional<PedalState::Effect> &effect = state.effect();
        if (!effect)
            return QStringLiteral("Pedal: a new effect, not read yet%1").arg(withFirmware);
        if (effect->number == 0)
            return QStringLiteral("Pedal: no effect running%1").arg(withFirmware);
        if (effect->name.isEmpty())
            return QStringLiteral("Pedal: effect %1, unknown to this editor%2").arg(effect->number).arg(withFirmware);
        return QStringLiteral("Pedal: %1 v%2%3").arg(effect->name).arg(effect->version).arg(withFirmware);
    }
    case Kind::Bootloader:
        // Found answering where the effect firmware was expected: no effect command goes to it.
        if (state.listener() == PedalState::Listener::EffectFirmware)
            return QStringLiteral("Pedal in its bootloader: finish the firmware upgrade");
        return state.bootloaderInStep() ? QStringLiteral("Pedal in its bootloader")
                                        : QStringLiteral("Pedal in its bootloader, not answering in step");
    case Kind::OutOfStep:
        return QStringLiteral("Pedal not answering in step: checking the line");
    }
    return QString();
}

QStringList pedalControlMeanings()
{
    return {
        QStringLiteral("I: the pedal's knob I"),
        QStringLiteral("EXP: an expression pedal on the pedal's EXP input"),
        QStringLiteral("II: the pedal's knob II"),
        QStringLiteral("III: the pedal's knob III"),
        QStringLiteral("SWT: the pedal's switch input SWT"),
        QStringLiteral("SWR: the pedal's switch input SWR"),
        QStringLiteral("SW: the pedal's switch input SW"),
        QStringLiteral("NA: no pedal control; only the editor moves this parameter"),
        QStringLiteral("-: nothing chosen yet in this window (Request shows what the pedal has)"),
    };
}

} // namespace tovel
