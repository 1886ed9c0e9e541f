#include "actions/linkactions.h"

#include "core/nowidgets.h"

#include "core/seams.h"
#include "firmware/bootloaderlink.h"
#include "firmware/bootloaderprotocol.h"
#include "link/deviceidentity.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"

namespace tovel {

namespace {
using Kind = ActionFailure::Kind;
// Before the greeting the line must have been quiet this long, within the limit.
constexpr std::chrono::milliseconds kGreetingQuiet{300};
constexpr std::chrono::milliseconds kGreetingQuietLimit{3000};
}

QList<ListedBridge> listBridges(EditorSession &session, bool trace,
                                const std::function<void(const ListedBridge &)> &onListed)
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
        if (onListed)
            onListed(bridge);
    }
    return bridges;
}

ActionResult<Connection> connectPedal(EditorSession &session, const std::function<void()> &onOpened,
                                      OpenFailure openFailure, const std::function<void(bool greeted)> &onGreeted)
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
    if (bootloader) {
        // The pedal runs its bootloader: no effect runs meanwhile.
        session.selection.EffectOnPedal = false;
        session.pedal.PedalEffectName.clear();
    }
    session.openedLink(bootloader);
    if (onOpened)
        onOpened();
    if (bootloader) {
        const QString step = QStringLiteral("bootloader greeting");
        auto scope = exchange.begin(step, CommandExchange::Listener::Bootloader);
        if (!scope)
            return R{exchange.refused(step)};
        BootloaderLink &link = session.bootloaderLink();
        // A bootloader speaks only when asked: bytes on the line now answer an earlier client
        // (the late acknowledge of a write that was stopped), and would be taken for the
        // greeting's. The greeting goes on a quiet line only.
        bool quiet = false;
        const QByteArray before = link.drainUntilQuiet(kGreetingQuiet, kGreetingQuietLimit, &quiet);
        if (exchange.quitting())
            return R::fail(Kind::Refused, step, QString());
        if (!before.isEmpty())
            console.printToConsole(QStringLiteral("dropped %1 before the greeting").arg(bootloader::byteCount(before.size())));
        if (!quiet) {
            console.printToConsole(QStringLiteral("the line did not fall quiet: no greeting sent"));
            session.pedalState().bootloaderFound(false);
            if (onGreeted)
                onGreeted(false);
            return result;
        }
        const CommandExchange::Answer reply =
            exchange.ask(CommandCode::BootloaderSync, bootloaderSyncCommand(), bootloaderAnswer());
        // The link gone or the program closing: that has been dealt with.
        if (reply.outcome == CommandExchange::Outcome::LinkFailed)
            return R::fail(Kind::NoPedal, step, QString());
        if (reply.outcome == CommandExchange::Outcome::Quitting)
            return R::fail(Kind::Refused, step, QString());
        result.value.greeting = bytesToHex(reply.bytes.left(1));
        console.appendConsoleLine(QStringLiteral("received Byte: ") + result.value.greeting);
        bool inStep = !reply.bytes.isEmpty() && quint8(reply.bytes.front()) == bootloader::kAck;
        if (!inStep) {
            // A bootloader an earlier client left in its command loop takes 0x7F as a command:
            // bring it back in step, then greet it again.
            inStep = link.recoverAfterGreeting();
            if (exchange.quitting())
                return R::fail(Kind::Refused, step, QString());
        }
        result.value.greeted = inStep;
        session.pedalState().bootloaderFound(inStep);
        if (onGreeted)
            onGreeted(inStep);
    }
    ReadDeviceIdentity(usb, console);
    return result;
}

ActionResult<Done> disconnectPedal(EditorSession &session)
{
    if (session.usb.CloseFTDevice() != 0)
        return ActionResult<Done>::fail(Kind::NoPedal, QStringLiteral("disconnect"), QString());
    session.closedLink();
    return {};
}

void forgetLostPedal(EditorSession &session)
{
    // Frees the port (and its lock) for the bridge when it comes back; the failure of a call
    // on a device that has gone is not shown again.
    session.usb.CloseFTDevice();
    session.closedLink();
}

QList<ListedBridge> relistBridges(EditorSession &session)
{
    const QList<ListedBridge> bridges = listBridges(session, false);
    emit session.bridgesListed(bridges);
    return bridges;
}

} // namespace tovel
