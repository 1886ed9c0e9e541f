// The pedal's effect and settings: Open FX, Request, Assign, Store Settings On Pedal.
#include "actions/openfxactions.h"
#include "actions/pedalactions.h"
#include "app/application.h"
#include "app/effectbrowser.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "params/settingsmodel.h"
#include "core/rememberedswitch.h"
#include "core/seams.h"

#include <QLabel>
#include <algorithm>
#include <QPushButton>

namespace tovel {

void TformMain::btnOpenEffectClick()
{
    actionStarted();
    // The firmware label follows the answer (firmwareVersionReported), also when no effect runs.
    const ActionResult<EffectQueryResult> result = openPedalEffect(m_app.session(), false);
    if (!showFailure(result.failure)) {
        showPedalState();
        return;
    }
    TformFXParameters &window = *m_app.formFXParameters();
    window.openBeside(*this, result.value.effect + QStringLiteral(" v%1").arg(result.value.info->effectVersion));
    // The rows stay unusable until a state request has filled them (they follow the session).
    showPedalState();
    btnRequest->setFocus();
    m_app.browser().pointAtPedalEffect();
    showActionStatus(QStringLiteral("The pedal runs %1: Request reads its settings.").arg(result.value.effect));
}

void TformMain::btnRequestClick()
{
    actionStarted();
    // In live mode the requests follow one another until Live Request is unticked. A request
    // that does not complete ends them: its message would otherwise come again and again.
    while (RequestParameters() && m_app.session().LiveMode()) {
    }
}

bool TformMain::RequestParameters()
{
    const ActionResult<Done> result = requestState(m_app.session(), [this] { btnRequest->setEnabled(false); });
    showPedalState();
    return showFailure(result.failure);
}

void TformMain::btnAssignClick()
{
    actionStarted();
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
    actionStarted();
    if (!showFailure(storeSettings(m_app.session()).failure)) {
        showActionStatus(QStringLiteral("Store Settings not sent."));
        return;
    }
    showActionStatus(QStringLiteral("Store Settings sent: the pedal keeps the settings of its %1 rows.")
                         .arg(m_app.session().settings().rows().NumParams()));
}

void TformMain::menuShowLevelsClick()
{
    const bool on = menuShowLevels->isChecked();
    m_app.formFXParameters()->setLevelsShown(on);
    const QString error = saveRememberedSwitch(TformFXParameters::levelsChoicePath(m_app.folders.documents()), on);
    if (!error.isEmpty())
        m_app.prompts.showMessage(QStringLiteral("Error saving file: ") + error);
}

} // namespace tovel
