#include "app/failuretext.h"

#include <QStringList>

namespace tovel {

QString windowAdviceText(ActionFailure::Advice advice)
{
    using Advice = ActionFailure::Advice;
    switch (advice) {
    case Advice::ReconnectBootloader:
        return QStringLiteral("Connect the pedal again and connect to its bootloader, then press Upgrade Firmware to "
                              "try again.");
    case Advice::ResetBootloader:
        return QStringLiteral("If the bootloader still does not answer, reset the pedal into its bootloader the way "
                              "you did before this upgrade, choose Connection > Disconnect and then Connect (Upgrade "
                              "Mode stays on), and press Upgrade Firmware again.");
    case Advice::TryAgain:
        return QStringLiteral("Press Upgrade Firmware to try again.");
    case Advice::ReconnectPedal:
        return QStringLiteral("Unplug its USB cable and plug it in again (or switch the pedal off and on), then "
                              "choose Connection > Scan and Connection > Connect; Open FX shows the firmware it runs.");
    case Advice::AskFirmwareAgain:
        return QStringLiteral("Open FX asks it again.");
    case Advice::ConnectFirst:
        return QStringLiteral("Choose Connection > Connect first.");
    case Advice::FinishUpgrade:
        return QStringLiteral("Tick Firmware Upgrade > Upgrade Mode and connect to it there.");
    case Advice::LeaveUpgradeMode:
        return QStringLiteral("Untick Firmware Upgrade > Upgrade Mode, then disconnect and connect again.");
    case Advice::EnterUpgradeMode:
        return QStringLiteral("Start the bootloader, tick Firmware Upgrade > Upgrade Mode, then disconnect and "
                              "connect again.");
    case Advice::AskPedalEffect:
        return QStringLiteral("Open FX asks it.");
    case Advice::ByKind:
    case Advice::None:
        break;
    }
    return QString();
}

QString windowFailureText(const ActionFailure &failure)
{
    const QString advice = windowAdviceText(failure.advice);
    if (advice.isEmpty() || failure.message.isEmpty())
        return failure.message;
    QStringList paragraphs = failure.message.split(QStringLiteral("\n\n"));
    paragraphs.first() += QLatin1Char(' ') + advice;
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace tovel
