// The pedal's effect and settings: Open FX, Request, Assign, Store Settings On Pedal.
#include "app/application.h"
#include "app/tformmain.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectbrowser.h"
#include "core/seams.h"
#include "params/paramtables.h"
#include "params/stateanswer.h"
#include "params/tformfxparameters.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"

#include <QLabel>
#include <QPushButton>

namespace tovel {

void TformMain::btnOpenEffectClick()
{
    CommandExchange &exchange = m_app.exchange();
    const CommandInfo &query = commandInfo(CommandCode::EffectQuery);
    exchange.sendBytes(QByteArray::fromHex("0500"), query.purgeTransmit);
    btnOpenEffect->setEnabled(false);
    m_app.pacing.sleepMs(query.pauseAfterMs);
    btnOpenEffect->setEnabled(true);

    QString answer;
    exchange.CollectAnswerText(answer);
    ParseEffectInfo(answer);
    if (!LookUpPedalEffect())
        return;

    MainState &state = m_app.state;
    TformFXParameters &window = *m_app.formFXParameters();
    window.openBeside(*this, state.PedalEffectName + QStringLiteral(" v%1").arg(state.PedalEffectVersion));
    // The rows stay unusable until a state request has filled them.
    window.EnableDisableControls(false);
    btnRequest->setEnabled(true);
    m_app.browser().pointAtPedalEffect();
}

void TformMain::ParseEffectInfo(const QString &answer)
{
    const EffectInfo info = tovel::ParseEffectInfo(answer);
    MainState &state = m_app.state;
    state.PedalEffectNumber = info.effectNumber;
    state.PedalEffectVersion = info.effectVersion;
    state.FirmwareVersion = info.firmwareVersion;
    Console &console = m_app.console();
    console.printToConsole(QStringLiteral("effect number DEC: %1").arg(info.effectNumber));
    console.printToConsole(QStringLiteral("effect number HEX: ") + hexField(quint32(info.effectNumber), 8));
    console.printToConsole(QStringLiteral("effect version: %1").arg(info.effectVersion));
    console.printToConsole(QStringLiteral("firmware version: %1").arg(info.firmwareVersion));
    lblFirmwareVersion->setText(QStringLiteral("Firmware Version: %1").arg(info.firmwareVersion));
}

bool TformMain::LookUpPedalEffect()
{
    CatalogueLoader &loader = m_app.loader();
    if (!loader.LoadListResource(QStringLiteral("effect_list")))
        return false;
    MainState &state = m_app.state;
    const QStringList &list = loader.CurrentList();
    // Effect 0 is "empty": no effect runs, so there is no layout to open. A number past the
    // list is an effect this editor does not know.
    if (state.PedalEffectNumber <= 0 || state.PedalEffectNumber >= list.size()) {
        m_app.prompts.showMessage(
            state.PedalEffectNumber == 0
                ? QStringLiteral("The pedal runs no effect. Upload an effect first.")
                : QStringLiteral("The pedal runs effect number %1, which this editor does not know.")
                      .arg(state.PedalEffectNumber));
        return false;
    }
    const QString line = list[state.PedalEffectNumber];
    m_app.console().printToConsole(line);
    const int colon = line.indexOf(QLatin1Char(':'));
    state.PedalEffectName = colon < 0 ? line : line.mid(colon + 1);
    m_app.console().printToConsole(QStringLiteral("effetto ottenuto dalla lista: ") + state.PedalEffectName);
    state.SelectedEffectName = state.PedalEffectName;
    state.EffectOnPedal = true;
    btnRequest->setEnabled(true);
    btnRequest->setFocus();
    return true;
}

void TformMain::btnRequestClick()
{
    // In live mode the requests follow one another until Live Request is unticked. A link
    // that has gone ends them: the next wait would fail at once, and its message box again.
    while (RequestParameters() && m_app.state.LiveMode) {
    }
}

bool TformMain::RequestParameters()
{
    TformFXParameters &window = *m_app.formFXParameters();
    MainState &state = m_app.state;
    const CommandInfo &request = commandInfo(CommandCode::StateRequest);
    m_app.exchange().sendHex(stateRequestHex(window.NumParams()), request.length, request.purgeTransmit);
    btnRequest->setEnabled(false);
    // So that the whole answer is queued before the first read.
    m_app.pacing.sleepMs(request.pauseAfterMs);

    const std::optional<QByteArray> answer = m_app.exchange().CollectAnswerBlock();
    if (answer) {
        // An answer that does not parse ends the request here (the general error report shows
        // why): none of it reaches the rows, so none of it is sent back to the pedal.
        state.ReceivedBytes = tovel::ParseParameterAnswer(*answer);
        m_app.console().printToConsole(QStringLiteral("num of bytes received: %1").arg(state.ReceivedBytes.size()));
    }
    // A failed wait parses nothing: the previous answer is applied again.
    window.ApplyReceivedValues(state.ReceivedBytes);
    btnRequest->setEnabled(true);
    if (!state.LiveMode) {
        window.ApplyAssignments(state.ReceivedBytes);
        window.ApplyReverse(state.ReceivedBytes);
        window.ApplyLimits(state.ReceivedBytes);
    }
    btnAssign->setEnabled(true);
    btnStoreSettingsOnPedal->setEnabled(true);
    window.EnableDisableControls(true);
    return answer.has_value();
}

void TformMain::btnAssignClick()
{
    TformFXParameters &window = *m_app.formFXParameters();
    ParamTables &tables = m_app.params;
    BuildAssignPayload(tables, window.reverseFlags(), window.NumParams(), m_app.console());
    QByteArray command(1, char(CommandCode::AssignmentTable));
    command.append(reinterpret_cast<const char *>(tables.AssignPayload.data()), kAssignPayloadSize);
    const CommandInfo &assign = commandInfo(CommandCode::AssignmentTable);
    m_app.exchange().sendBytes(command, assign.purgeTransmit);
    btnAssign->setEnabled(false);
    m_app.pacing.sleepMs(assign.pauseAfterMs);
    btnAssign->setEnabled(true);
}

void TformMain::btnStoreSettingsOnPedalClick()
{
    const QString hex = storeSettingsHex(m_app.formFXParameters()->NumParams());
    m_app.console().printToConsole(QStringLiteral("Store settings message (HEX): ") + hex);
    const CommandInfo &store = commandInfo(CommandCode::StoreSettings);
    m_app.exchange().sendHex(hex, store.length, store.purgeTransmit);
    m_app.pacing.sleepMs(store.pauseAfterMs);
}

} // namespace tovel
