#include "session/undostack.h"

#include "core/nowidgets.h"

namespace tovel {

namespace {

// The rows that differ between two snapshots of the same rows, as a step.
UndoStep difference(StepKind kind, int control, const SettingsSnapshot &before, const SettingsSnapshot &after)
{
    UndoStep step;
    step.kind = kind;
    step.control = control;
    const qsizetype rows = std::min(before.size(), after.size());
    for (qsizetype p = 0; p < rows; ++p) {
        if (before[p] == after[p])
            continue;
        step.rows.append(int(p));
        step.before.append(before[p]);
        step.after.append(after[p]);
    }
    return step;
}

} // namespace

bool RowSettings::sameLimits(const RowSettings &other) const
{
    return minLimit == other.minLimit && maxLimit == other.maxLimit && values.minCaption == other.values.minCaption
           && values.maxCaption == other.values.maxCaption;
}

bool RowSettings::operator==(const RowSettings &other) const
{
    // The switch's caption follows its level and is no setting of its own.
    return sameLevel(other) && values.pedalControl == other.values.pedalControl
           && values.reverse == other.values.reverse && sameLimits(other);
}

SettingsSnapshot takeSnapshot(const SettingsModel &model)
{
    SettingsSnapshot snapshot;
    if (!model.isOpen())
        return snapshot;
    const int rows = std::min(model.rows().count(), int(kMaxRows));
    snapshot.reserve(rows);
    for (int p = 0; p < rows; ++p)
        snapshot.append({model.values(p), model.tables().MinLimit[p], model.tables().MaxLimit[p]});
    return snapshot;
}

UndoStack::UndoStack(SettingsModel &model, QObject *parent) : QObject(parent), m_model(model)
{
    connect(&model, &SettingsModel::opened, this, &UndoStack::clear);
    connect(&model, &SettingsModel::closed, this, &UndoStack::clear);
    connect(&model, &SettingsModel::rowChanged, this, [this](int, int parts) {
        if (parts != SettingsModel::SwitchCaption && m_recording == 0 && m_applying == 0)
            rowsChangedElsewhere();
    });
}

UndoStack::Record::Record(UndoStack &stack, StepKind kind, int mergeRow)
    : m_stack(stack), m_kind(kind), m_mergeRow(mergeRow), m_outer(stack.m_recording == 0 && stack.m_applying == 0)
{
    ++m_stack.m_recording;
    if (!m_outer)
        return;
    m_before = takeSnapshot(m_stack.m_model);
    if (m_stack.m_comparing) {
        // A move made while comparing edits what the pedal plays: the edited set stays one
        // undo away.
        m_stack.m_sealed = true;
        m_stack.push(difference(StepKind::Compare, -1, m_stack.m_edited, m_before));
        m_stack.m_comparing.reset();
        m_stack.m_edited.clear();
        emit m_stack.compareChanged(false);
    }
}

UndoStack::Record::~Record()
{
    --m_stack.m_recording;
    if (m_outer)
        m_stack.push(difference(m_kind, m_mergeRow, m_before, takeSnapshot(m_stack.m_model)));
}

void UndoStack::push(UndoStep step)
{
    if (step.rows.isEmpty())
        return;
    const bool couldRedo = canRedo();
    m_steps.resize(m_index);
    UndoStep *top = m_steps.isEmpty() ? nullptr : &m_steps.last();
    const bool merge = !couldRedo && !m_sealed && top && step.control >= 0 && top->kind == step.kind
                       && top->control == step.control && top->rows == step.rows;
    m_sealed = step.control < 0;
    if (merge) {
        top->after = step.after;
        // A drag that ended where it began changed nothing.
        if (top->after == top->before) {
            m_steps.removeLast();
            setIndex(m_index - 1, couldRedo);
        }
        return;
    }
    m_steps.append(std::move(step));
    setIndex(m_index + 1, couldRedo);
}

std::optional<UndoStep> UndoStack::takeUndo()
{
    if (!canUndo())
        return std::nullopt;
    m_sealed = true;
    setIndex(m_index - 1, canRedo());
    return m_steps[m_index];
}

std::optional<UndoStep> UndoStack::takeRedo()
{
    if (!canRedo())
        return std::nullopt;
    m_sealed = true;
    setIndex(m_index + 1, true);
    return m_steps[m_index - 1];
}

void UndoStack::clear()
{
    const bool couldRedo = canRedo();
    m_steps.clear();
    m_sealed = true;
    m_kept.fill(std::nullopt);
    const bool wasComparing = comparing();
    m_comparing.reset();
    m_edited.clear();
    setIndex(0, couldRedo);
    emit keptChanged();
    if (wasComparing)
        emit compareChanged(false);
}

void UndoStack::clearRedo()
{
    if (!canRedo())
        return;
    m_steps.resize(m_index);
    emit canRedoChanged(false);
}

void UndoStack::rowsChangedElsewhere()
{
    m_sealed = true;
    clearRedo();
}

void UndoStack::setIndex(int index, bool redoBefore)
{
    const bool undoBefore = m_index > 0;
    const bool changed = m_index != index;
    m_index = index;
    if (changed)
        emit indexChanged(index);
    if (undoBefore != canUndo())
        emit canUndoChanged(canUndo());
    if (redoBefore != canRedo())
        emit canRedoChanged(canRedo());
}

const std::optional<SettingsSnapshot> &UndoStack::kept(CompareSet set) const
{
    return m_kept[size_t(set)];
}

void UndoStack::keep(CompareSet set)
{
    m_kept[size_t(set)] = takeSnapshot(m_model);
    emit keptChanged();
}

void UndoStack::startCompare(CompareSet set)
{
    if (!comparing())
        m_edited = takeSnapshot(m_model);
    m_comparing = set;
    emit compareChanged(true);
}

void UndoStack::endCompare()
{
    if (!comparing())
        return;
    m_comparing.reset();
    m_edited.clear();
    emit compareChanged(false);
}

} // namespace tovel
