#include "actions/configactions.h"

#include "core/nowidgets.h"

#include "actions/pedalactions.h"
#include "config/configurationfile.h"
#include "core/regularfile.h"
#include "protocol/stateblock.h"
#include "core/seams.h"
#include "session/editorsession.h"
#include "session/undostack.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>

namespace tovel {

const QString kNoDocumentsMessage = QStringLiteral("Error: Could not retrieve the user documents path.");

namespace {

using Kind = ActionFailure::Kind;

const QString kRowsClosed =
    QStringLiteral("No effect's rows are open: choose the effect to save or load its configuration.");

bool rowsShown(const SettingsModel &model)
{
    return model.isOpen() && model.rows().count() > 0;
}

// The settings as the last state request left them: levels from the pedal's answer (the
// rows' own where the answer does not reach), the tables, the reverse flags.
Configuration currentConfiguration(const SettingsModel &model, const ParamTables &tables,
                                   const QList<quint8> &answer)
{
    Configuration c;
    const int rows = std::min(model.rows().count(), int(kMaxRows));
    const int pots = std::clamp(model.rows().NumPots(), 0, rows);
    for (int p = 0; p < rows; ++p) {
        std::optional<int> level = rowLevel(answer, p);
        if (!level)
            level = model.level(p);
        c.values.append(level.value_or(0));
        QString control = PedalControlNames[kNoControl];
        for (int k = 0; k < kPedalControls; ++k) {
            if (tables.AssignMatrix[k][p] != 0) {
                control = PedalControlNames[k];
                break;
            }
        }
        c.assignments.append(control);
        c.reversed.append(model.values(p).reverse);
    }
    for (int p = 0; p < pots; ++p) {
        c.minLimits.append(tables.MinLimit[p]);
        c.maxLimits.append(tables.MaxLimit[p]);
    }
    return c;
}

QString rowCaption(const EffectRows &rows, int row)
{
    const QString name = rows.name[row].trimmed();
    return name.isEmpty() ? QStringLiteral("row %1").arg(row + 1) : name;
}

// One limit of an assigned pot row from its percentage line, or the row's captions shown as
// unassigned. Empty, or the message that stops the load.
QString applyLimit(SettingsModel &model, int row, const ConfigurationReader::Item &item, LimitKind kind,
                   QStringList &clamped)
{
    ParamTables &tables = model.tables();
    if (!tables.IsAssigned[row]) {
        model.setLimitCaption(row, kind, QStringLiteral("-"));
        return QString();
    }
    const std::optional<int> percent = parseDecimal(item.text);
    if (!percent)
        return ConfigurationReader::badNumberMessage(item);
    const bool isMin = kind == LimitKind::Minimum;
    if (*percent < 1 || *percent > 100)
        clamped.append(QStringLiteral("line %1 (%2 %3): %4% became %5%")
                           .arg(item.lineNumber)
                           .arg(rowCaption(model.rows(), row))
                           .arg(isMin ? QStringLiteral("minimum") : QStringLiteral("maximum"))
                           .arg(*percent)
                           .arg(std::clamp(*percent, 1, 100)));
    (isMin ? tables.MinLimit : tables.MaxLimit)[row] = isMin ? minLimitFromPercent(*percent)
                                                             : maxLimitFromPercent(*percent);
    model.setLimitCaption(row, kind, QString::number(std::clamp(*percent, 1, 100)) + QLatin1Char('%'));
    return QString();
}

// The first item the load would stop at (a level, or the percentage of a pot row assigned once
// the assignments are read, that is no whole number), as its message; empty when there is none.
// Looked at before anything is applied, so that a file that would stop half-way sends nothing.
QString firstBadItem(const SettingsModel &model, const ConfigurationReader &reader)
{
    const int count = std::min(model.rows().count(), int(kMaxRows));
    const int pots = std::clamp(model.rows().NumPots(), 0, count);
    for (int p = 0; p < count; ++p)
        if (const auto item = reader.value(p); item && !parseDecimal(item->text))
            return ConfigurationReader::badNumberMessage(*item);
    std::array<bool, kMaxRows> assigned{};
    for (int p = 0; p < count; ++p) {
        const auto item = reader.assignment(p);
        assigned[p] = (item && pedalControlIndex(item->text)) || model.tables().IsAssigned[p];
    }
    for (int p = 0; p < pots; ++p)
        for (const auto &item : {reader.minimum(p), reader.maximum(p)})
            if (item && assigned[p] && !parseDecimal(item->text))
                return ConfigurationReader::badNumberMessage(*item);
    return QString();
}

// The file's items onto the rows, block by block: a pot or list whose level changes sends it,
// as a move would; a switch set here sends nothing and keeps its caption. Items the file does
// not reach are left as they were. Empty, or the message of a bad number (firstBadItem finds
// them first, so none is met half-way). A pot level outside 0..1023 or a percentage outside
// 1..100 is taken as the nearest one, noted in `clamped`.
QString applyConfiguration(EditorSession &session, const ConfigurationReader &reader, QStringList &clamped)
{
    SettingsModel &model = session.settings();
    const EffectRows &rows = model.rows();
    const int count = std::min(rows.count(), int(kMaxRows));
    const int pots = std::clamp(rows.NumPots(), 0, count);

    for (int p = 0; p < count; ++p) {
        const auto item = reader.value(p);
        if (!item)
            break;
        const std::optional<int> level = parseDecimal(item->text);
        if (!level)
            return ConfigurationReader::badNumberMessage(*item);
        switch (rows.kind(p)) {
        case RowKind::Pot:
            if (*level < 0 || *level > kMaxLevel)
                clamped.append(QStringLiteral("line %1 (%2): %3 became %4")
                                   .arg(item->lineNumber)
                                   .arg(rowCaption(rows, p))
                                   .arg(*level)
                                   .arg(std::clamp(*level, 0, kMaxLevel)));
            if (model.setPot(p, *level) && !session.LiveMode())
                sendRowLevel(session, p, model.values(p).value, QStringLiteral("pot"));
            break;
        case RowKind::Switch:
            model.setSwitch(p, *level > 0);
            break;
        case RowKind::MultiSwitch:
            if (const auto index = multiSwitchIndex(*level, rows.OptionCount[p]))
                if (model.setOption(p, *index))
                    sendRowLevel(session, p, *model.level(p), QStringLiteral("multiswitch"));
            break;
        }
    }
    // "NA" and anything that names no control leave the row's assignment alone.
    for (int p = 0; p < count; ++p) {
        const auto item = reader.assignment(p);
        if (!item)
            break;
        if (const auto control = pedalControlIndex(item->text)) {
            model.setPedalControl(p, *control);
            model.tables().AssignBoxChanged(p, *control);
        }
    }
    for (int p = 0; p < count; ++p) {
        const auto item = reader.reverse(p);
        if (!item)
            break;
        if (const auto flag = reverseFlag(item->text))
            model.setReverse(p, *flag);
    }
    for (int p = 0; p < pots; ++p) {
        const auto item = reader.minimum(p);
        if (!item)
            break;
        if (const QString error = applyLimit(model, p, *item, LimitKind::Minimum, clamped); !error.isEmpty())
            return error;
    }
    for (int p = 0; p < pots; ++p) {
        const auto item = reader.maximum(p);
        if (!item)
            break;
        if (const QString error = applyLimit(model, p, *item, LimitKind::Maximum, clamped); !error.isEmpty())
            return error;
    }
    return QString();
}

} // namespace

std::optional<ActionFailure> configurationSaveRefusal(EditorSession &session)
{
    const QString step = QStringLiteral("configuration save");
    if (!rowsShown(session.settings()))
        return ActionFailure{Kind::Invalid, step, {}, kRowsClosed};
    // Without a link the state request would only collect driver errors.
    if (session.exchange().linkListener() != CommandExchange::Listener::EffectFirmware)
        return ActionFailure{Kind::NoPedal, step, {}, QStringLiteral("Not connected: the configuration was not saved.")};
    // The pedal's state belongs to the effect it runs: written under another effect's name it
    // would set that effect's rows to numbers meant for other parameters.
    const Selection &selection = session.selection;
    const QString &pedalEffect = session.pedal.PedalEffectName;
    if (!selection.EffectOnPedal || selection.SelectedEffectName != pedalEffect)
        return ActionFailure{
            Kind::Invalid, step, {},
            pedalEffect.isEmpty()
                ? QStringLiteral("The effect the pedal runs is not known yet, so the settings of %1 "
                                 "cannot be read from it: the configuration was not saved. Upload "
                                 "%1 or ask the pedal which effect it runs first.")
                      .arg(selection.SelectedEffectName)
                : QStringLiteral("The pedal runs %1, not %2: the configuration of %2 was not saved. "
                                 "Choose %1 to save its settings, or upload %2 and ask the pedal "
                                 "which effect it runs first.")
                      .arg(pedalEffect, selection.SelectedEffectName),
            ActionFailure::Advice::AskPedalEffect};
    return std::nullopt;
}

std::optional<ActionFailure> configurationLoadRefusal(EditorSession &session)
{
    if (!rowsShown(session.settings()))
        return ActionFailure{Kind::Invalid, QStringLiteral("configuration load"), {}, kRowsClosed};
    return std::nullopt;
}

ActionResult<QString> saveConfiguration(EditorSession &session, const QString &path,
                                        const std::function<void()> &onRequestSent)
{
    using R = ActionResult<QString>;
    if (std::optional<ActionFailure> refusal = configurationSaveRefusal(session))
        return {refusal, {}};
    // A request that did not complete has said why; its stale values are not written.
    if (ActionResult<Done> request = requestState(session, onRequestSent); !request)
        return {request.failure, {}};
    const QString step = QStringLiteral("configuration save");
    if (path.isEmpty())
        return R::fail(Kind::File, step, kNoDocumentsMessage);
    const Configuration configuration = currentConfiguration(session.settings(), session.params,
                                                             session.pedal.ReceivedBytes);
    if (const QString error = writeConfiguration(path, configuration); !error.isEmpty())
        return R::fail(Kind::File, step, QStringLiteral("Error saving file: ") + error);
    session.console().printToConsole(QStringLiteral("configuration saved: ") + path);
    R result;
    result.value = path;
    return result;
}

QString OtherLayout::text() const
{
    return QStringLiteral("%1 has %2 lines where the rows of %3 need %4: it was saved for another effect or another "
                          "layout of this one.")
        .arg(fileName)
        .arg(lines)
        .arg(effect)
        .arg(expected);
}

ActionResult<ConfigurationLoad> loadConfiguration(EditorSession &session, const QString &path,
                                                  const std::function<bool(const OtherLayout &)> &loadOtherLayout)
{
    using R = ActionResult<ConfigurationLoad>;
    const QString step = QStringLiteral("configuration load");
    SettingsModel &model = session.settings();
    if (std::optional<ActionFailure> refusal = configurationLoadRefusal(session))
        return {refusal, {}};
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty())
        return R::fail(Kind::File, step, QStringLiteral("Error loading file: ") + why);
    if (file.size() > kMaxConfigurationBytes)
        return R::fail(Kind::File, step,
                       QStringLiteral("%1 is not a configuration file: it is larger than 64 KB.")
                           .arg(QFileInfo(path).fileName()));
    const ConfigurationReader reader(configurationLines(file.read(kMaxConfigurationBytes)), model.rows().count(),
                                     model.rows().NumPots());
    // A file of another layout lays its lines over the wrong rows: nothing is applied (or
    // sent) unless the player says so.
    if (!reader.fitsLayout()) {
        const OtherLayout layout{QFileInfo(path).fileName(), int(reader.lineCount()),
                                 session.selection.SelectedEffectName, int(reader.expectedLines())};
        if (!loadOtherLayout || !loadOtherLayout(layout)) {
            session.console().printToConsole(QStringLiteral("configuration not loaded: ") + path);
            return {};
        }
    }
    if (const QString bad = firstBadItem(model, reader); !bad.isEmpty()) {
        session.console().printToConsole(QStringLiteral("configuration not loaded: ") + path);
        return R::fail(Kind::File, step, bad);
    }
    // The load sends what the player could send by hand now: rows of an effect the pedal does
    // not run carry another program's addresses, and rows disabled by a Disconnect have no
    // link to go to. Otherwise the rows show the file and nothing is sent.
    const bool rowsLive = session.selection.EffectOnPedal && model.rowsEnabled();
    R result;
    QString error;
    {
        // The whole load is one step.
        UndoStack::Record record(session.undoStack(), StepKind::Configuration);
        // The pots and lists the load moves send once, when it ends: the latest level of each
        // parameter. A load that sends nothing holds no link to the effect firmware.
        CommandExchange &exchange = session.exchange();
        auto scope = exchange.begin(step, rowsLive ? CommandExchange::Listener::EffectFirmware
                                                   : exchange.linkListener());
        if (!scope)
            return R{exchange.refused(step)};
        if (rowsLive)
            if (std::optional<ActionFailure> refusal = session.require(PedalNeed::EffectFirmwareInStep, step))
                return {refusal, {}};
        error = applyConfiguration(session, reader, result.value.clamped);
        if (!rowsLive)
            exchange.dropDeferred();
    }
    session.console().printToConsole(QStringLiteral("configuration loaded: ") + path);
    if (!error.isEmpty())
        return R::fail(Kind::File, step, error);
    result.value.loaded = true;
    session.undoStack().keep(CompareSet::Loaded);
    return result;
}

QString configurationLoadedMessage(const ConfigurationLoad &load)
{
    QString message = QStringLiteral("FX Configuration File Loaded");
    if (!load.clamped.isEmpty())
        message += QStringLiteral("\n\nValues outside their range were taken as the nearest one:\n")
                   + load.clamped.join(QLatin1Char('\n'));
    return message;
}

} // namespace tovel
