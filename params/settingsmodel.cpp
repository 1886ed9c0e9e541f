#include "params/settingsmodel.h"

#include <algorithm>

namespace tovel {

SettingsModel::SettingsModel(ParamTables &tables, QObject *parent) : QObject(parent), m_tables(tables)
{
}

void SettingsModel::open(EffectRows rows)
{
    m_rows = std::move(rows);
    m_values.fill(RowValues{});
    for (int p = 0; p < m_rows.NumParams(); ++p)
        if (m_rows.kind(p) == RowKind::MultiSwitch)
            m_values[p].value = -1; // a new list shows no option
    m_playerChanged.fill(0);
    m_open = true;
    m_rowsEnabled = true;
    ++m_buildCount;
    emit opened();
}

void SettingsModel::close()
{
    // The layout stays known (its row count still names the rows a request asks for).
    m_open = false;
    m_values.fill(RowValues{});
    m_playerChanged.fill(0);
    ++m_buildCount;
    emit closed();
}

const SettingsModel::RowValues &SettingsModel::values(int row) const
{
    static const RowValues none;
    return row >= 0 && row < kMaxRows ? m_values[row] : none;
}

std::optional<int> SettingsModel::level(int row) const
{
    if (!validRow(row))
        return std::nullopt;
    const int value = m_values[row].value;
    switch (m_rows.kind(row)) {
    case RowKind::Pot:
        return value;
    case RowKind::Switch:
        return switchLevel(value != 0);
    case RowKind::MultiSwitch:
        return multiSwitchLevel(value, m_rows.OptionCount[row]);
    }
    return std::nullopt;
}

std::array<bool, kMaxRows> SettingsModel::reverseFlags() const
{
    std::array<bool, kMaxRows> flags{};
    for (int p = 0; p < kMaxRows; ++p)
        flags[p] = validRow(p) && m_values[p].reverse;
    return flags;
}

bool SettingsModel::changed(int row, Part part, bool didChange)
{
    if (didChange)
        emit rowChanged(row, part);
    return didChange;
}

bool SettingsModel::setPot(int row, int level)
{
    if (!validRow(row) || m_rows.kind(row) != RowKind::Pot)
        return false;
    const int value = std::clamp(level, 0, kMaxLevel);
    return changed(row, Level, std::exchange(m_values[row].value, value) != value);
}

bool SettingsModel::setSwitch(int row, bool on)
{
    if (!validRow(row) || m_rows.kind(row) != RowKind::Switch)
        return false;
    return changed(row, Level, std::exchange(m_values[row].value, on ? 1 : 0) != (on ? 1 : 0));
}

bool SettingsModel::setOption(int row, int index)
{
    if (!validRow(row) || m_rows.kind(row) != RowKind::MultiSwitch || index < -1
        || index >= m_rows.OptionCount[row])
        return false;
    return changed(row, Level, std::exchange(m_values[row].value, index) != index);
}

bool SettingsModel::setPedalControl(int row, int index)
{
    if (!validRow(row) || index < -1 || index > kNoControl)
        return false;
    const bool differs = m_values[row].pedalControl != index;
    m_values[row].pedalControl = index;
    // The tables follow every choice, the same one again included: it leaves the row with
    // the one control the box shows.
    m_tables.AssignBoxChanged(row, index);
    return changed(row, PedalControl, differs);
}

bool SettingsModel::setReverse(int row, bool reversed)
{
    if (!validRow(row))
        return false;
    return changed(row, Reverse, std::exchange(m_values[row].reverse, reversed) != reversed);
}

bool SettingsModel::setLimitCaption(int row, LimitKind kind, const QString &caption)
{
    if (!validRow(row))
        return false;
    QString &shown = kind == LimitKind::Minimum ? m_values[row].minCaption : m_values[row].maxCaption;
    return changed(row, Limits, std::exchange(shown, caption) != caption);
}

void SettingsModel::showSwitchCaption(int row)
{
    if (!validRow(row) || m_rows.kind(row) != RowKind::Switch)
        return;
    const bool on = m_values[row].value != 0;
    changed(row, SwitchCaption, std::exchange(m_values[row].captionOn, on) != on);
}

void SettingsModel::notePlayerChange(int row, Part part)
{
    if (row >= 0 && row < kMaxRows)
        m_playerChanged[row] |= part;
}

bool SettingsModel::playerChanged(int row, Part part) const
{
    return row >= 0 && row < kMaxRows && (m_playerChanged[row] & part) != 0;
}

} // namespace tovel
