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
