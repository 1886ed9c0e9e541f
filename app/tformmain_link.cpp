// Connection menu: Scan, Connect, Disconnect.
#include "app/application.h"
#include "app/tformmain.h"
#include "core/seams.h"
#include "firmware/bootloaderlink.h"
#include "link/deviceidentity.h"
#include "params/tformfxparameters.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace tovel {

void TformMain::menuScanClick()
{
    D2XXUnit &usb = m_app.usb;
    Console &console = m_app.console();
    lblSerialNumber->setText(QStringLiteral("Serial Number: "));
    lblDeviceName->setText(QStringLiteral("Device Name"));
    usb.GetFTDeviceCount();
    console.printToConsole(QStringLiteral("FT device count: %1").arg(usb.state.DeviceCount));
    if (usb.state.DeviceCount == 0) {
        m_app.prompts.showMessage(QStringLiteral("No device found"));
        lblDeviceName->setText(QStringLiteral("No device found"));
        return;
    }
    for (quint32 i = 0; i < usb.state.DeviceCount; ++i) {
        usb.GetFTDeviceSerialNo(i);
        console.printToConsole(QStringLiteral("FT_Device_String: ") + usb.state.DeviceListText);
        lblSerialNumber->setText(lblSerialNumber->text() + usb.state.DeviceListText);
        m_app.state.ListedSerialNumber = usb.state.DeviceListText;
        usb.GetFTDeviceDescription(i);
        lblDeviceName->setText(usb.state.DeviceListText);
        m_app.state.ListedDeviceName = usb.state.DeviceListText;
        m_app.prompts.showMessage(usb.state.DeviceListText + QStringLiteral(" found, click Connect"));
    }
}

void TformMain::menuConnectClick()
{
    D2XXUnit &usb = m_app.usb;
    Console &console = m_app.console();
    console.printToConsole(QStringLiteral("serial number: ") + m_app.state.ListedSerialNumber);
    // A failed open has shown its message; the editor stays not connected and makes no call
    // on a handle it does not have.
    if (usb.Open_USB_Device_By_Serial_Number(m_app.state.ListedSerialNumber) != 0)
        return;
    lblDeviceName->setText(lblDeviceName->text() + QStringLiteral(" connected"));
    usb.SetFTBaudRate();
    usb.SetFTDataCharacteristics();
    console.printToConsole(QStringLiteral("FT_HANDLE: 0x") + hexField(usb.state.DeviceHandle, 8));
    console.appendConsoleLine(QStringLiteral("baud rate = %1").arg(usb.state.BaudRate));

    const bool bootloader = m_app.state.FirmwareUpgradeMode;
    m_app.exchange().setLinkListener(bootloader ? CommandExchange::Listener::Bootloader
                                                : CommandExchange::Listener::EffectFirmware);
    // On a link to the bootloader the effect commands stay off: an effect's bytes would reach
    // the bootloader as commands of its own. The pedal runs no effect meanwhile.
    btnUpload->setEnabled(!bootloader);
    btnOpenEffect->setEnabled(!bootloader);
    chkFirmwareUpgradeMode->setEnabled(false);
    menuScan->setEnabled(false);
    menuConnect->setEnabled(false);
    menuDisconnect->setEnabled(true);

    if (bootloader) {
        m_app.state.EffectOnPedal = false;
        m_app.state.PedalEffectName.clear();
        btnRequest->setEnabled(false);
        btnAssign->setEnabled(false);
        btnStoreSettingsOnPedal->setEnabled(false);
        if (TformFXParameters *parameters = m_app.formFXParameters(); parameters && parameters->isVisible())
            parameters->EnableDisableControls(false);
        CommandExchange &exchange = m_app.exchange();
        auto scope = exchange.begin(QStringLiteral("bootloader greeting"), CommandExchange::Listener::Bootloader);
        if (!scope)
            return;
        if (!exchange.dropStaleBytes()
            || !exchange.sendBytes(bootloaderSyncCommand(), false))
            return;
        const CommandExchange::Answer reply = exchange.CollectAnswerText(bootloaderAnswer());
        // The link gone or the program closing: that has been dealt with.
        if (reply.outcome == CommandExchange::Outcome::LinkFailed
            || reply.outcome == CommandExchange::Outcome::Quitting)
            return;
        const QString answer = bytesToHex(reply.bytes.left(1));
        console.appendConsoleLine(QStringLiteral("received Byte: ") + answer);
        bool inStep = answer == QLatin1String("79");
        if (!inStep) {
            BootloaderLink link(usb, m_app.pacing, m_app.clock, console);
            link.stopWhen = [&exchange] { return exchange.quitting(); };
            inStep = link.recoverAfterGreeting();
            if (exchange.quitting())
                return;
        }
        if (inStep) {
            m_app.prompts.showMessage(QStringLiteral("Connection to bootloader succeeded"));
            menuStartFirmwareUpgrade->setEnabled(true);
        } else {
            m_app.prompts.showMessage(QStringLiteral("Connection to bootloader failed"));
        }
    }

    ReadDeviceIdentity(usb, console);
}

void TformMain::menuDisconnectClick()
{
    if (m_app.usb.CloseFTDevice() != 0)
        return;
    m_app.exchange().setLinkListener(CommandExchange::Listener::None);
    showDisconnected();
}

void TformMain::deviceLost()
{
    m_app.prompts.showMessage(QStringLiteral("The pedal was disconnected."));
    m_app.exchange().dropDeferred();
    m_app.exchange().setLinkListener(CommandExchange::Listener::None);
    // Frees the port (and its lock) for the bridge when it comes back; the failure of a call
    // on a device that has gone is not shown again.
    m_app.usb.CloseFTDevice();
    showDisconnected();
}

void TformMain::showDisconnected()
{
    lblDeviceName->setText(lblDeviceName->text().remove(QStringLiteral("connected")));
    menuScan->setEnabled(true);
    menuConnect->setEnabled(true);
    menuDisconnect->setEnabled(false);
    btnUpload->setEnabled(false);
    btnOpenEffect->setEnabled(false);
    btnRequest->setEnabled(false);
    btnAssign->setEnabled(false);
    btnStoreSettingsOnPedal->setEnabled(false);
    if (TformFXParameters *parameters = m_app.formFXParameters(); parameters && parameters->isVisible())
        parameters->EnableDisableControls(false);
}

} // namespace tovel
