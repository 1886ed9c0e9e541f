#pragma once

#include "params/effectrows.h"
#include "params/paramtables.h"
#include "protocol/commands.h"

#include <QObject>
#include <array>
#include <optional>

namespace tovel {

// The settings of the open effect as plain data: what each row holds (a pot's level, a switch's
// state, a list's option, the pedal control its box shows, its reverse flag, its limits'
// captions, the caption its switch shows) over the effect's rows, and the program-wide tables
// of assignments and limits. The parameter window draws it and turns the player's moves into
// actions; the actions change it. It sends nothing itself.
//
// Rows are opened for one effect and closed again; every opening starts from fresh rows (levels
// 0, no pedal control chosen, no reverse, limits "-"), while the tables live on.
class SettingsModel : public QObject {
    Q_OBJECT

public:
    // The rows as a whole are enabled: after they open, until Open FX or a lost link disables
    // them, and again after a state request. A configuration load sends only to enabled rows.
    bool rowsEnabled() const { return m_rowsEnabled; }
    void setRowsEnabled(bool enabled) { m_rowsEnabled = enabled; }

    // What of a row changed.
    enum Part { Level = 1, PedalControl = 2, Reverse = 4, Limits = 8, SwitchCaption = 16, AllParts = 31 };

    struct RowValues {
        int value = 0;          // pot: level 0..1023; switch: 0 off, 1 on; list: option, -1 none
        int pedalControl = -1;  // what the box shows: -1 none, 0..6 a control, 7 "NA"
        bool reverse = false;
        QString minCaption = QStringLiteral("-");
        QString maxCaption = QStringLiteral("-");
        bool captionOn = false; // the switch's caption shows its on text
    };

    explicit SettingsModel(ParamTables &tables, QObject *parent = nullptr);

    // Fresh rows for an effect, or none.
    void open(EffectRows rows);
    void close();
    bool isOpen() const { return m_open; }
    const EffectRows &rows() const { return m_rows; }
    // Counts every opening and closing: what was asked for one set of rows is not for another.
    int buildCount() const { return m_buildCount; }

    const RowValues &values(int row) const;
    ParamTables &tables() { return m_tables; }
    const ParamTables &tables() const { return m_tables; }

    // The row's level on the wire: a pot's level, 1023 or 0 for a switch, option x (1024 div
    // options) for a list; nothing for a list without an option chosen or a row that is none.
    std::optional<int> level(int row) const;
    std::array<bool, kMaxRows> reverseFlags() const;

    // Each setter returns whether the row changed, and reports it through rowChanged.
    // A pot takes 0..1023 (a level beyond is taken as the nearest end).
    bool setPot(int row, int level);
    bool setSwitch(int row, bool on);
    // An option of the list, or -1 for none; an index beyond the options is not taken.
    bool setOption(int row, int index);
    // The box of the row shows `index` (-1 none, 7 "NA"): the tables follow, as a choice in
    // the box does.
    bool setPedalControl(int row, int index);
    bool setReverse(int row, bool reversed);
    bool setLimitCaption(int row, LimitKind kind, const QString &caption);
    // The switch's caption follows its state.
    void showSwitchCaption(int row);

    // Rows the player changed while an exchange ran, by part: the answer of that exchange
    // leaves them as the player set them. Cleared when an exchange starts and ends.
    void notePlayerChange(int row, Part part);
    bool playerChanged(int row, Part part) const;
    void clearPlayerChanges() { m_playerChanged.fill(0); }

signals:
    void opened();
    void closed();
    void rowChanged(int row, int parts);

private:
    bool validRow(int row) const { return m_open && row >= 0 && row < m_rows.count(); }
    bool changed(int row, Part part, bool didChange);

    ParamTables &m_tables;
    EffectRows m_rows;
    bool m_open = false;
    bool m_rowsEnabled = true;
    int m_buildCount = 0;
    std::array<RowValues, kMaxRows> m_values;
    std::array<int, kMaxRows> m_playerChanged{};
};

} // namespace tovel
