// Connection menu: Scan, Connect, Disconnect, and a bridge that goes.
#include "actions/linkactions.h"
#include "app/application.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "core/seams.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace tovel {

void TformMain::menuScanClick()
{
    lblSerialNumber->setText(QStringLiteral("Serial Number: "));
    lblDeviceName->setText(QStringLiteral("Device Name"));
    const QList<ListedBridge> bridges = listBridges(m_app.session(), true);
    if (bridges.isEmpty()) {
        m_app.prompts.showMessage(QStringLiteral("No device found"));
        lblDeviceName->setText(QStringLiteral("No device found"));
        return;
    }
    for (const ListedBridge &bridge : bridges) {
        lblSerialNumber->setText(lblSerialNumber->text() + bridge.serialNumber);
        lblDeviceName->setText(bridge.description);
        m_app.prompts.showMessage(bridge.description + QStringLiteral(" found, click Connect"));
    }
}

void TformMain::menuConnectClick()
{
    EditorSession &session = m_app.session();
    const bool bootloader = session.link.FirmwareUpgradeMode;
    const ActionResult<Connection> result = connectPedal(session, [this, bootloader] { showConnected(bootloader); });
    // A failed open has been said by the USB layer; a link that went during the greeting, or a
    // program that closes meanwhile, has been dealt with.
    if (!bootloader || result.failure)
        return;
    if (result.value.greeted) {
        m_app.prompts.showMessage(QStringLiteral("Connection to bootloader succeeded"));
        menuStartFirmwareUpgrade->setEnabled(true);
    } else {
        m_app.prompts.showMessage(QStringLiteral("Connection to bootloader failed"));
    }
}

void TformMain::showConnected(bool bootloader)
{
    lblDeviceName->setText(lblDeviceName->text() + QStringLiteral(" connected"));
    // On a link to the bootloader the effect commands stay off: an effect's bytes would reach
    // the bootloader as commands of its own. The pedal runs no effect meanwhile.
    btnUpload->setEnabled(!bootloader);
    btnOpenEffect->setEnabled(!bootloader);
    chkFirmwareUpgradeMode->setEnabled(false);
    menuScan->setEnabled(false);
    menuConnect->setEnabled(false);
    menuDisconnect->setEnabled(true);
    if (!bootloader)
        return;
    btnRequest->setEnabled(false);
    btnAssign->setEnabled(false);
    btnStoreSettingsOnPedal->setEnabled(false);
    if (TformFXParameters *parameters = m_app.formFXParameters(); parameters && parameters->isVisible())
        parameters->EnableDisableControls(false);
}

void TformMain::menuDisconnectClick()
{
    if (!disconnectPedal(m_app.session()))
        return;
    showDisconnected();
}

void TformMain::deviceLost()
{
    m_app.prompts.showMessage(QStringLiteral("The pedal was disconnected."));
    forgetLostPedal(m_app.session());
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
