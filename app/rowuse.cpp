#include "app/rowuse.h"

#include "params/paramrows.h"
#include "session/editorsession.h"

namespace tovel {

RowUse rowUse(const RowFacts &facts)
{
    RowUse use;
    // A move sends at once: only rows that hold the pedal's own settings, over a link to the
    // firmware that runs them. A line out of step is checked before the move is sent.
    use.values = facts.effectLink && facts.rowsOnPedal && facts.rowsRead;
    use.limits = use.values && facts.pot && facts.assigned;
    return use;
}

RowFacts rowFacts(EditorSession &session, int row)
{
    using Kind = PedalState::Kind;
    const PedalState &state = session.pedalState();
    const SettingsModel &model = session.settings();
    RowFacts facts;
    facts.effectLink = state.listener() == PedalState::Listener::EffectFirmware && state.kind() != Kind::Bootloader
                       && state.kind() != Kind::NoPedal;
    facts.rowsOnPedal = session.rowsOnPedal();
    facts.rowsRead = session.rowsRead();
    if (model.isOpen() && row >= 0 && row < model.rows().count()) {
        const int control = model.values(row).pedalControl;
        facts.assigned = control >= 0 && control < kPedalControls;
        facts.pot = model.rows().kind(row) == RowKind::Pot;
    }
    return facts;
}

} // namespace tovel
