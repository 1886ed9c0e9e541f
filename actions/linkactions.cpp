#include "actions/linkactions.h"

#include "core/nowidgets.h"

#include "core/seams.h"
#include "firmware/bootloaderlink.h"
#include "link/deviceidentity.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"

namespace tovel {

namespace {
using Kind = ActionFailure::Kind;
}

QList<ListedBridge> listBridges(EditorSession &session, bool trace)
{
    D2XXUnit &usb = session.usb;
    Console &console = session.console();
    QList<ListedBridge> bridges;
    usb.GetFTDeviceCount();
    if (trace)
        console.printToConsole(QStringLiteral("FT device count: %1").arg(usb.state.DeviceCount));
    for (quint32 i = 0; i < usb.state.DeviceCount; ++i) {
        ListedBridge bridge;
        usb.GetFTDeviceSerialNo(i);
        bridge.serialNumber = usb.state.DeviceListText;
        if (trace)
            console.printToConsole(QStringLiteral("FT_Device_String: ") + bridge.serialNumber);
        session.link.ListedSerialNumber = bridge.serialNumber;
        usb.GetFTDeviceDescription(i);
        bridge.description = usb.state.DeviceListText;
        session.link.ListedDeviceName = bridge.description;
        bridges.append(bridge);
    }
    return bridges;
}

ActionResult<Connection> connectPedal(EditorSession &session, const std::function<void()> &onOpened,
                                      OpenFailure openFailure)
{
    using R = ActionResult<Connection>;
    D2XXUnit &usb = session.usb;
    Console &console = session.console();
    console.printToConsole(QStringLiteral("serial number: ") + session.link.ListedSerialNumber);
    // A failed open has shown its message; the editor stays not connected and makes no call
    // on a handle it does not have.
    if (usb.Open_USB_Device_By_Serial_Number(session.link.ListedSerialNumber, openFailure == OpenFailure::Shown) != 0)
        return R::fail(Kind::NoPedal, QStringLiteral("connect"), QString());
    usb.SetFTBaudRate();
    usb.SetFTDataCharacteristics();
    console.printToConsole(QStringLiteral("FT_HANDLE: 0x") + hexField(usb.state.DeviceHandle, 8));
    console.appendConsoleLine(QStringLiteral("baud rate = %1").arg(usb.state.BaudRate));

    R result;
    const bool bootloader = session.link.FirmwareUpgradeMode;
    result.value.bootloader = bootloader;
    CommandExchange &exchange = session.exchange();
    exchange.setLinkListener(bootloader ? CommandExchange::Listener::Bootloader
                                        : CommandExchange::Listener::EffectFirmware);
    if (bootloader) {
        // The pedal runs its bootloader: no effect runs meanwhile.
        session.selection.EffectOnPedal = false;
        session.pedal.PedalEffectName.clear();
    }
    emit session.linkOpened(bootloader);
    if (onOpened)
        onOpened();
    if (bootloader) {
        const QString step = QStringLiteral("bootloader greeting");
        auto scope = exchange.begin(step, CommandExchange::Listener::Bootloader);
        if (!scope)
            return R::fail(Kind::Refused, step, exchange.refusal());
        if (!exchange.dropStaleBytes() || !exchange.sendBytes(bootloaderSyncCommand(), false))
            return R::fail(Kind::NoPedal, step, QString());
        const CommandExchange::Answer reply = exchange.CollectAnswerText(bootloaderAnswer());
        // The link gone or the program closing: that has been dealt with.
        if (reply.outcome == CommandExchange::Outcome::LinkFailed)
            return R::fail(Kind::NoPedal, step, QString());
        if (reply.outcome == CommandExchange::Outcome::Quitting)
            return R::fail(Kind::Refused, step, QString());
        result.value.greeting = bytesToHex(reply.bytes.left(1));
        console.appendConsoleLine(QStringLiteral("received Byte: ") + result.value.greeting);
        bool inStep = result.value.greeting == QLatin1String("79");
        if (!inStep) {
            // A bootloader an earlier client left in its command loop takes 0x7F as a command:
            // bring it back in step, then greet it again.
            BootloaderLink link(usb, session.pacing, session.clock, console);
            link.stopWhen = [&exchange] { return exchange.quitting(); };
            inStep = link.recoverAfterGreeting();
            if (exchange.quitting())
                return R::fail(Kind::Refused, step, QString());
        }
        result.value.greeted = inStep;
    }
    ReadDeviceIdentity(usb, console);
    return result;
}

ActionResult<Done> disconnectPedal(EditorSession &session)
{
    if (session.usb.CloseFTDevice() != 0)
        return ActionResult<Done>::fail(Kind::NoPedal, QStringLiteral("disconnect"), QString());
    session.exchange().setLinkListener(CommandExchange::Listener::None);
    emit session.linkClosed();
    return {};
}

void forgetLostPedal(EditorSession &session)
{
    session.exchange().dropDeferred();
    session.exchange().setLinkListener(CommandExchange::Listener::None);
    // Frees the port (and its lock) for the bridge when it comes back; the failure of a call
    // on a device that has gone is not shown again.
    session.usb.CloseFTDevice();
    emit session.linkClosed();
}

QList<ListedBridge> relistBridges(EditorSession &session)
{
    const QList<ListedBridge> bridges = listBridges(session, false);
    emit session.bridgesListed(bridges);
    return bridges;
}

} // namespace tovel
