// Firmware Upgrade menu: Upgrade Mode, Start Firmware Upgrade, and the hidden check box.
#include "app/application.h"
#include "app/tformmain.h"
#include "app/tformfirmwareupgrade.h"
#include "app/windowplacement.h"

#include <QAction>
#include <QCheckBox>

namespace tovel {

// Upgrade mode only changes what Connect says: it greets the controller's bootloader, which
// the user has started by hand. Nothing is sent here.
void TformMain::menuFirmwareUpgradeModeClick()
{
    m_app.session().setFirmwareUpgradeMode(menuFirmwareUpgradeMode->isChecked());
    showUpgradeModeStep();
}

void TformMain::chkFirmwareUpgradeModeChange()
{
    m_app.session().setFirmwareUpgradeMode(chkFirmwareUpgradeMode->isChecked());
    showUpgradeModeStep();
}

void TformMain::showUpgradeModeStep()
{
    if (!m_app.session().link.FirmwareUpgradeMode) {
        showActionStatus(QStringLiteral("Upgrade Mode off: Connect reaches the effect firmware again."));
        return;
    }
    showActionStatus(m_app.session().linkOpen()
                         ? QStringLiteral("Upgrade Mode on. Disconnect, start the pedal in its bootloader, then "
                                          "Connection > Connect and Firmware Upgrade > Start Firmware Upgrade.")
                         : QStringLiteral("Upgrade Mode on. Start the pedal in its bootloader, then Connection > "
                                          "Connect and Firmware Upgrade > Start Firmware Upgrade."));
}

void TformMain::menuStartFirmwareUpgradeClick()
{
    TformFirmwareUpgrade *window = m_app.formFirmwareUpgrade();
    // Shown anew it comes up on top; an open one behind the main window is brought forward.
    if (window->isVisible()) {
        window->raise();
    } else {
        // Over the main window, where the player looks, and wholly on its screen.
        const QRect spot = placeCentred(availableGeometryFor(*this), frameGeometry(),
                                        window->size().grownBy(frameMarginsOf(*window, *this)));
        window->move(spot.topLeft());
    }
    window->show();
    window->activateWindow();
}

} // namespace tovel
