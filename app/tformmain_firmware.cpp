// Firmware Upgrade menu: Upgrade Mode, Start Firmware Upgrade, and the hidden check box.
#include "app/application.h"
#include "app/tformmain.h"
#include "app/tformfirmwareupgrade.h"

#include <QAction>
#include <QCheckBox>

namespace tovel {

// Upgrade mode only changes what Connect says: it greets the controller's bootloader, which
// the user has started by hand. Nothing is sent here.
void TformMain::menuFirmwareUpgradeModeClick()
{
    m_app.session().link.FirmwareUpgradeMode = menuFirmwareUpgradeMode->isChecked();
}

void TformMain::chkFirmwareUpgradeModeChange()
{
    m_app.session().link.FirmwareUpgradeMode = chkFirmwareUpgradeMode->isChecked();
}

void TformMain::menuStartFirmwareUpgradeClick()
{
    TformFirmwareUpgrade *window = m_app.formFirmwareUpgrade();
    // Shown anew it comes up on top; an open one behind the main window is brought forward.
    if (window->isVisible())
        window->raise();
    window->show();
    window->activateWindow();
}

} // namespace tovel
