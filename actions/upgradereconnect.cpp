#include "actions/upgradereconnect.h"

#include "protocol/answerfailure.h"
#include "actions/linkactions.h"
#include "core/clock.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/effectquery.h"
#include "session/editorsession.h"

#include <algorithm>

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;

// One turn of the wait: short enough for the window to follow, long enough not to spin.
constexpr int kTurnMs = 10;

// Turns the event loop until the clock reaches untilUs; false when the program quits.
bool waitUntil(EditorSession &session, qint64 untilUs)
{
    while (session.clock.nowUs() < untilUs) {
        if (session.exchange().quitting())
            return false;
        session.pacing.processEvents();
        session.pacing.sleepMs(kTurnMs);
    }
    return !session.exchange().quitting();
}

// Lets go of the link: closed, or freed after its loss (which tells nobody: it is expected).
void closeLink(EditorSession &session)
{
    if (!session.linkOpen())
        return;
    if (session.usb.state.DeviceLost) {
        forgetLostPedal(session);
        return;
    }
    session.usb.CloseFTDevice();
    session.closedLink();
}

struct LossExpected {
    EditorSession &session;
    explicit LossExpected(EditorSession &s) : session(s) { session.expectLoss(true); }
    ~LossExpected() { session.expectLoss(false); }
};

} // namespace

ActionResult<UpgradeRestart> reconnectAfterUpgrade(EditorSession &session, const RestartHooks &hooks)
{
    using R = ActionResult<UpgradeRestart>;
    const QString step = QStringLiteral("restart after the upgrade");
    const auto progress = [&hooks](const QString &text) {
        if (hooks.onProgress)
            hooks.onProgress(text);
    };
    Console &console = session.console();
    CommandExchange &exchange = session.exchange();
    const QString serial = session.link.ListedSerialNumber;
    LossExpected expected(session);

    // The controller no longer runs its bootloader: nothing more goes to it.
    closeLink(session);
    session.setFirmwareUpgradeMode(false);
    if (hooks.onBootloaderClosed)
        hooks.onBootloaderClosed();

    auto scope = exchange.begin(step);
    if (!scope)
        return R{exchange.refused(step)};
    console.printToConsole(QStringLiteral("waiting for the pedal to restart: ") + serial);
    progress(QStringLiteral("Waiting for the pedal to start"));
    const qint64 deadlineUs = session.clock.nowUs() + std::chrono::microseconds(kRestartWait).count();
    if (!waitUntil(session, session.clock.nowUs() + std::chrono::microseconds(kRestartFirstLook).count()))
        return R::fail(Kind::Refused, step, QString());

    std::optional<ActionFailure> lastAnswer; // the pedal was reached, but said nothing readable
    for (;;) {
        if (session.usb.state.DeviceLost)
            closeLink(session);
        const QList<ListedBridge> bridges = listBridges(session, false);
        const auto found = std::find_if(bridges.cbegin(), bridges.cend(),
                                        [&serial](const ListedBridge &b) { return b.serialNumber == serial; });
        if (found != bridges.cend()) {
            // Connected meanwhile (Connect When Plugged In, while the completion message was
            // read): that link is the one to ask, and the labels name it already.
            const bool connected = session.linkOpen() && !session.usb.state.DeviceLost
                                   && exchange.linkListener() == CommandExchange::Listener::EffectFirmware;
            if (!connected) {
                emit session.bridgesListed(bridges);
                session.link.ListedSerialNumber = found->serialNumber;
                session.link.ListedDeviceName = found->description;
                progress(QStringLiteral("Connecting"));
            }
            // The bridge may be listed a moment before it can be opened: a failed open is tried
            // again, not told.
            if (connected || connectPedal(session, {}, OpenFailure::Quiet)) {
                progress(QStringLiteral("Asking the firmware version"));
                const ActionResult<EffectInfo> asked = session.askEffect(QStringLiteral("effect query"));
                if (exchange.quitting())
                    return R::fail(Kind::Refused, step, QString());
                lastAnswer = asked.failure;
                if (asked) {
                    const EffectInfo &info = asked.value;
                    console.printToConsole(QStringLiteral("firmware version: %1").arg(info.firmwareVersion));
                    session.rememberEffect(info);
                    R result;
                    result.value.firmwareVersion = info.firmwareVersion;
                    result.value.message = QStringLiteral("Firmware %1 is running.").arg(info.firmwareVersion);
                    return result;
                }
                // Gone again (a bridge that left after all) or not started yet: another look.
                if (lastAnswer && lastAnswer->kind == Kind::NoPedal)
                    lastAnswer.reset();
                if (session.clock.nowUs() >= deadlineUs)
                    break;
                closeLink(session);
            }
        }
        if (session.clock.nowUs() >= deadlineUs)
            break;
        if (!waitUntil(session, std::min(deadlineUs, session.clock.nowUs()
                                                         + std::chrono::microseconds(kRestartRetry).count())))
            return R::fail(Kind::Refused, step, QString());
    }

    if (lastAnswer && session.linkOpen() && !session.usb.state.DeviceLost) {
        // Connected, and the firmware answers wrongly or not at all: the link stays for Open FX.
        const QString why = lastAnswer->message.isEmpty() ? QString() : QStringLiteral("\n\n") + lastAnswer->message;
        R failed = R::fail(Kind::PedalAnswer, step,
                           QStringLiteral("The pedal is connected again, but it did not say which firmware it runs.")
                               + why,
                           lastAnswer->received);
        failed.failure->advice = ActionFailure::Advice::AskFirmwareAgain;
        return failed;
    }
    closeLink(session);
    console.printToConsole(QStringLiteral("the pedal did not come back: ") + serial);
    R failed = R::fail(Kind::NoPedal, step,
                       QStringLiteral("The pedal did not come back within %1 seconds of the upgrade.")
                           .arg(kRestartWait.count() / 1000));
    failed.failure->advice = ActionFailure::Advice::ReconnectPedal;
    return failed;
}

ActionResult<FirmwareUpgradeRun> upgradeFirmware(EditorSession &session, const FirmwareChoice &choice,
                                                 const UpgradeOptions &options, const UpgradeHooks &hooks)
{
    ActionResult<FirmwareUpgradeRun> result;
    const ActionResult<FirmwareFlash> flash = flashFirmware(session, choice, options, hooks.onStarted, hooks.confirm);
    result.value.flash = flash.value;
    if (hooks.onFlashed)
        hooks.onFlashed(flash);
    if (!flash) {
        result.failure = flash.failure;
        return result;
    }
    result.value.flashed = true;
    ActionResult<UpgradeRestart> restart = reconnectAfterUpgrade(session, hooks.restart);
    result.failure = restart.failure;
    result.value.restart = restart.value;
    return result;
}

} // namespace tovel
