#include "actions/pedalactions.h"

#include "core/nowidgets.h"

#include "protocol/answerfailure.h"
#include "catalogue/catalogueloader.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "protocol/hextext.h"
#include "protocol/stateblock.h"
#include "session/editorsession.h"
#include "session/undostack.h"

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;

// The state answer's levels onto the rows. A row the player moved meanwhile keeps its level;
// a pot or list whose level changed sends it back, as a move would.
void applyReceivedValues(EditorSession &session, const PedalStateBlock &block, Echo echo)
{
    SettingsModel &model = session.settings();
    const EffectRows &rows = model.rows();
    for (int p = 0; p < rows.NumParams() && p < block.levels.size(); ++p) {
        const std::optional<int> value = block.levels[p];
        if (!value)
            break;
        if (model.playerChanged(p, SettingsModel::Level)) {
            session.console().printToConsole(QStringLiteral("row %1 keeps the level set during the exchange").arg(p));
            continue;
        }
        switch (rows.kind(p)) {
        case RowKind::Pot:
            if (model.setPot(p, *value) && !session.LiveMode() && echo == Echo::Changed)
                sendRowLevel(session, p, model.values(p).value, QStringLiteral("pot"));
            break;
        case RowKind::Switch:
            if (*value >= 0)
                model.setSwitch(p, *value > 0); // a switch set here sends nothing
            model.showSwitchCaption(p);
            break;
        case RowKind::MultiSwitch:
            if (const std::optional<int> index = multiSwitchIndex(*value, rows.OptionCount[p]))
                if (model.setOption(p, *index) && echo == Echo::Changed)
                    sendRowLevel(session, p, *model.level(p), QStringLiteral("multiswitch"));
            break;
        }
    }
}

// Each control's byte per row: the tables take the answer whole; a row's box shows the control
// that drives it (the box's change leaves the row with that one control), a row the answer
// assigns nothing keeps its box's choice, and "NA" becomes no choice.
void applyAssignments(EditorSession &session, const PedalStateBlock &block)
{
    SettingsModel &model = session.settings();
    ParamTables &tables = session.params;
    const int rows = model.rows().NumParams();
    for (auto &control : tables.AssignMatrix)
        control.fill(0);
    for (int c = 0; c < kPedalControls; ++c) {
        for (int p = 0; p < kMaxRows; ++p) {
            if (model.playerChanged(p, SettingsModel::PedalControl))
                continue; // keeps the control the player chose meanwhile
            const bool drives = block.drives[c][p];
            tables.AssignMatrix[c][p] = drives ? 1 : 0;
            if (!drives || p >= rows)
                continue;
            model.setPedalControl(p, c);
            tables.AssignBoxChanged(p, c); // also when no box shows the row
        }
    }
    for (int p = 0; p < model.rows().count() && model.isOpen(); ++p) {
        const int shown = model.values(p).pedalControl;
        if (shown == kNoControl)
            model.setPedalControl(p, -1);
        else if (shown >= 0 && tables.AssignMatrix[shown][p] == 0)
            tables.AssignBoxChanged(p, shown); // Assign sends what the box shows
        // Once the pedal has told its assignments the flag is what the box shows: a flag left
        // by another effect's rows would give limits to a row that no control drives.
        tables.IsAssigned[p] = model.values(p).pedalControl >= 0 && model.values(p).pedalControl < kPedalControls;
    }
}

void applyReverse(EditorSession &session, const PedalStateBlock &block)
{
    SettingsModel &model = session.settings();
    const int rows = std::min(model.rows().NumParams(), int(kMaxRows));
    for (int p = 0; p < rows; ++p)
        if (block.reversed[p] && !model.playerChanged(p, SettingsModel::Reverse))
            model.setReverse(p, *block.reversed[p]);
}

