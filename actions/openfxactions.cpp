#include "actions/openfxactions.h"

#include "core/nowidgets.h"

#include "catalogue/catalogueloader.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"

namespace tovel {

using Kind = ActionFailure::Kind;

ActionResult<EffectQueryResult> queryEffect(EditorSession &session)
{
    using R = ActionResult<EffectQueryResult>;
    const QString step = QStringLiteral("effect query");
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::EffectFirmware, step);
    if (started.failure)
        return {started.failure, {}};
    // The query is its own proof: its answer, whole and alone, puts the line in step.
    const ActionResult<EffectInfo> asked = session.askEffect(step);
    if (!asked)
        return {asked.failure, {}};

    R result;
    const EffectInfo &info = asked.value;
    result.value.info = info;
    PedalFacts &pedal = session.pedal;
    Console &console = session.console();
    console.printToConsole(QStringLiteral("effect number DEC: %1").arg(info.effectNumber));
    console.printToConsole(QStringLiteral("effect number HEX: ") + hexField(quint32(info.effectNumber), 8));
    console.printToConsole(QStringLiteral("effect version: %1").arg(info.effectVersion));
    console.printToConsole(QStringLiteral("firmware version: %1").arg(info.firmwareVersion));
    session.rememberEffect(info);
    // Effect 0 is "empty": the pedal runs no effect, which is an answer, not a failure.
    if (info.effectNumber == 0)
        return result;

    // LookUpPedalEffect: the effect number is the line of the effect list.
    CatalogueLoader &loader = session.loader();
    if (!loader.LoadListResource(QStringLiteral("effect_list"))) {
        result.failure = ActionFailure{Kind::File, step, {}, loader.error()};
        return result;
    }
    const QStringList &list = loader.CurrentList();
    // A number past the list is an effect this editor does not know.
    if (pedal.PedalEffectNumber < 0 || pedal.PedalEffectNumber >= list.size()) {
        result.failure = ActionFailure{
            Kind::PedalAnswer, step, {},
            QStringLiteral("The pedal runs effect number %1, which this editor does not know.").arg(pedal.PedalEffectNumber)};
        return result;
    }
    const QString line = list[pedal.PedalEffectNumber];
    console.printToConsole(line);
    const int colon = int(line.indexOf(QLatin1Char(':')));
    pedal.PedalEffectName = colon < 0 ? line : line.mid(colon + 1);
    console.printToConsole(QStringLiteral("effetto ottenuto dalla lista: ") + pedal.PedalEffectName);
    session.selection.SelectedEffectName = pedal.PedalEffectName;
    session.selection.EffectOnPedal = true;
    result.value.effect = pedal.PedalEffectName;
    return result;
}

std::optional<ActionFailure> noEffectRunning(const EffectQueryResult &result)
{
    if (!result.info || result.info->effectNumber != 0)
        return std::nullopt;
    return ActionFailure{Kind::PedalAnswer, QStringLiteral("effect query"), {},
                         QStringLiteral("The pedal runs no effect. Upload an effect first."),
                         ActionFailure::Advice::None};
}

ActionResult<EffectQueryResult> openPedalEffect(EditorSession &session, bool request, Echo echo)
{
    using R = ActionResult<EffectQueryResult>;
    R result = queryEffect(session);
    if (!result)
        return result;
    if (std::optional<ActionFailure> none = noEffectRunning(result.value)) {
        result.failure = none;
        return result;
    }
    if (!session.openRows())
        return R::fail(ActionFailure::Kind::File, QStringLiteral("effect query"), session.settings().rows().problem);
    SettingsModel &model = session.settings();
    model.setRowsEnabled(false);
    if (!request)
        return result;
    if (ActionResult<Done> state = requestState(session, {}, echo); !state) {
        result.failure = state.failure;
        return result;
    }
    model.setRowsEnabled(true);
    return result;
}

} // namespace tovel
