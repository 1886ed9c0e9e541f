// Setting the rows and the assignment and limit tables from the pedal's state answer. Rows of a
// closed window have no controls: the tables are still set, the controls skipped. Positions
// past the end of a short answer are left as they were.
#include "params/tformfxparameters.h"

#include "core/seams.h"
#include "params/paramtables.h"
#include "protocol/effectquery.h"
#include "protocol/stateblock.h"
#include "params/toggleswitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>

namespace tovel {

namespace {

std::optional<int> byteAt(const QList<quint8> &bytes, qsizetype position)
{
    if (position < 0 || position >= bytes.size())
        return std::nullopt;
    return bytes[position];
}

} // namespace

void TformFXParameters::ApplyReceivedValues(const QList<quint8> &bytes)
{
    const ProgramSetsRows programSets(*this);
    const int rows = NumParams();
    const int firstSwitch = NumPots();
    const int firstMulti = NumPots() + NumSwitches();
    for (int p = 0; p < rows; ++p) {
        const std::optional<int> value = rowLevel(bytes, p);
        if (!value)
            break;
        // The player's move during the request is newer than the pedal's answer; it goes to
        // the pedal when the exchange ends.
        if (movedDuringExchange(p, Level)) {
            m_console.printToConsole(QStringLiteral("row %1 keeps the level set during the exchange").arg(p));
            continue;
        }
        if (p < firstSwitch) {
            // Raises the slider's change: the level goes back to the pedal unless in live mode.
            if (trkPot[p])
                trkPot[p]->setValue(*value);
        } else if (p < firstMulti) {
            if (swSwitch[p] && *value >= 0)
                swSwitch[p]->setChecked(*value > 0); // no click: nothing is sent
            ShowSwitchState(p);
        } else if (cmbMultiSwitch[p]) {
            if (const std::optional<int> index = multiSwitchIndex(*value, OptionCount[p]))
                cmbMultiSwitch[p]->setCurrentIndex(*index);
        }
    }
}

void TformFXParameters::ApplyAssignments(const QList<quint8> &bytes)
{
    const ProgramSetsRows programSets(*this);
    const int rows = NumParams();
    for (auto &control : m_tables.AssignMatrix)
        control.fill(0);
    for (int c = 0; c < kPedalControls; ++c) {
        for (int p = 0; p < kMaxRows; ++p) {
            if (movedDuringExchange(p, PedalControl))
                continue; // keeps the control the player chose meanwhile
            const int value = byteAt(bytes, StateBlock::assignment(rows, c, p)).value_or(0);
            m_tables.AssignMatrix[c][p] = value != 0 ? 1 : 0;
            if (value == 0 || p >= rows)
                continue;
            // The box shows the control; its change leaves the row with that one control.
            if (boxAssign[p])
                boxAssign[p]->setCurrentIndex(c);
            m_tables.AssignBoxChanged(p, c);
        }
    }
    for (int p = 0; p < rows; ++p) {
        if (!boxAssign[p])
            continue;
        const int shown = boxAssign[p]->currentIndex();
        if (shown == kNoControl) {
            boxAssign[p]->setCurrentIndex(-1);
            m_tables.AssignBoxChanged(p, -1);
        } else if (shown >= 0 && m_tables.AssignMatrix[shown][p] == 0) {
            // A row the answer assigns nothing keeps its box's choice; the table follows the
            // box, so that Assign sends what the window shows.
            m_tables.AssignBoxChanged(p, shown);
        }
    }
}

void TformFXParameters::ApplyReverse(const QList<quint8> &bytes)
{
    const ProgramSetsRows programSets(*this);
    const int rows = NumParams();
    for (int p = 0; p < rows; ++p) {
        const std::optional<int> flag = byteAt(bytes, StateBlock::reverse(rows, p));
        if (flag && chkReverse[p] && !movedDuringExchange(p, Reverse))
            chkReverse[p]->setChecked(*flag != 0);
    }
}

void TformFXParameters::ApplyLimits(const QList<quint8> &bytes)
{
    const int rows = NumParams();
    const int pots = std::min(NumPots(), rows);
    auto show = [this](QPushButton *button, bool assigned, int percent) {
        if (!button)
            return;
        setLimitCaption(button, assigned ? QString::number(percent) + QLatin1Char('%') : QStringLiteral("-"));
        enableLimitButton(button, assigned);
    };
    for (int p = 0; p < pots; ++p) {
        const bool assigned = m_tables.IsAssigned[p];
        const std::optional<int> code = byteAt(bytes, StateBlock::minimumCode(rows, p));
        if (assigned && code)
            m_tables.MinLimit[p] = minLevelFromCode(*code);
        show(btnMin[p], assigned, minPercentRead(m_tables.MinLimit[p]));
    }
    for (int p = 0; p < pots; ++p) {
        const bool assigned = m_tables.IsAssigned[p];
        const std::optional<int> code = byteAt(bytes, StateBlock::maximumCode(rows, p));
        if (assigned && code)
            m_tables.MaxLimit[p] = maxLevelFromCode(*code);
        show(btnMax[p], assigned, maxPercentRead(m_tables.MaxLimit[p]));
    }
}

std::array<bool, kMaxRows> TformFXParameters::reverseFlags() const
{
    std::array<bool, kMaxRows> flags{};
    for (int p = 0; p < kMaxRows; ++p)
        flags[p] = chkReverse[p] && chkReverse[p]->isChecked();
    return flags;
}

} // namespace tovel