// The limits of the assigned pot rows, with the captions a read-back shows; an unassigned
// row shows "-" and keeps its limits.
void applyLimits(EditorSession &session, const PedalStateBlock &block)
{
    SettingsModel &model = session.settings();
    ParamTables &tables = session.params;
    const int rows = model.rows().NumParams();
    const int pots = std::clamp(std::min(model.rows().NumPots(), rows), 0, int(kMaxRows));
    for (int p = 0; p < pots; ++p) {
        const bool assigned = tables.IsAssigned[p];
        if (assigned && block.minimumCode[p])
            tables.MinLimit[p] = minLevelFromCode(*block.minimumCode[p]);
        model.setLimitCaption(p, LimitKind::Minimum,
                              assigned ? QString::number(minPercentRead(tables.MinLimit[p])) + QLatin1Char('%')
                                       : QStringLiteral("-"));
    }
    for (int p = 0; p < pots; ++p) {
        const bool assigned = tables.IsAssigned[p];
        if (assigned && block.maximumCode[p])
            tables.MaxLimit[p] = maxLevelFromCode(*block.maximumCode[p]);
        model.setLimitCaption(p, LimitKind::Maximum,
                              assigned ? QString::number(maxPercentRead(tables.MaxLimit[p])) + QLatin1Char('%')
                                       : QStringLiteral("-"));
    }
}

void sendLimit(EditorSession &session, int row, int level, LimitKind kind)
{
    session.console().printToConsole(QStringLiteral("valstr: ") + levelField(level));
    const CommandInfo &info = commandInfo(CommandCode::ParameterLimit);
    session.exchange().sendBytes(parameterLimitCommand(kind, row, level), info.purgeTransmit);
}

} // namespace

ActionResult<Done> requestState(EditorSession &session, const std::function<void()> &onSent, Echo echo)
{
    using R = ActionResult<Done>;
    const QString step = QStringLiteral("state request");
    CommandExchange &exchange = session.exchange();
    // A state answer is taken only on a line in step: checked first when it is not.
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::EffectFirmwareInStep, step,
                                                                      EditorSession::AnswerAwaited::Yes);
    if (started.failure)
        return {started.failure, {}};
    SettingsModel &model = session.settings();
    // The answer is for these rows of this effect, and for no others.
    const int rows = model.rows().NumParams();
    const QString effect = session.selection.SelectedEffectName;
    const int build = model.buildCount();

    // The table's pause after the request lets the whole answer queue before the first read.
    const AnswerRule rule = stateRequestAnswer(rows);
    const CommandExchange::Answer answer =
        exchange.ask(CommandCode::StateRequest, stateRequestCommand(rows), rule, onSent);
    // Nothing of a partial, unreadable or stale answer reaches the rows or goes back to the
    // pedal.
    if (answer.outcome == CommandExchange::Outcome::LinkFailed || answer.outcome == CommandExchange::Outcome::Quitting)
        return {answerFailure(rule, answer), {}};
    if (const QString fault = stateAnswerFault(answer.bytes); !fault.isEmpty())
        session.console().printToConsole(fault);
    if (std::optional<ActionFailure> failure = answerFailure(rule, answer))
        return {failure, {}};
    if (model.buildCount() != build || session.selection.SelectedEffectName != effect) {
        session.console().printToConsole(
            QStringLiteral("state answer dropped: it was asked for the %1 rows of %2, which are no "
                           "longer open")
                .arg(rows)
                .arg(effect));
        return R::fail(Kind::Refused, step, QString());
    }
    QList<quint8> received = ParseParameterAnswer(answer.bytes);
    if (const QString fault = implausibleRowLevel(received, rows); !fault.isEmpty()) {
        session.console().printToConsole(fault);
        session.pedalState().lostStep(QStringLiteral("the state answer's levels were not this effect's"));
        return R::fail(Kind::PedalAnswer, step,
                       QStringLiteral("The pedal's answer to the %1 could not be read.").arg(rule.what), answer.bytes);
    }
    session.pedal.ReceivedBytes = std::move(received);
    const QList<quint8> &bytes = session.pedal.ReceivedBytes;
    session.console().printToConsole(QStringLiteral("num of bytes received: %1").arg(bytes.size()));
    applyStateAnswer(session, bytes, echo);
    session.setRowsRead(true);
    session.undoStack().keep(CompareSet::Read);
    return {};
}

