#include "cli/rowreport.h"

#include "params/paramtables.h"

#include <QJsonArray>

namespace tovel {

QString kindName(RowKind kind)
{
    switch (kind) {
    case RowKind::Pot:
        return QStringLiteral("pot");
    case RowKind::Switch:
        return QStringLiteral("switch");
    case RowKind::MultiSwitch:
        return QStringLiteral("list");
    }
    return QString();
}

QString rowName(const EffectRows &rows, int row)
{
    const QString name = rows.name[row].trimmed();
    return name.isEmpty() ? rows.spokenName(row) : name;
}

QJsonObject rowLayoutJson(const EffectRows &rows, int row)
{
    QJsonObject o{{QStringLiteral("row"), row + 1},
                  {QStringLiteral("name"), rowName(rows, row)},
                  {QStringLiteral("kind"), kindName(rows.kind(row))}};
    switch (rows.kind(row)) {
    case RowKind::Pot:
        break;
    case RowKind::Switch:
        o.insert(QStringLiteral("off"), rows.SwitchOffText[row]);
        o.insert(QStringLiteral("on"), rows.SwitchOnText[row]);
        break;
    case RowKind::MultiSwitch:
        o.insert(QStringLiteral("options"), QJsonArray::fromStringList(rows.options[row]));
        break;
    }
    return o;
}

QString rowLayoutText(const EffectRows &rows, int row)
{
    QString line = QStringLiteral("%1  %2  %3").arg(row + 1, 2).arg(rowName(rows, row), kindName(rows.kind(row)));
    switch (rows.kind(row)) {
    case RowKind::Pot:
        line += QStringLiteral(" 0..1023");
        break;
    case RowKind::Switch:
        line += QStringLiteral(" off: %1, on: %2").arg(rows.SwitchOffText[row], rows.SwitchOnText[row]);
        break;
    case RowKind::MultiSwitch:
        line += QLatin1Char(' ') + rows.options[row].join(QStringLiteral(" | "));
        break;
    }
    return line;
}

namespace {

QJsonValue controlJson(int index)
{
    if (index < 0 || index >= int(PedalControlNames.size()))
        return QJsonValue::Null;
    return PedalControlNames[index];
}

} // namespace

QJsonObject rowStateJson(const SettingsModel &model, int row)
{
    const EffectRows &rows = model.rows();
    const SettingsModel::RowValues &v = model.values(row);
    QJsonObject o{{QStringLiteral("row"), row + 1},
                  {QStringLiteral("name"), rowName(rows, row)},
                  {QStringLiteral("kind"), kindName(rows.kind(row))}};
    if (const std::optional<int> level = model.level(row))
        o.insert(QStringLiteral("level"), *level);
    else
        o.insert(QStringLiteral("level"), QJsonValue::Null);
    switch (rows.kind(row)) {
    case RowKind::Pot:
        break;
    case RowKind::Switch:
        o.insert(QStringLiteral("on"), v.value != 0);
        o.insert(QStringLiteral("caption"), v.value != 0 ? rows.SwitchOnText[row] : rows.SwitchOffText[row]);
        break;
    case RowKind::MultiSwitch:
        o.insert(QStringLiteral("option"), v.value >= 0 ? QJsonValue(rows.options[row].value(v.value)) : QJsonValue());
        o.insert(QStringLiteral("options"), QJsonArray::fromStringList(rows.options[row]));
        break;
    }
    o.insert(QStringLiteral("control"), controlJson(v.pedalControl));
    o.insert(QStringLiteral("reverse"), v.reverse);
    if (rows.kind(row) == RowKind::Pot) {
        const ParamTables &tables = model.tables();
        o.insert(QStringLiteral("assigned"), tables.IsAssigned[row]);
        o.insert(QStringLiteral("min"), QJsonObject{{QStringLiteral("level"), int(tables.MinLimit[row])},
                                                    {QStringLiteral("shown"), v.minCaption}});
        o.insert(QStringLiteral("max"), QJsonObject{{QStringLiteral("level"), int(tables.MaxLimit[row])},
                                                    {QStringLiteral("shown"), v.maxCaption}});
    }
    return o;
}

QString rowStateText(const SettingsModel &model, int row)
{
    const QJsonObject o = rowStateJson(model, row);
    const EffectRows &rows = model.rows();
    QString value;
    switch (rows.kind(row)) {
    case RowKind::Pot:
        value = QString::number(o.value(QStringLiteral("level")).toInt());
        break;
    case RowKind::Switch:
        value = (o.value(QStringLiteral("on")).toBool() ? QStringLiteral("on (%1)") : QStringLiteral("off (%1)"))
                    .arg(o.value(QStringLiteral("caption")).toString());
        break;
    case RowKind::MultiSwitch:
        value = o.value(QStringLiteral("option")).isNull() ? QStringLiteral("-")
                                                           : o.value(QStringLiteral("option")).toString();
        break;
    }
    const QJsonValue control = o.value(QStringLiteral("control"));
    QString line = QStringLiteral("%1  %2  %3  control %4")
                       .arg(row + 1, 2)
                       .arg(rowName(rows, row), value, control.isNull() ? QStringLiteral("-") : control.toString());
    if (o.value(QStringLiteral("reverse")).toBool())
        line += QStringLiteral("  reversed");
    if (rows.kind(row) == RowKind::Pot)
        line += QStringLiteral("  min %1  max %2").arg(model.values(row).minCaption, model.values(row).maxCaption);
    return line;
}

QJsonObject queryJson(const EffectQueryResult &query)
{
    // No effect runs (effect number 0): null, not an empty name.
    QJsonObject o{{QStringLiteral("effect"), query.effect.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(query.effect)}};
    if (query.info) {
        o.insert(QStringLiteral("effectNumber"), query.info->effectNumber);
        o.insert(QStringLiteral("effectVersion"), query.info->effectVersion);
        o.insert(QStringLiteral("firmwareVersion"), query.info->firmwareVersion);
    }
    return o;
}

} // namespace tovel
