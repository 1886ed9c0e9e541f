#include "actions/openfxactions.h"

#include "core/nowidgets.h"

#include "session/editorsession.h"

namespace tovel {

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
    // The catalogue's loader has said why a layout or a program did not load.
    if (!session.openRows())
        return R::fail(ActionFailure::Kind::File, QStringLiteral("effect query"),
                       QStringLiteral("The rows of %1 could not be read from the catalogue.").arg(result.value.effect));
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