void applyStateAnswer(EditorSession &session, const QList<quint8> &bytes, Echo echo)
{
    const PedalStateBlock block = readStateBlock(bytes, session.settings().rows().NumParams());
    applyReceivedValues(session, block, echo);
    if (!session.LiveMode()) {
        applyAssignments(session, block);
        applyReverse(session, block);
        applyLimits(session, block);
    }
}

ActionResult<Done> assignControls(EditorSession &session)
{
    using R = ActionResult<Done>;
    const QString step = QStringLiteral("assignment table");
    CommandExchange &exchange = session.exchange();
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::EffectFirmwareInStep, step);
    if (started.failure)
        return {started.failure, {}};
    ParamTables &tables = session.params;
    SettingsModel &model = session.settings();
    BuildAssignPayload(tables, model.reverseFlags(), model.rows().NumParams(), session.console());
    const CommandInfo &assign = commandInfo(CommandCode::AssignmentTable);
    if (!exchange.sendBytes(assignmentTableCommand(tables.AssignPayload), assign.purgeTransmit))
        return R::fail(Kind::NoPedal, step, QString());
    session.pacing.sleepMs(assign.pauseAfterMs);
    return {};
}

ActionResult<Done> storeSettings(EditorSession &session)
{
    using R = ActionResult<Done>;
    const QString step = QStringLiteral("store settings");
    CommandExchange &exchange = session.exchange();
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::EffectFirmwareInStep, step);
    if (started.failure)
        return {started.failure, {}};
    const QByteArray command = storeSettingsCommand(session.settings().rows().NumParams());
    session.console().printToConsole(QStringLiteral("Store settings message (HEX): ") + bytesToHex(command));
    const CommandInfo &store = commandInfo(CommandCode::StoreSettings);
    const bool sent = exchange.sendBytes(command, store.purgeTransmit);
    session.pacing.sleepMs(store.pauseAfterMs);
    if (!sent)
        return R::fail(Kind::NoPedal, step, QString());
    session.undoStack().keep(CompareSet::Stored);
    return {};
}

void sendRowLevel(EditorSession &session, int row, int level, const QString &what)
{
    const QString &address = session.settings().rows().ParamAddress[row];
    Console &console = session.console();
    QString line;
    const bool sendable = isSendableAddress(address);
    const quint16 pedalAddress = address.toUShort(nullptr, 16);
    if (sendable) {
        line = QStringLiteral("data sent %1 %2: %3").arg(what).arg(row).arg(bytesToHex(parameterValueCommand(pedalAddress, level)));
    } else {
        line = QStringLiteral("data not sent %1 %2: parameter address \"%3\" is not 4 hex digits")
                   .arg(what).arg(row).arg(address);
    }
    if (what == QLatin1String("switch"))
        console.appendConsoleLine(line);
    else
        console.printToConsole(line);
    if (!sendable)
        return;
    CommandExchange &exchange = session.exchange();
    if (!exchange.sendParameterValue(pedalAddress, level) && exchange.busy())
        console.appendConsoleLine(QStringLiteral("(sent when the %1 ends)").arg(exchange.running()));
}

