#include "actions/undoactions.h"

#include "core/nowidgets.h"

#include "actions/pedalactions.h"
#include "core/seams.h"
#include "session/editorsession.h"

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;

RowSettings rowNow(EditorSession &session, int row)
{
    return {session.settings().values(row), session.params.MinLimit[row], session.params.MaxLimit[row]};
}

// One row to `target`, part by part, through the actions a move of that part runs. Limits are
// sent only where the pedal had them (sendLimits); otherwise they are shown, as a load shows
// them.
std::optional<ActionFailure> giveBack(EditorSession &session, int row, const RowSettings &target, bool sendLimits)
{
    SettingsModel &model = session.settings();
    const RowSettings now = rowNow(session, row);
    std::optional<ActionFailure> failure;
    if (!now.sameLevel(target))
        failure = setRowValue(session, row, target.values.value).failure;
    if (now.values.pedalControl != target.values.pedalControl)
        choosePedalControl(session, row, target.values.pedalControl);
    if (now.values.reverse != target.values.reverse)
        setReverse(session, row, target.values.reverse);
    if (now.sameLimits(target))
        return failure;
    ParamTables &tables = session.params;
    if (sendLimits) {
        // A minimum never goes above the maximum the pedal holds, nor the maximum below it.
        const bool minimumFirst = target.minLimit <= tables.MaxLimit[row];
        const LimitAction first = minimumFirst ? LimitAction::Minimum : LimitAction::Maximum;
        const LimitAction second = minimumFirst ? LimitAction::Maximum : LimitAction::Minimum;
        for (const LimitAction action : {first, second}) {
            const bool minimum = action == LimitAction::Minimum;
            const int level = minimum ? target.minLimit : target.maxLimit;
            if (level == (minimum ? tables.MinLimit[row] : tables.MaxLimit[row]))
                continue;
            if (const ActionResult<Done> set = setLimit(session, row, action, level); !set)
                return failure ? failure : set.failure;
        }
    } else {
        tables.MinLimit[row] = target.minLimit;
        tables.MaxLimit[row] = target.maxLimit;
    }
    // The captions as they were: read back, set and loaded limits are worded differently.
    model.setLimitCaption(row, LimitKind::Minimum, target.values.minCaption);
    model.setLimitCaption(row, LimitKind::Maximum, target.values.maxCaption);
    return failure;
}

ActionResult<Done> giveBackStep(EditorSession &session, const UndoStep &step, bool undo)
{
    UndoStack::Applying applying(session.undoStack());
    const bool sendLimits = step.kind != StepKind::Configuration;
    std::optional<ActionFailure> failure;
    for (qsizetype i = 0; i < step.rows.size(); ++i) {
        const std::optional<ActionFailure> row =
            giveBack(session, step.rows[i], undo ? step.before[i] : step.after[i], sendLimits);
        if (!failure)
            failure = row;
    }
    return {failure, {}};
}

// The levels of `set` to the pedal as moves, the rest of the rows left as they are.
void sendLevels(EditorSession &session, const SettingsSnapshot &set)
{
    UndoStack::Applying applying(session.undoStack());
    const int rows = std::min(int(set.size()), session.settings().rows().count());
    for (int p = 0; p < rows; ++p)
        if (session.settings().values(p).value != set[p].values.value)
            setRowValue(session, p, set[p].values.value);
}

std::optional<ActionFailure> notKept(EditorSession &session, CompareSet set, const QString &step)
{
    if (session.undoStack().kept(set))
        return std::nullopt;
    const QString effect = session.settings().rows().effect;
    QString message;
    switch (set) {
    case CompareSet::Read:
        message = QStringLiteral("No settings of %1 have been read from the pedal yet: use Request first.");
        break;
    case CompareSet::Stored:
        message = QStringLiteral("No settings of %1 have been stored on the pedal yet: use Store Settings On Pedal first.");
        break;
    case CompareSet::Loaded:
        message = QStringLiteral("No configuration of %1 has been loaded from a file yet.");
        break;
    }
    return ActionFailure{Kind::Invalid, step, {}, message.arg(effect), ActionFailure::Advice::None};
}

} // namespace

ActionResult<Done> undoStep(EditorSession &session)
{
    if (session.undoStack().comparing())
        endCompare(session);
    const std::optional<UndoStep> step = session.undoStack().takeUndo();
    return step ? giveBackStep(session, *step, true) : ActionResult<Done>{};
}

ActionResult<Done> redoStep(EditorSession &session)
{
    if (session.undoStack().comparing())
        endCompare(session);
    const std::optional<UndoStep> step = session.undoStack().takeRedo();
    return step ? giveBackStep(session, *step, false) : ActionResult<Done>{};
}

QString compareSetName(CompareSet set)
{
    switch (set) {
    case CompareSet::Read:
        return QStringLiteral("last read");
    case CompareSet::Stored:
        return QStringLiteral("last stored");
    case CompareSet::Loaded:
        return QStringLiteral("last loaded");
    }
    return QString();
}

ActionResult<Done> compareWith(EditorSession &session, CompareSet set)
{
    UndoStack &stack = session.undoStack();
    if (std::optional<ActionFailure> failure = notKept(session, set, QStringLiteral("compare")))
        return {failure, {}};
    const SettingsSnapshot kept = *stack.kept(set);
    stack.startCompare(set);
    sendLevels(session, kept);
    return {};
}

ActionResult<Done> endCompare(EditorSession &session)
{
    UndoStack &stack = session.undoStack();
    if (!stack.comparing())
        return {};
    const SettingsSnapshot edited = stack.edited();
    stack.endCompare();
    sendLevels(session, edited);
    return {};
}

ActionResult<Done> revertToPedal(EditorSession &session)
{
    UndoStack &stack = session.undoStack();
    if (std::optional<ActionFailure> failure = notKept(session, CompareSet::Read, QStringLiteral("revert")))
        return {failure, {}};
    const QString question = QStringLiteral(
        "Revert to the pedal's settings?\n\nThe rows of %1 go back to the settings last read from the pedal, "
        "and their levels are sent to it. Undo brings your changes back.")
                                 .arg(session.settings().rows().effect);
    if (session.prompts.askYesNo(question) != Prompts::Answer::Yes)
        return {};
    const SettingsSnapshot read = *stack.kept(CompareSet::Read);
    UndoStack::Record record(stack, StepKind::Revert);
    std::optional<ActionFailure> failure;
    const int rows = std::min(int(read.size()), session.settings().rows().count());
    for (int p = 0; p < rows; ++p) {
        const std::optional<ActionFailure> row = giveBack(session, p, read[p], true);
        if (!failure)
            failure = row;
    }
    return {failure, {}};
}

} // namespace tovel
