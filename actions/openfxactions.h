#pragma once

#include "actions/pedalactions.h"
#include "core/actionfailure.h"

namespace tovel {

class EditorSession;

// Open FX's exchange: asks which effect the pedal runs and makes it the chosen effect.
struct EffectQueryResult {
    std::optional<EffectInfo> info; // also when the number names no effect
    QString effect;                 // its display name
};
// A pedal that runs no effect (number 0) is an answer: info says so, effect stays empty.
ActionResult<EffectQueryResult> queryEffect(EditorSession &session);
// Open FX's refusal of a pedal that runs no effect; nothing for any other answer.
std::optional<ActionFailure> noEffectRunning(const EffectQueryResult &result);

// Open FX followed by Request, as a player goes from a pedal that runs an effect to rows that
// hold its settings: the effect query makes the pedal's effect the chosen one, its rows open
// in the settings model (disabled until the state has come), then the state request fills
// them. Without `request` the rows stay as they opened. A failure names the step that stopped
// it; the rows may be open by then.
ActionResult<EffectQueryResult> openPedalEffect(EditorSession &session, bool request, Echo echo = Echo::Changed);

} // namespace tovel
