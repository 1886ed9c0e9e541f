// The pedal's effect and settings: Open FX, Request, Assign, Store Settings On Pedal.
#include "app/application.h"
#include "app/tformmain.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectbrowser.h"
#include "core/seams.h"
#include "params/paramtables.h"
#include "protocol/effectquery.h"
#include "protocol/stateblock.h"
#include "params/tformfxparameters.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"

#include <QLabel>
#include <QPushButton>

namespace tovel {

namespace {

// The answer did not come whole, or is noise: say so, unless the link has gone (which has been
// said) or the program is closing. True for a whole answer that reads as its kind.
bool answerArrived(Prompts &prompts, const AnswerRule &rule, const CommandExchange::Answer &answer)
{
    const QString message = CommandExchange::failureMessage(rule, answer);
    if (!message.isEmpty())
        prompts.showMessage(message);
    return answer.complete() && message.isEmpty();
}

bool linkEnded(const CommandExchange::Answer &answer)
{
    return answer.outcome == CommandExchange::Outcome::LinkFailed
        || answer.outcome == CommandExchange::Outcome::Quitting;
}

} // namespace

void TformMain::btnOpenEffectClick()
{
    CommandExchange &exchange = m_app.exchange();
    auto scope = exchange.begin(QStringLiteral("effect query"));
    if (!scope)
        return;
    const CommandInfo &query = commandInfo(CommandCode::EffectQuery);
    // A link found gone on the way has ended the exchange and set the window.
    if (!exchange.dropStaleBytes() || !exchange.sendBytes(effectQueryCommand(), query.purgeTransmit))
        return;
    btnOpenEffect->setEnabled(false);
    m_app.pacing.sleepMs(query.pauseAfterMs);
    btnOpenEffect->setEnabled(true);

    const AnswerRule rule = effectQueryAnswer();
    const CommandExchange::Answer answer = exchange.CollectAnswerText(rule);
    if (!answerArrived(m_app.prompts, rule, answer))
        return;
    ParseEffectInfo(QString::fromUtf8(answer.bytes));
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
    // In live mode the requests follow one another until Live Request is unticked. A request
    // that does not complete ends them: its message would otherwise come again and again.
    while (RequestParameters() && m_app.state.LiveMode) {
    }
}

bool TformMain::RequestParameters()
{
    TformFXParameters &window = *m_app.formFXParameters();
    MainState &state = m_app.state;
    CommandExchange &exchange = m_app.exchange();
    auto scope = exchange.begin(QStringLiteral("state request"));
    if (!scope)
        return false;
    // The answer is for these rows of this effect, and for no others.
    const int rows = window.NumParams();
    const QString effect = state.SelectedEffectName;
    const int build = window.buildCount();

    const CommandInfo &request = commandInfo(CommandCode::StateRequest);
    if (!exchange.dropStaleBytes()
        || exchange.sendHex(stateRequestHex(rows), request.length, request.purgeTransmit) < 0)
        return false;
    btnRequest->setEnabled(false);
    // So that the whole answer is queued before the first read.
    m_app.pacing.sleepMs(request.pauseAfterMs);

    const AnswerRule rule = stateRequestAnswer(rows);
    const CommandExchange::Answer answer = exchange.CollectAnswerBlock(rule);
    // Nothing of a partial, unreadable or stale answer reaches the rows or goes back to the
    // pedal. The window is left as before the request; after a lost link, as after Disconnect.
    if (linkEnded(answer))
        return false;
    if (const QString fault = stateAnswerFault(answer.bytes); !fault.isEmpty())
        m_app.console().printToConsole(fault);
    if (!answerArrived(m_app.prompts, rule, answer)) {
        btnRequest->setEnabled(true);
        return false;
    }
    if (window.buildCount() != build || state.SelectedEffectName != effect) {
        // Whoever rebuilt or closed the window has set Request as the new window needs.
        m_app.console().printToConsole(
            QStringLiteral("state answer dropped: it was asked for the %1 rows of %2, which the "
                           "parameter window no longer shows")
                .arg(rows)
                .arg(effect));
        return false;
    }
    QList<quint8> received = tovel::ParseParameterAnswer(answer.bytes);
    if (const QString fault = implausibleRowLevel(received, rows); !fault.isEmpty()) {
        m_app.console().printToConsole(fault);
        exchange.distrustLine();
        m_app.prompts.showMessage(QStringLiteral("The pedal's answer to the %1 could not be read.").arg(rule.what));
        btnRequest->setEnabled(true);
        return false;
    }
    state.ReceivedBytes = std::move(received);
    m_app.console().printToConsole(QStringLiteral("num of bytes received: %1").arg(state.ReceivedBytes.size()));
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
    return true;
}

void TformMain::btnAssignClick()
{
    auto scope = m_app.exchange().begin(QStringLiteral("assignment table"));
    if (!scope)
        return;
    TformFXParameters &window = *m_app.formFXParameters();
    ParamTables &tables = m_app.params;
    BuildAssignPayload(tables, window.reverseFlags(), window.NumParams(), m_app.console());
    const CommandInfo &assign = commandInfo(CommandCode::AssignmentTable);
    if (!m_app.exchange().sendBytes(assignmentTableCommand(tables.AssignPayload), assign.purgeTransmit))
        return;
    btnAssign->setEnabled(false);
    m_app.pacing.sleepMs(assign.pauseAfterMs);
    btnAssign->setEnabled(true);
}

void TformMain::btnStoreSettingsOnPedalClick()
{
    auto scope = m_app.exchange().begin(QStringLiteral("store settings"));
    if (!scope)
        return;
    const QString hex = storeSettingsHex(m_app.formFXParameters()->NumParams());
    m_app.console().printToConsole(QStringLiteral("Store settings message (HEX): ") + hex);
    const CommandInfo &store = commandInfo(CommandCode::StoreSettings);
    m_app.exchange().sendHex(hex, store.length, store.purgeTransmit);
    m_app.pacing.sleepMs(store.pauseAfterMs);
}

} // namespace tovel
