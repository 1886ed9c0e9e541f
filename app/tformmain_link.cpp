// Connection menu: Scan, Connect, Disconnect, and bridges that come and go.
#include "actions/linkactions.h"
#include "actions/pedalhotplug.h"
#include "app/application.h"
#include "app/pedalstatetext.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "app/usbfailuretext.h"
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
    // One bridge at a time: its lines, its labels, its box, then the next one.
    const QList<ListedBridge> bridges = listBridges(m_app.session(), true, [this](const ListedBridge &bridge) {
        lblSerialNumber->setText(lblSerialNumber->text() + bridge.serialNumber);
        lblDeviceName->setText(bridge.description);
        m_app.prompts.showMessage(bridge.description + QStringLiteral(" found, click Connect"));
    });
    showNoPedal(bridges.isEmpty());
    if (bridges.isEmpty()) {
        m_app.prompts.showMessage(QStringLiteral("No device found\n") + noPedalFoundText());
        lblDeviceName->setText(QStringLiteral("No device found"));
    }
}

void TformMain::menuConnectClick()
{
    actionStarted();
    EditorSession &session = m_app.session();
    const bool bootloader = session.link.FirmwareUpgradeMode;
    // The window shows the open link as the session tells it (followSession), before the
    // greeting; the greeting's message comes before the bridge's identity is read.
    const ActionResult<Connection> result =
        connectPedal(session, {}, OpenFailure::Shown, [this, bootloader](bool greeted) {
            if (!bootloader)
                return;
            if (greeted) {
                m_app.prompts.showMessage(QStringLiteral("Connection to bootloader succeeded"));
                menuStartFirmwareUpgrade->setEnabled(true);
            } else {
                m_app.prompts.showMessage(QStringLiteral("Connection to bootloader failed"));
            }
        });
    // A failed open has been said by the USB layer; the status line says what to do next. A
    // link that went during the greeting, or a program that closes meanwhile, has been dealt
    // with.
    if (result.failure && result.failure->kind == ActionFailure::Kind::NoPedal) {
        const std::optional<UsbFailure> &usbFailure = session.usb.lastFailure();
        if (usbFailure && foundNoPedal(*usbFailure))
            showNoPedal(true);
        else
            showActionStatus(usbFailure ? usbFailureAdvice(*usbFailure) : QString());
        return;
    }
    if (!result.failure && !bootloader)
        showActionStatus(QStringLiteral("Connected. Next: choose an effect and Upload Selected Effect, or Open FX to "
                                        "read the one the pedal runs."));
}

void TformMain::showConnected(bool /*bootloader*/)
{
    lblDeviceName->setText(lblDeviceName->text() + QStringLiteral(" connected"));
    chkFirmwareUpgradeMode->setEnabled(false);
    // On a link to the bootloader the effect commands stay off (showPedalState), and so do the
    // rows (they follow the pedal state): an effect's bytes would reach the bootloader as
    // commands of its own.
    showPedalState();
}

void TformMain::menuDisconnectClick()
{
    actionStarted();
    disconnectPedal(m_app.session());
}

void TformMain::showPedalState()
{
    EditorSession &session = m_app.session();
    const PedalState &state = session.pedalState();
    const bool link = state.listener() != PedalState::Listener::None;
    const bool effectLink = state.listener() == PedalState::Listener::EffectFirmware;
    menuScan->setEnabled(!link);
    menuConnect->setEnabled(!link);
    menuDisconnect->setEnabled(link);
    btnUpload->setEnabled(effectLink);
    btnOpenEffect->setEnabled(effectLink);
    // A state request is asked for the rows of the effect the pedal said it runs; Assign and
    // Store send what a request read into them.
    btnRequest->setEnabled(effectLink && session.rowsOnPedal());
    btnAssign->setEnabled(effectLink && session.rowsRead());
    btnStoreSettingsOnPedal->setEnabled(effectLink && session.rowsRead());
    const QString line = pedalStateText(state);
    lblPedalState->setText(line);
    lblPedalState->setToolTip(state.kind() == PedalState::Kind::OutOfStep && !state.outOfStepReason().isEmpty()
                                  ? line + QStringLiteral(" (") + state.outOfStepReason() + QLatin1Char(')')
                                  : line);
    lblPedalState->setAccessibleDescription(line);
}

void TformMain::deviceLost()
{
    m_app.prompts.showMessage(QStringLiteral("The pedal was disconnected."));
    forgetLostPedal(m_app.session());
}

void TformMain::followSession()
{
    EditorSession &session = m_app.session();
    connect(&session, &EditorSession::linkOpened, this, &TformMain::showConnected);
    connect(&session, &EditorSession::linkClosed, this, &TformMain::showDisconnected);
    connect(&session, &EditorSession::bridgesListed, this, &TformMain::showListedBridges);
    connect(&session, &EditorSession::firmwareUpgradeModeChanged, this, [this](bool on) {
        menuFirmwareUpgradeMode->setChecked(on);
        chkFirmwareUpgradeMode->setChecked(on);
    });
    connect(&session, &EditorSession::firmwareVersionReported, this, [this](int version) {
        lblFirmwareVersion->setText(QStringLiteral("Firmware Version: %1").arg(version));
    });
    connect(&session.pedalState(), &PedalState::changed, this, &TformMain::showPedalState);
    connect(&session, &EditorSession::rowsReadChanged, this, &TformMain::showPedalState);
    connect(&session, &EditorSession::effectChosen, this, &TformMain::showPedalState);
    connect(&session.settings(), &SettingsModel::opened, this, &TformMain::showPedalState);
    connect(&session.settings(), &SettingsModel::closed, this, &TformMain::showPedalState);
    // A line check for values moved while the line was out of step failed: said where the
    // player looks, without a box the player did not ask for.
    connect(&session, &EditorSession::keptValuesDropped, this,
            [this](const QString &message) { showActionStatus(message); });
}

void TformMain::showListedBridges(const QList<ListedBridge> &bridges)
{
    lblSerialNumber->setText(QStringLiteral("Serial Number: "));
    lblDeviceName->setText(bridges.isEmpty() ? QStringLiteral("No device found") : QStringLiteral("Device Name"));
    for (const ListedBridge &bridge : bridges) {
        lblSerialNumber->setText(lblSerialNumber->text() + bridge.serialNumber);
        lblDeviceName->setText(bridge.description);
    }
    showNoPedal(bridges.isEmpty());
}

void TformMain::showNoPedal(bool none)
{
    static const QString kNoPedal = noPedalFoundText();
    // The line is wider than the label: it wraps onto a second line in the gap above Open FX,
    // and the label takes its own height back for the pedal's one-line status texts.
    constexpr int kStatusHeight = 17;
    if (none)
        lblStatus->setText(kNoPedal);
    else if (lblStatus->text() == kNoPedal)
        lblStatus->setText(QStringLiteral("Status: "));
    lblStatus->setWordWrap(none);
    lblStatus->resize(lblStatus->width(), none ? btnOpenEffect->y() - lblStatus->y() : kStatusHeight);
}

void TformMain::menuConnectWhenPluggedInClick()
{
    const QString error = m_app.hotplug().setConnectWhenPluggedIn(menuConnectWhenPluggedIn->isChecked());
    if (!error.isEmpty())
        m_app.prompts.showMessage(QStringLiteral("Error saving file: ") + error);
}

void TformMain::showDisconnected()
{
    lblDeviceName->setText(lblDeviceName->text().remove(QStringLiteral("connected")));
    showPedalState();
}

} // namespace tovel
