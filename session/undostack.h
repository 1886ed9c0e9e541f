#pragma once

#include "params/settingsmodel.h"

#include <QList>
#include <QObject>
#include <optional>

namespace tovel {

// One row's settings as the player sets them: what the model holds and its limit levels.
struct RowSettings {
    SettingsModel::RowValues values;
    int minLimit = 0;
    int maxLimit = kMaxLevel;

    bool sameLevel(const RowSettings &other) const { return values.value == other.values.value; }
    bool sameLimits(const RowSettings &other) const;
    bool operator==(const RowSettings &other) const;
};

// The open rows' settings, one entry per row.
using SettingsSnapshot = QList<RowSettings>;
SettingsSnapshot takeSnapshot(const SettingsModel &model);

// What a step on the stack did: it says how undo and redo give its rows back (a limit that was
// sent goes back to the pedal, one that a load only showed does not).
enum class StepKind { Level, PedalControl, Reverse, Limit, Configuration, Revert, Compare };

struct UndoStep {
    StepKind kind = StepKind::Level;
    int control = -1;       // the row whose consecutive moves merge into this step; -1 none
    QList<int> rows;        // the rows it changed, with their settings before and after
    QList<RowSettings> before;
    QList<RowSettings> after;
};

// The sets the player can hear against the edited one: the settings last read from the pedal,
// last stored on it, last loaded from a file.
enum class CompareSet { Read, Stored, Loaded };

// The player's changes to the open rows as steps, undone and redone one at a time, in the shape
// of QUndoStack (which needs Qt Gui): push, undo, redo, canUndo and canRedo told as they change,
// consecutive moves of one pot merged so a drag is one step. It holds the rows' settings, never
// sends: the actions give a step's rows back through the paths a move uses. A change of the
// rows that no step records (the pedal's answer) drops the redo part; opening or closing rows
// starts afresh. Beside it, the sets kept for Compare.
class UndoStack : public QObject {
    Q_OBJECT

public:
    explicit UndoStack(SettingsModel &model, QObject *parent = nullptr);

    // Records one change of the player's: the rows as they were when it was made, and as they
    // are when it goes out of scope; a step if any row changed. Nested records make one step,
    // the outer one's. While comparing, the compared set becomes the edited one first, as a
    // step of its own (undo brings the edited set back).
    class Record {
    public:
        Record(UndoStack &stack, StepKind kind, int mergeRow = -1);
        ~Record();
        Record(const Record &) = delete;
        Record &operator=(const Record &) = delete;

    private:
        UndoStack &m_stack;
        StepKind m_kind;
        int m_mergeRow;
        bool m_outer;
        SettingsSnapshot m_before;
    };
    // While a step is given back or a set compared, the rows' changes are neither steps nor
    // the pedal's.
    class Applying {
    public:
        explicit Applying(UndoStack &stack) : m_stack(stack) { ++m_stack.m_applying; }
        ~Applying() { --m_stack.m_applying; }
        Applying(const Applying &) = delete;
        Applying &operator=(const Applying &) = delete;

    private:
        UndoStack &m_stack;
    };

    void push(UndoStep step);
    bool canUndo() const { return m_index > 0; }
    bool canRedo() const { return m_index < m_steps.size(); }
    int count() const { return int(m_steps.size()); }
    int index() const { return m_index; }
    // The step to undo (the index moves below it) or to redo (the index moves past it);
    // nothing when there is none.
    std::optional<UndoStep> takeUndo();
    std::optional<UndoStep> takeRedo();
    // The next move starts a step of its own (a drag ended).
    void seal() { m_sealed = true; }
    void clear();
    void clearRedo();
    bool applying() const { return m_applying > 0; }

    // The set kept for Compare, if it was ever taken for these rows.
    const std::optional<SettingsSnapshot> &kept(CompareSet set) const;
    void keep(CompareSet set);
    // Comparing: the pedal plays `set`; the edited settings wait in edited().
    bool comparing() const { return m_comparing.has_value(); }
    std::optional<CompareSet> compared() const { return m_comparing; }
    const SettingsSnapshot &edited() const { return m_edited; }
    void startCompare(CompareSet set);
    void endCompare();

signals:
    void canUndoChanged(bool canUndo);
    void canRedoChanged(bool canRedo);
    void indexChanged(int index);
    void compareChanged(bool comparing);
    // A set for Compare was kept, or the kept ones dropped with the rows.
    void keptChanged();

private:
    void setIndex(int index, bool redoBefore);
    void rowsChangedElsewhere();

    SettingsModel &m_model;
    QList<UndoStep> m_steps;
    int m_index = 0;
    bool m_sealed = true;
    int m_recording = 0;
    int m_applying = 0;
    std::array<std::optional<SettingsSnapshot>, 3> m_kept;
    std::optional<CompareSet> m_comparing;
    SettingsSnapshot m_edited;
};

} // namespace tovel