ActionResult<Done> setRowValue(EditorSession &session, int row, int value)
{
    SettingsModel &model = session.settings();
    const EffectRows &rows = model.rows();
    if (!model.isOpen() || row < 0 || row >= rows.count())
        return ActionResult<Done>::fail(Kind::Invalid, QStringLiteral("set"),
                                        QStringLiteral("%1 has no row %2.").arg(rows.effect).arg(row + 1));
    const bool during = session.exchange().busy();
    // A drag of a pot is one step.
    UndoStack::Record record(session.undoStack(), StepKind::Level, rows.kind(row) == RowKind::Pot ? row : -1);
    switch (rows.kind(row)) {
    case RowKind::Pot:
        model.setPot(row, value);
        if (session.LiveMode())
            break;
        if (during)
            model.notePlayerChange(row, SettingsModel::Level);
        sendRowLevel(session, row, model.values(row).value, QStringLiteral("pot"));
        break;
    case RowKind::Switch:
        model.setSwitch(row, value != 0);
        if (session.LiveMode())
            break;
        if (during)
            model.notePlayerChange(row, SettingsModel::Level);
        sendRowLevel(session, row, *model.level(row), QStringLiteral("switch"));
        model.showSwitchCaption(row);
        break;
    case RowKind::MultiSwitch:
        model.setOption(row, value);
        if (during)
            model.notePlayerChange(row, SettingsModel::Level);
        // A list set to no option, or one without options, has no level to send.
        if (const std::optional<int> level = model.level(row))
            sendRowLevel(session, row, *level, QStringLiteral("multiswitch"));
        break;
    }
    return {};
}

void choosePedalControl(EditorSession &session, int row, int index)
{
    SettingsModel &model = session.settings();
    UndoStack::Record record(session.undoStack(), StepKind::PedalControl);
    if (session.exchange().busy())
        model.notePlayerChange(row, SettingsModel::PedalControl);
    model.setPedalControl(row, index);
}

void setReverse(EditorSession &session, int row, bool reversed)
{
    SettingsModel &model = session.settings();
    UndoStack::Record record(session.undoStack(), StepKind::Reverse);
    if (session.exchange().busy())
        model.notePlayerChange(row, SettingsModel::Reverse);
    model.setReverse(row, reversed);
}

ActionResult<Done> setLimit(EditorSession &session, int row, LimitAction action, int level)
{
    using R = ActionResult<Done>;
    const QString step = QStringLiteral("limit setting");
    SettingsModel &model = session.settings();
    if (!model.isOpen() || row < 0 || row >= std::min(model.rows().NumPots(), model.rows().count()))
        return R::fail(Kind::Invalid, step, QStringLiteral("Limits are set on the pots only: %1 has no pot row %2.")
                                                .arg(model.rows().effect).arg(row + 1));
    UndoStack::Record record(session.undoStack(), StepKind::Limit);
    // Nothing changes unless the commands can go: the window must show what the pedal holds.
    CommandExchange &exchange = session.exchange();
    auto scope = exchange.begin(step);
    if (!scope)
        return R{exchange.refused(step)};
    ParamTables &tables = session.params;
    const bool isMin = action == LimitAction::Minimum;
    if (action != LimitAction::Clear && (isMin ? level > tables.MaxLimit[row] : level < tables.MinLimit[row]))
        return R::fail(Kind::Invalid, step, QStringLiteral("Cannot set a MIN value higher than a MAX value"));
    if (std::optional<ActionFailure> refusal = session.require(PedalNeed::EffectFirmwareInStep, step))
        return {refusal, {}};
    if (action == LimitAction::Clear) {
        model.setLimitCaption(row, LimitKind::Minimum, QStringLiteral("-"));
        model.setLimitCaption(row, LimitKind::Maximum, QStringLiteral("-"));
        tables.MinLimit[row] = 0;
        tables.MaxLimit[row] = kMaxLevel;
        sendLimit(session, row, 0, LimitKind::Minimum);
        sendLimit(session, row, kMaxLevel, LimitKind::Maximum);
        return {};
    }
    (isMin ? tables.MinLimit : tables.MaxLimit)[row] = level;
    const LimitKind kind = isMin ? LimitKind::Minimum : LimitKind::Maximum;
    model.setLimitCaption(row, kind, QString::number(limitPercentSet(level)) + QLatin1Char('%'));
    sendLimit(session, row, level, kind);
    return {};
}

} // namespace tovel
