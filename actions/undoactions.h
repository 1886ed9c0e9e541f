#pragma once

#include "core/actionfailure.h"
#include "session/undostack.h"

namespace tovel {

class EditorSession;

// Undo and Redo: the rows of the step back as they were before it (or after it), each part
// through the path a move of it takes: a level is sent as a move sends it, an assignment and a
// reverse flag wait for Assign, a limit the player set goes to the pedal again, one a load
// only showed is only shown. Ends a comparison first. Nothing to undo or redo is no failure.
ActionResult<Done> undoStep(EditorSession &session);
ActionResult<Done> redoStep(EditorSession &session);

// Compare: the levels of `set` to the pedal, the edited settings kept; endCompare sends the
// edited levels back. Refused when that set was never taken for these rows.
ActionResult<Done> compareWith(EditorSession &session, CompareSet set);
ActionResult<Done> endCompare(EditorSession &session);
// The set's name in the player's words: "last read", "last stored", "last loaded".
QString compareSetName(CompareSet set);

// "Revert to the pedal's settings": asked first, then the settings last read from the pedal
// back on every row, as one step. Refused when nothing was read for these rows.
ActionResult<Done> revertToPedal(EditorSession &session);

} // namespace tovel
