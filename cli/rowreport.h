#pragma once

#include "actions/openfxactions.h"
#include "params/effectrows.h"
#include "params/settingsmodel.h"

#include <QJsonObject>
#include <QString>

namespace tovel {

// How `tovel` shows an effect's rows and the pedal's settings: as text for a person, one row a
// line, and as JSON for a script. Rows count from 1, as the windows show them.

// "pot", "switch", "list".
QString kindName(RowKind kind);
// The row's name as the layout gives it, or its spoken name when the layout gives none.
QString rowName(const EffectRows &rows, int row);

// A row as `info` shows it: its kind and what it can be set to.
QJsonObject rowLayoutJson(const EffectRows &rows, int row);
QString rowLayoutText(const EffectRows &rows, int row);

// A row's setting as `state` shows it: its value, the pedal control its box shows, its
// reverse flag, and a pot's limits (the levels, and the percentages the windows show).
QJsonObject rowStateJson(const SettingsModel &model, int row);
QString rowStateText(const SettingsModel &model, int row);

// The effect query's answer: the effect's name (null when none runs) and numbers, the firmware
// version.
QJsonObject queryJson(const EffectQueryResult &query);

} // namespace tovel
