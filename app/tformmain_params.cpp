// The pedal's effect and settings: Open FX, Request, Assign, Store Settings On Pedal.
#include "actions/pedalactions.h"
#include "app/application.h"
#include "app/effectbrowser.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "params/settingsmodel.h"
#include "core/seams.h"

#include <QLabel>
#include <algorithm>
#include <QPushButton>

namespace tovel {

void TformMain::btnOpenEffectClick()
{
    const ActionResult<EffectQueryResult> result = queryEffect(m_app.session());
    if (result.value.info)
        lblFirmwareVersion->setText(QStringLiteral("Firmware Version: %1").arg(result.value.info->firmwareVersion));
    if (!showFailure(result.failure))
        return;
    btnRequest->setEnabled(true);
    btnRequest->setFocus();
    TformFXParameters &window = *m_app.formFXParameters();
    window.openBeside(*this, result.value.effect + QStringLiteral(" v%1").arg(result.value.info->effectVersion));
    // The rows stay unusable until a state request has filled them.
    window.EnableDisableControls(false);
    btnRequest->setEnabled(true);
    m_app.browser().pointAtPedalEffect();
}

void TformMain::btnRequestClick()
{
    // In live mode the requests follow one another until Live Request is unticked. A request
    // that does not complete ends them: its message would otherwise come again and again.
    while (RequestParameters() && m_app.session().LiveMode) {
    }
}

bool TformMain::RequestParameters()
{
    const ActionResult<Done> result = requestState(m_app.session(), [this] { btnRequest->setEnabled(false); });
    if (result.failure) {
        // A request that went out and came back wrong leaves Request usable; one that was
        // dropped, or whose link went, leaves the window as whoever ended it set it.
        if (result.failure->kind == ActionFailure::Kind::PedalAnswer)
            btnRequest->setEnabled(true);
        showFailure(result.failure);
        return false;
    }
    btnRequest->setEnabled(true);
    btnAssign->setEnabled(true);
    btnStoreSettingsOnPedal->setEnabled(true);
    m_app.formFXParameters()->EnableDisableControls(true);
    return true;
}

void TformMain::btnAssignClick()
{
    // The pedal answers neither command: the line says what went to it.
    if (!showFailure(assignControls(m_app.session()).failure)) {
        showActionStatus(QStringLiteral("Assignments not sent."));
        return;
    }
    const int rows = m_app.session().settings().rows().NumParams();
    const auto &assigned = m_app.params.IsAssigned;
    const int driven = int(std::count(assigned.begin(), assigned.begin() + std::clamp(rows, 0, int(assigned.size())), true));
    showActionStatus(QStringLiteral("Assignments sent to the pedal: %1 of %2 rows on a pedal control.").arg(driven).arg(rows));
}

void TformMain::btnStoreSettingsOnPedalClick()
{
    if (!showFailure(storeSettings(m_app.session()).failure)) {
        showActionStatus(QStringLiteral("Store Settings not sent."));
        return;
    }
    showActionStatus(QStringLiteral("Store Settings sent: the pedal keeps the settings of its %1 rows.")
                         .arg(m_app.session().settings().rows().NumParams()));
}

} // namespace tovel
