#pragma once

#include "core/actionfailure.h"
#include "protocol/commands.h"
#include "protocol/effectquery.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace tovel {

class EditorSession;

// The actions on the pedal's effect and its settings. Each holds the link for one exchange,
// traces what it sends and reads as the editor always has, and changes the session (its facts,
// its settings model); the windows show the result.

// Whether a state request sends back the levels it changed, as moves would (the windows' way
// of reading the pedal, which the player sees as the rows jumping to the pedal's levels), or
// sends nothing (a command that only reads).
enum class Echo { Changed, None };

// One state request (Request, and before a configuration is saved), on a line in step: the
// pedal's levels, and unless in live mode its assignments, reverse flags and limits, into the
// settings model; the rows count as read. With Echo::Changed, rows whose level the answer
// changes send it back to the pedal, as a move would (pots not in live mode). onSent runs once
// the request is on its way.
ActionResult<Done> requestState(EditorSession &session, const std::function<void()> &onSent = {},
                                Echo echo = Echo::Changed);

// The state answer's numbers onto the settings model: the levels (sending back those that
// changed, as requestState does), and unless in live mode the assignments, reverse flags and
// limits.
void applyStateAnswer(EditorSession &session, const QList<quint8> &bytes, Echo echo = Echo::Changed);

// Assign: the assignment table of the settings model to the pedal.
ActionResult<Done> assignControls(EditorSession &session);
// Store Settings On Pedal.
ActionResult<Done> storeSettings(EditorSession &session);

// What a move of a row sets: a pot's level, a switch's state (0 off, 1 on), a list's option.
// The model takes it, and the row's level goes to the pedal (now, or when the running exchange
// ends); in live mode pots and switches send nothing. A move while an exchange runs is kept
// from that exchange's answer.
ActionResult<Done> setRowValue(EditorSession &session, int row, int value);
// The pedal control a row's box shows (-1 none, 7 "NA"), and a row's reverse flag: kept in the
// settings model until Assign sends them.
void choosePedalControl(EditorSession &session, int row, int index);
void setReverse(EditorSession &session, int row, bool reversed);
// A limit of pot row `row`: its minimum or maximum at `level`, or both cleared.
enum class LimitAction { Minimum, Maximum, Clear };
ActionResult<Done> setLimit(EditorSession &session, int row, LimitAction action, int level);

// Traces and writes one ParameterValue command for the row; `what` names the row kind in the
// trace ("pot", "switch", "multiswitch"); the switch's line does not scroll the console.
void sendRowLevel(EditorSession &session, int row, int level, const QString &what);

} // namespace tovel
