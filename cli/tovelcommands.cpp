#include "cli/tovelcommands.h"

#include "actions/configactions.h"
#include "actions/soundactions.h"
#include "actions/firmwareactions.h"
#include "actions/iractions.h"
#include "actions/linkactions.h"
#include "actions/openfxactions.h"
#include "actions/pedalactions.h"
#include "actions/uploadactions.h"
#include "actions/upgradereconnect.h"
#include "actions/versionactions.h"
#include "catalogue/catalogueresources.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "catalogue/infopagetext.h"
#include "catalogue/resourceindex.h"
#include "cli/rowreport.h"
#include "cli/suggestion.h"
#include "cli/terminalprompts.h"
#include "cli/terminaltext.h"
#include "config/configurationfile.h"
#include "core/safefile.h"
#include "firmware/firmwareimage.h"
#include "params/paramrows.h"
#include "protocol/commandexchange.h"
#include "session/editorsession.h"
#include "update/versiontext.h"
#include "update/website.h"
#include "usb/d2xxunit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;

ActionFailure usage(const QString &step, const QString &message)
{
    return ActionFailure{Kind::Invalid, step, {}, message};
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// What a set or an assignment did to a row: its number and name, and the value it has now.
QJsonObject rowDone(const SettingsModel &model, int row, const QStringList &keys)
{
    const QJsonObject state = rowStateJson(model, row);
    QJsonObject o;
    for (const QString &key : keys)
        if (state.contains(key))
            o.insert(key, state.value(key));
    return o;
}

std::optional<int> wholeNumber(const QString &word)
{
    bool ok = false;
    const int n = word.toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// What a move of the row would set for `word`: a pot's level, a switch's 0 or 1, a list's
// option from 0. Nothing when the word fits no value of the row.
std::optional<int> rowValue(const EffectRows &rows, int row, const QString &word)
{
    switch (rows.kind(row)) {
    case RowKind::Pot:
        if (const std::optional<int> level = wholeNumber(word); level && *level >= 0 && *level <= kMaxLevel)
            return level;
        return std::nullopt;
    case RowKind::Switch:
        if (word.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0 || word == QLatin1String("1"))
            return 1;
        if (word.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0 || word == QLatin1String("0"))
            return 0;
        if (word.compare(rows.SwitchOnText[row].trimmed(), Qt::CaseInsensitive) == 0)
            return 1;
        if (word.compare(rows.SwitchOffText[row].trimmed(), Qt::CaseInsensitive) == 0)
            return 0;
        return std::nullopt;
    case RowKind::MultiSwitch: {
        const QStringList &options = rows.options[row];
        for (int i = 0; i < options.size(); ++i)
            if (word.compare(options[i].trimmed(), Qt::CaseInsensitive) == 0)
                return i;
        if (const std::optional<int> n = wholeNumber(word); n && *n >= 1 && *n <= options.size())
            return *n - 1;
        return std::nullopt;
    }
    }
    return std::nullopt;
}

QString valuesOfRow(const EffectRows &rows, int row)
{
    switch (rows.kind(row)) {
    case RowKind::Pot:
        return QStringLiteral("a level 0..1023");
    case RowKind::Switch:
        return QStringLiteral("on or off (%1 or %2)").arg(rows.SwitchOnText[row], rows.SwitchOffText[row]);
    case RowKind::MultiSwitch:
        return QStringLiteral("one of %1, or its number from 1").arg(rows.options[row].join(QStringLiteral(", ")));
    }
    return QString();
}

} // namespace

TovelCommands::TovelCommands(EditorSession &session, TerminalPrompts &prompts, const WebSite &site, QTextStream &out)
    : m_session(session), m_prompts(prompts), m_site(site), m_stdout(out)
{
    // A failed USB call: its fixed text, and the driver's reason for a failed open below it.
    m_session.usb.onFailure = [this](const UsbFailure &failure) {
        m_said = true;
        m_prompts.showMessage(D2XXUnit::failureText(failure));
    };
}

TovelCommands::~TovelCommands()
{
    m_session.usb.onFailure = nullptr;
}

QString TovelCommands::json(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

QString TovelCommands::errorJson(int code, const QString &message)
{
    return json(QJsonObject{{QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), code},
                                                                  {QStringLiteral("message"), message}}}});
}

int TovelCommands::run(const CliRequest &request)
{
    m_prompts.setCollecting(request.json);
    m_said = false;
    Failure failure;
    const bool pedal = CommandLine::needsPedal(request.command);
    // The bridge gone mid-command: said, and the port let go at once, as the windows do.
    QMetaObject::Connection lost = QObject::connect(&m_session, &EditorSession::deviceLost, &m_session, [this] {
        m_said = true;
        m_prompts.showMessage(QStringLiteral("The pedal was disconnected."));
        forgetLostPedal(m_session);
    });
    // A name the backup could never be written to is said before the pedal is woken.
    if (request.command == QLatin1String("backup"))
        if (const QString why = unwritableReason(QFileInfo(request.words.value(0)).absoluteFilePath()); !why.isEmpty())
            failure = ActionFailure{Kind::File, QStringLiteral("firmware backup"), {},
                                    QStringLiteral("The backup was not written. Error saving file: %1.").arg(why)};
    if (pedal && !failure)
        failure = connect(CommandLine::needsBootloader(request.command));
    if (!failure)
        failure = runCommand(request);
    if (pedal && m_session.exchange().linkListener() != CommandExchange::Listener::None)
        disconnectPedal(m_session);
    QObject::disconnect(lost);
    const QString said = failure ? failureText(*failure) : QString();
    m_out.flush();
    if (request.json) {
        // What the lower layers said during the run belongs to the failure; after a success
        // it is a note for a person.
        const QStringList collected = m_prompts.takeCollected();
        m_prompts.setCollecting(false);
        if (failure) {
            const QStringList lines = collected + (said.isEmpty() ? QStringList() : QStringList{said});
            m_result.insert(QStringLiteral("error"),
                            QJsonObject{{QStringLiteral("code"), failure->exitStatus()},
                                        {QStringLiteral("message"), lines.join(QLatin1Char('\n'))}});
        } else {
            for (const QString &note : collected)
                m_prompts.showMessage(note);
        }
        m_stdout << json(m_result);
    } else {
        if (!request.quiet)
            m_stdout << escapedForTerminal(m_text);
        m_stdout.flush();
        if (!said.isEmpty())
            m_prompts.showMessage(said);
    }
    m_stdout.flush();
    return failure ? failure->exitStatus() : 0;
}

TovelCommands::Failure TovelCommands::connect(bool bootloader)
{
    const QList<ListedBridge> bridges = listBridges(m_session, false);
    if (bridges.isEmpty())
        return ActionFailure{Kind::NoPedal, QStringLiteral("connect"), {},
                             QStringLiteral("No pedal found. Plug the pedal in (see the udev rule in tovel(1)), "
                                            "or name its port with --device PATH.")};
    // The pedal's line, as the main window sets it at start.
    m_session.usb.choosePedalLine();
    m_session.link.FirmwareUpgradeMode = bootloader;
    const ActionResult<Connection> connection = connectPedal(m_session);
    if (!connection)
        return connection.failure;
    if (bootloader && !connection.value.greeted)
        return ActionFailure{
            Kind::PedalAnswer, QStringLiteral("bootloader greeting"), {},
            QStringLiteral("The pedal does not answer as its bootloader does%1: it runs its effect firmware, or it "
                           "is off. Nothing was written. To upgrade its firmware: switch the pedal off, start it "
                           "in its bootloader as the maker's upgrade instructions say, plug it in, then run the "
                           "command again.")
                .arg(connection.value.greeting.isEmpty() ? QString()
                                                         : QStringLiteral(" (it sent %1)").arg(connection.value.greeting)),
            ActionFailure::Advice::None};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::runCommand(const CliRequest &r)
{
    const QString &c = r.command;
    if (c == QLatin1String("list"))
        return list(r);
    if (c == QLatin1String("info"))
        return info(r);
    if (c == QLatin1String("upload"))
        return upload(r);
    if (c == QLatin1String("query"))
        return query(r);
    if (c == QLatin1String("state"))
        return state(r);
    if (c == QLatin1String("set"))
        return set(r);
    if (c == QLatin1String("limit"))
        return limit(r);
    if (c == QLatin1String("assign"))
        return assign(r);
    if (c == QLatin1String("store"))
        return store();
    if (c == QLatin1String("config"))
        return config(r);
    if (c == QLatin1String("flash"))
        return flash(r);
    if (c == QLatin1String("backup"))
        return backup(r);
    if (c == QLatin1String("version"))
        return version();
    return usage(c, QStringLiteral("\"%1\" is no command.").arg(c));
}

TovelCommands::Failure TovelCommands::list(const CliRequest &r)
{
    CatalogueLoader &loader = m_session.loader();
    QJsonArray categories;
    bool found = false;
    for (const CategoryRow &category : CategoryTable) {
        const QString caption = QString::fromLatin1(category.caption);
        if (!r.words.isEmpty() && r.words.first().compare(caption, Qt::CaseInsensitive) != 0)
            continue;
        found = true;
        if (!loader.LoadListResource(QString::fromLatin1(category.listResource)))
            return ActionFailure{Kind::File, QStringLiteral("list"), {}, loader.error()};
        categories.append(QJsonObject{{QStringLiteral("category"), caption},
                                      {QStringLiteral("effects"), QJsonArray::fromStringList(loader.CurrentList())}});
    }
    if (!found) {
        QStringList captions;
        for (const CategoryRow &category : CategoryTable)
            captions.append(QString::fromLatin1(category.caption));
        return usage(QStringLiteral("list"), QStringLiteral("No category is named \"%1\".%2 The categories: %3.")
                                                 .arg(r.words.first(), didYouMean(r.words.first(), captions),
                                                      captions.join(QStringLiteral(", "))));
    }
    if (r.json) {
        m_result = QJsonObject{{QStringLiteral("categories"), categories}};
        return std::nullopt;
    }
    for (const QJsonValue &category : categories) {
        const QJsonObject o = category.toObject();
        // One category: its effects, one a line, for a script to read.
        if (categories.size() > 1)
            m_out << o.value(QStringLiteral("category")).toString() << '\n';
        for (const QJsonValue &effect : o.value(QStringLiteral("effects")).toArray())
            m_out << (categories.size() > 1 ? "  " : "") << effect.toString() << '\n';
    }
    return std::nullopt;
}

QStringList TovelCommands::allEffects()
{
    QStringList effects;
    CatalogueLoader &loader = m_session.loader();
    for (const CategoryRow &category : CategoryTable)
        if (loader.LoadListResource(QString::fromLatin1(category.listResource)))
            effects += loader.CurrentList();
    return effects;
}

QString TovelCommands::findEffect(const QString &word)
{
    CatalogueLoader &loader = m_session.loader();
    for (const CategoryRow &category : CategoryTable) {
        if (!loader.LoadListResource(QString::fromLatin1(category.listResource)))
            return QString();
        for (const QString &effect : loader.CurrentList())
            if (effect.compare(word.trimmed(), Qt::CaseInsensitive) == 0)
                return effect;
    }
    return QString();
}

TovelCommands::Failure TovelCommands::info(const CliRequest &r)
{
    const QString effect = findEffect(r.words.first());
    if (effect.isEmpty())
        return usage(QStringLiteral("info"), QStringLiteral("No effect is named \"%1\".%2 tovel list shows them.")
                                                 .arg(r.words.first(), didYouMean(r.words.first(), allEffects(), true)));
    QString categoryCaption;
    CatalogueLoader &loader = m_session.loader();
    for (const CategoryRow &category : CategoryTable)
        if (loader.LoadListResource(QString::fromLatin1(category.listResource)) && loader.CurrentList().contains(effect)) {
            categoryCaption = QString::fromLatin1(category.caption);
            break;
        }
    const EffectRows rows = loadEffectRows(loader, effect, m_session.console());
    if (!rows.complete)
        return ActionFailure{Kind::File, QStringLiteral("info"), {}, rows.problem};
    QString page;
    const QString pagePath = catalogueResources().path(EffectResourceName(effect) + QStringLiteral("_INFO"));
    if (QFile file(pagePath); !pagePath.isEmpty() && file.open(QIODevice::ReadOnly))
        page = infoPagePlainText(decodeInfoPage(file.readAll()));

    if (r.json) {
        QJsonArray rowList;
        for (int p = 0; p < rows.count(); ++p)
            rowList.append(rowLayoutJson(rows, p));
        m_result = QJsonObject{{QStringLiteral("effect"), effect},
                               {QStringLiteral("category"), categoryCaption},
                               {QStringLiteral("rows"), rowList},
                               {QStringLiteral("info"), page}};
        return std::nullopt;
    }
    m_out << effect << '\n' << QStringLiteral("Category: ") << categoryCaption << '\n';
    m_out << QStringLiteral("Rows:") << '\n';
    for (int p = 0; p < rows.count(); ++p)
        m_out << rowLayoutText(rows, p) << '\n';
    if (!page.isEmpty())
        m_out << '\n' << page << '\n';
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::upload(const CliRequest &r)
{
    if (!r.file.isEmpty()) {
        const ActionResult<QString> result = uploadProgramFile(m_session, r.file);
        if (!result)
            return result.failure;
        // The receive buffer holds the status at its start, then what earlier answers left.
        const QString status = result.value.section(QLatin1Char('\0'), 0, 0).trimmed();
        m_out << status << '\n';
        m_result = QJsonObject{{QStringLiteral("upload"), QJsonObject{{QStringLiteral("file"), r.file},
                                                                      {QStringLiteral("status"), status}}}};
        return std::nullopt;
    }
    const QString effect = findEffect(r.words.first());
    if (effect.isEmpty())
        return usage(QStringLiteral("upload"), QStringLiteral("No effect is named \"%1\".%2 tovel list shows them.")
                                                   .arg(r.words.first(), didYouMean(r.words.first(), allEffects(), true)));
    if (!m_session.selectEffect(effect))
        return ActionFailure{Kind::File, QStringLiteral("upload"), {}, m_session.settings().rows().problem};
    if (!r.ir.isEmpty()) {
        const ActionResult<ImpulseResponseImport> imported = importImpulseResponse(m_session, r.ir, r.normalise);
        if (!imported) {
            ActionFailure failure = *imported.failure;
            // Only an IR loader takes a file; it is the effect named, not a dialog, that is wrong.
            if (failure.kind == Kind::Invalid)
                failure.message = QStringLiteral("%1 takes no impulse response: give --ir with an effect of the "
                                                 "Impulse Response category (tovel list \"Impulse Response\").")
                                      .arg(effect);
            return failure;
        }
        m_out << imported.value.summary.trimmed() << '\n';
    }
    const ActionResult<QString> result = uploadSelectedEffect(m_session);
    if (!result)
        return result.failure;
    m_out << result.value.trimmed() << '\n';
    QJsonObject done{{QStringLiteral("effect"), effect}, {QStringLiteral("status"), result.value.trimmed()}};
    if (!r.ir.isEmpty())
        done.insert(QStringLiteral("ir"), r.ir);
    m_result = QJsonObject{{QStringLiteral("upload"), done}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::openPedalEffect(bool request)
{
    // A command reads the pedal's settings for itself: nothing read goes back to the pedal.
    const ActionResult<EffectQueryResult> opened = tovel::openPedalEffect(m_session, request, Echo::None);
    if (!opened)
        return opened.failure;
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::query(const CliRequest &r)
{
    const ActionResult<EffectQueryResult> result = queryEffect(m_session);
    if (!result)
        return result.failure;
    if (r.json) {
        m_result = queryJson(result.value);
        return std::nullopt;
    }
    // A pedal that runs no effect says so as its answer (effect number 0).
    m_out << QStringLiteral("effect: ") << (result.value.effect.isEmpty() ? QStringLiteral("none") : result.value.effect)
          << '\n';
    if (result.value.info) {
        m_out << QStringLiteral("effect number: ") << result.value.info->effectNumber << '\n';
        m_out << QStringLiteral("effect version: ") << result.value.info->effectVersion << '\n';
        m_out << QStringLiteral("firmware version: ") << result.value.info->firmwareVersion << '\n';
    }
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::state(const CliRequest &r)
{
    const ActionResult<EffectQueryResult> opened = tovel::openPedalEffect(m_session, true, Echo::None);
    if (!opened)
        return opened.failure;
    const SettingsModel &model = m_session.settings();
    if (r.json) {
        QJsonObject o = queryJson(opened.value);
        QJsonArray rows;
        for (int p = 0; p < model.rows().count(); ++p)
            rows.append(rowStateJson(model, p));
        o.insert(QStringLiteral("rows"), rows);
        m_result = o;
        return std::nullopt;
    }
    m_out << opened.value.effect;
    if (opened.value.info)
        m_out << QStringLiteral(" v%1").arg(opened.value.info->effectVersion);
    m_out << '\n';
    for (int p = 0; p < model.rows().count(); ++p)
        m_out << rowStateText(model, p) << '\n';
    return std::nullopt;
}

std::optional<int> TovelCommands::findRow(const QString &word, Failure &failure) const
{
    const EffectRows &rows = m_session.settings().rows();
    if (const std::optional<int> n = wholeNumber(word)) {
        if (*n >= 1 && *n <= rows.count())
            return *n - 1;
    } else {
        for (int p = 0; p < rows.count(); ++p)
            if (word.trimmed().compare(rows.name[p].trimmed(), Qt::CaseInsensitive) == 0
                || word.trimmed().compare(rows.spokenName(p), Qt::CaseInsensitive) == 0)
                return p;
    }
    QStringList names;
    QStringList bare;
    for (int p = 0; p < rows.count(); ++p) {
        names.append(QStringLiteral("%1 %2").arg(p + 1).arg(rowName(rows, p)));
        bare.append(rowName(rows, p));
    }
    failure = usage(QStringLiteral("row"), QStringLiteral("%1 has no row \"%2\".%3 Its rows: %4.")
                                               .arg(rows.effect, word, didYouMean(word, bare),
                                                    names.join(QStringLiteral(", "))));
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::set(const CliRequest &r)
{
    if (Failure f = openPedalEffect(true))
        return f;
    Failure failure;
    const std::optional<int> row = findRow(r.words.at(0), failure);
    if (!row)
        return failure;
    const EffectRows &rows = m_session.settings().rows();
    const std::optional<int> value = rowValue(rows, *row, r.words.at(1));
    if (!value)
        return usage(QStringLiteral("set"), QStringLiteral("%1 of %2 takes %3, not \"%4\".")
                                                .arg(rowName(rows, *row), rows.effect, valuesOfRow(rows, *row), r.words.at(1)));
    if (const ActionResult<Done> result = setRowValue(m_session, *row, *value); !result)
        return result.failure;
    m_out << rowStateText(m_session.settings(), *row) << '\n';
    m_result = QJsonObject{{QStringLiteral("set"), rowDone(m_session.settings(), *row,
                                                           {QStringLiteral("row"), QStringLiteral("name"),
                                                            QStringLiteral("level"), QStringLiteral("on"),
                                                            QStringLiteral("option")})}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::limit(const CliRequest &r)
{
    if (Failure f = openPedalEffect(true))
        return f;
    Failure failure;
    const std::optional<int> row = findRow(r.words.at(0), failure);
    if (!row)
        return failure;
    const SettingsModel &model = m_session.settings();
    const EffectRows &rows = model.rows();
    const QString name = rowName(rows, *row);
    if (rows.kind(*row) != RowKind::Pot)
        return usage(QStringLiteral("limit setting"),
                     QStringLiteral("%1 is a %2: limits are set on pot rows only.").arg(name, kindName(rows.kind(*row))));
    // The windows offer the limits of a row only while a pedal control drives it.
    if (!model.tables().IsAssigned[*row])
        return usage(QStringLiteral("limit setting"),
                     QStringLiteral("%1 is driven by no pedal control, so it has no limits. Assign one first: "
                                    "tovel assign %2 CONTROL.")
                         .arg(name)
                         .arg(*row + 1));
    const QString &verb = r.words.at(1);
    LimitAction action = LimitAction::Clear;
    if (verb == QLatin1String("min"))
        action = LimitAction::Minimum;
    else if (verb == QLatin1String("max"))
        action = LimitAction::Maximum;
    // As a limit button takes the level where the row's slider stands.
    int level = model.values(*row).value;
    if (r.words.size() == 3) {
        const std::optional<int> given = wholeNumber(r.words.at(2));
        if (!given || *given < 0 || *given > kMaxLevel)
            return usage(QStringLiteral("limit setting"),
                         QStringLiteral("A limit is a level 0..1023, not \"%1\".").arg(r.words.at(2)));
        level = *given;
    }
    if (ActionResult<Done> result = setLimit(m_session, *row, action, level); !result) {
        // The windows' text first, then the numbers it is about.
        if (result.failure->kind == Kind::Invalid && action != LimitAction::Clear)
            result.failure->message += action == LimitAction::Minimum
                ? QStringLiteral(": the minimum would be %1, above the maximum %2.").arg(level).arg(model.tables().MaxLimit[*row])
                : QStringLiteral(": the maximum would be %1, below the minimum %2.").arg(level).arg(model.tables().MinLimit[*row]);
        return result.failure;
    }
    m_out << rowStateText(model, *row) << '\n';
    m_result = QJsonObject{{QStringLiteral("limit"), rowDone(model, *row,
                                                             {QStringLiteral("row"), QStringLiteral("name"),
                                                              QStringLiteral("min"), QStringLiteral("max")})}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::assign(const CliRequest &r)
{
    if (Failure f = openPedalEffect(true))
        return f;
    Failure failure;
    const std::optional<int> row = findRow(r.words.at(0), failure);
    if (!row)
        return failure;
    int control = -1;
    for (int i = 0; i < int(PedalControlNames.size()); ++i)
        if (r.words.at(1).compare(PedalControlNames[i], Qt::CaseInsensitive) == 0)
            control = i;
    if (control < 0) {
        QStringList names;
        for (const QString &n : PedalControlNames)
            names.append(n);
        return usage(QStringLiteral("assignment table"),
                     QStringLiteral("\"%1\" is no pedal control.%2 The controls: %3.")
                         .arg(r.words.at(1), didYouMean(r.words.at(1), names), names.join(QStringLiteral(", "))));
    }
    choosePedalControl(m_session, *row, control);
    if (r.reverse)
        setReverse(m_session, *row, *r.reverse);
    if (const ActionResult<Done> result = assignControls(m_session); !result)
        return result.failure;
    m_out << rowStateText(m_session.settings(), *row) << '\n';
    m_result = QJsonObject{{QStringLiteral("assign"), rowDone(m_session.settings(), *row,
                                                              {QStringLiteral("row"), QStringLiteral("name"),
                                                               QStringLiteral("control"), QStringLiteral("reverse")})}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::store()
{
    if (Failure f = openPedalEffect(true))
        return f;
    if (const ActionResult<Done> result = storeSettings(m_session); !result)
        return result.failure;
    m_out << QStringLiteral("Settings of %1 stored on the pedal").arg(m_session.selection.SelectedEffectName) << '\n';
    m_result = QJsonObject{{QStringLiteral("store"), QJsonObject{{QStringLiteral("effect"),
                                                                  m_session.selection.SelectedEffectName}}}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::configList()
{
    if (Failure f = openPedalEffect(false))
        return f;
    const ActionResult<QList<SavedSound>> listed = savedSounds(m_session);
    if (!listed)
        return listed.failure;
    QJsonArray sounds;
    for (const SavedSound &sound : listed.value) {
        m_out << sound.name << QStringLiteral("  ") << sound.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        if (sound.ownFile)
            m_out << QStringLiteral("  (Save Configuration's file)");
        if (!sound.fitsLayout)
            m_out << QStringLiteral("  (another layout: a load refuses it)");
        m_out << '\n';
        sounds.append(QJsonObject{{QStringLiteral("name"), sound.name},
                                  {QStringLiteral("file"), sound.path},
                                  {QStringLiteral("modified"), sound.modified.toUTC().toString(Qt::ISODate)},
                                  {QStringLiteral("own"), sound.ownFile},
                                  {QStringLiteral("fitsLayout"), sound.fitsLayout}});
    }
    if (listed.value.isEmpty())
        m_out << QStringLiteral("No saved sounds of %1 in %2")
                     .arg(m_session.selection.SelectedEffectName,
                          QDir::toNativeSeparators(configurationFolder(m_session.folders.documents())))
              << '\n';
    m_result = QJsonObject{{QStringLiteral("config"),
                            QJsonObject{{QStringLiteral("effect"), m_session.selection.SelectedEffectName},
                                        {QStringLiteral("sounds"), sounds}}}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::config(const CliRequest &r)
{
    if (r.words.first() == QLatin1String("list"))
        return configList();
    const bool save = r.words.first() == QLatin1String("save");
    // Save asks for the state itself; a load goes to rows that a state request has filled.
    if (Failure f = openPedalEffect(!save))
        return f;
    QString path = r.words.value(1);
    // A word without "/" or "." names a saved sound in the configuration folder.
    if (!path.isEmpty() && !path.contains(QLatin1Char('/')) && !path.contains(QLatin1Char('.'))) {
        QString problem;
        path = savedSoundPath(configurationFolder(m_session.folders.documents()), path, &problem);
        if (path.isEmpty())
            return ActionFailure{Kind::Invalid, QStringLiteral("configuration"), {},
                                 (problem + QLatin1Char(' ') + m_session.folders.documentsProblem()).trimmed()};
        if (save)
            QDir().mkpath(QFileInfo(path).absolutePath());
    }
    if (path.isEmpty()) {
        path = configurationPath(m_session.folders.documents(), m_session.selection.SelectedEffectName);
        if (path.isEmpty())
            return ActionFailure{Kind::File, QStringLiteral("configuration"), {},
                                 kNoDocumentsMessage + QLatin1Char(' ') + m_session.folders.documentsProblem()
                                     + QStringLiteral(" Name the file: tovel config save|load FILE.")};
        if (save)
            QDir().mkpath(QFileInfo(path).absolutePath());
    }
    if (save) {
        const ActionResult<QString> result = saveConfiguration(m_session, path);
        if (!result)
            return result.failure;
        m_out << QStringLiteral("FX Configuration File Saved: ") << QDir::toNativeSeparators(result.value) << '\n';
        m_result = QJsonObject{{QStringLiteral("config"), QJsonObject{{QStringLiteral("saved"), result.value}}}};
        return std::nullopt;
    }
    if (!QFileInfo::exists(path))
        return ActionFailure{Kind::File, QStringLiteral("configuration load"), {},
                             r.words.size() > 1
                                 ? QStringLiteral("Error loading file: %1 does not exist.").arg(path)
                                 : QStringLiteral("No configuration file has been saved for %1 (%2). Save one with "
                                                  "tovel config save, or name a file.")
                                       .arg(m_session.selection.SelectedEffectName, path)};
    QString otherLayout;
    const ActionResult<ConfigurationLoad> result =
        loadConfiguration(m_session, path, [&](const OtherLayout &layout) {
            otherLayout = layout.text();
            return r.applyMismatched;
        });
    if (!result)
        return result.failure;
    if (!result.value.loaded)
        return ActionFailure{Kind::File, QStringLiteral("configuration load"), {},
                             otherLayout + QStringLiteral(" Nothing was loaded. Give --apply-mismatched to load it line by "
                                                  "line as far as the rows go.")};
    m_out << configurationLoadedMessage(result.value) << '\n';
    m_result = QJsonObject{{QStringLiteral("config"),
                            QJsonObject{{QStringLiteral("loaded"), path},
                                        {QStringLiteral("clamped"), QJsonArray::fromStringList(result.value.clamped)}}}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::flash(const CliRequest &r)
{
    const QString &word = r.words.first();
    FirmwareChoice choice = builtInChoice(word).value_or(FirmwareChoice{});
    if (choice.SelectedFirmwareName.isEmpty()) {
        choice.SelectedFirmwareName = QStringLiteral("From file...");
        choice.file = word;
    }
    const UpgradeOptions options = upgradeOptions(m_session.folders.documents(), !r.noBackup, r.fast);
    FirmwareUpgrade &upgrade = m_session.firmwareUpgrade();
    upgrade.onProgress = onProgress;
    QJsonObject done{{QStringLiteral("image"), choice.file.isEmpty() ? choice.SelectedFirmwareName : choice.file}};
    UpgradeHooks hooks;
    hooks.onFlashed = [&](const ActionResult<FirmwareFlash> &flash) {
        upgrade.onProgress = nullptr;
        if (onProgressEnd)
            onProgressEnd();
        if (!flash.value.backupPath.isEmpty())
            m_out << QStringLiteral("backup: ") << QDir::toNativeSeparators(flash.value.backupPath) << '\n';
        done.insert(QStringLiteral("backup"), textOrNull(flash.value.backupPath));
        if (flash) {
            // Said before the wait for the restart, as the window says it.
            m_out << kUpgradeCompleteMessage << '\n';
            done.insert(QStringLiteral("chunks"), flash.value.chunks);
            done.insert(QStringLiteral("message"), kUpgradeCompleteMessage);
        }
    };
    const ActionResult<FirmwareUpgradeRun> result = upgradeFirmware(m_session, choice, options, hooks);
    upgrade.onProgress = nullptr;
    if (result.value.flashed && !result.failure) {
        m_out << result.value.restart.message << '\n';
        done.insert(QStringLiteral("firmware"), result.value.restart.firmwareVersion);
    }
    m_result = QJsonObject{{QStringLiteral("flash"), done}};
    return result.failure;
}

TovelCommands::Failure TovelCommands::backup(const CliRequest &r)
{
    FirmwareUpgrade &upgrade = m_session.firmwareUpgrade();
    upgrade.onProgress = onProgress;
    const ActionResult<QString> result = backupFirmware(m_session, QFileInfo(r.words.first()).absoluteFilePath(), r.fast);
    upgrade.onProgress = nullptr;
    if (onProgressEnd)
        onProgressEnd();
    if (!result)
        return result.failure;
    m_out << QStringLiteral("backup: ") << QDir::toNativeSeparators(result.value) << '\n';
    m_result = QJsonObject{{QStringLiteral("backup"), QJsonObject{{QStringLiteral("file"), result.value}}}};
    return std::nullopt;
}

TovelCommands::Failure TovelCommands::version()
{
    const ActionResult<VersionCheck> result = checkLatestVersion(m_site);
    m_out << QStringLiteral("Version: ") << result.value.appVersion << '\n';
    QJsonObject done{{QStringLiteral("program"), result.value.appVersion},
                     {QStringLiteral("announced"), QJsonValue::Null}};
    m_result = QJsonObject{{QStringLiteral("version"), done}};
    if (!result)
        return result.failure;
    if (!result.value.asked) {
        m_out << QStringLiteral("This build names no web site: no newer version was asked for.") << '\n';
        return std::nullopt;
    }
    // Only digits and dots are a version: anything else (a page, an endless answer) is not
    // shown as one.
    if (!isVersionText(result.value.latest)) {
        m_out << QStringLiteral("New version available: unreadable") << '\n';
        return ActionFailure{Kind::Web, QStringLiteral("version check"), {},
                             QStringLiteral("The maker's web site answered with no version number (digits and dots, "
                                            "at most %1 characters): \"%2\".")
                                 .arg(kMaxVersionChars)
                                 .arg(shortenedText(printableText(result.value.latest, false), kShownAnswerChars))};
    }
    m_out << QStringLiteral("New version available: ") << result.value.latest.trimmed() << '\n';
    done.insert(QStringLiteral("announced"), result.value.latest.trimmed());
    m_result = QJsonObject{{QStringLiteral("version"), done}};
    return std::nullopt;
}

namespace {

// What to do next, in the command line's terms.
QString adviceText(const ActionFailure &failure)
{
    using Advice = ActionFailure::Advice;
    switch (failure.advice) {
    case Advice::ByKind:
        switch (failure.kind) {
        case Kind::NoPedal:
        case Kind::Refused:
            return QStringLiteral("Check the pedal's cable and power, then run the command again.");
        case Kind::PedalAnswer:
            return QStringLiteral("Check that the pedal is on and runs its effect firmware, then run the command again.");
        default:
            return QString();
        }
    case Advice::None:
        return QString();
    case Advice::ReconnectBootloader:
        return QStringLiteral("Connect the pedal again, start it in its bootloader, then run the command again.");
    case Advice::ResetBootloader:
        return QStringLiteral("If the bootloader still does not answer, reset the pedal into its bootloader the way "
                              "you did before this upgrade, then run the command again.");
    case Advice::TryAgain:
        return QStringLiteral("Run the command again to try again.");
    case Advice::ReconnectPedal:
        return QStringLiteral("Unplug the pedal's USB cable and plug it in again (or switch the pedal off and on), "
                              "then run tovel query to see the firmware it runs.");
    case Advice::AskFirmwareAgain:
        return QStringLiteral("Run tovel query to ask it again.");
    case Advice::ConnectFirst:
        return QStringLiteral("Check the pedal's cable and power, then run the command again.");
    case Advice::FinishUpgrade:
        return QStringLiteral("tovel flash finishes it (see tovel help flash).");
    case Advice::LeaveUpgradeMode:
        return QStringLiteral("Start the pedal in its effect firmware, then run the command again.");
    case Advice::EnterUpgradeMode:
        return QStringLiteral("Start the pedal in its bootloader, then run the command again.");
    case Advice::AskPedalEffect:
        return QStringLiteral("tovel query asks it.");
    }
    return QString();
}

} // namespace

QString TovelCommands::failureText(const ActionFailure &failure)
{
    QString message = failure.message;
    // A failure without words has been said by the layer that met it (a message), unless
    // nothing was: then its kind says it.
    if (message.isEmpty() && !m_said) {
        switch (failure.kind) {
        case Kind::NoPedal:
            message = QStringLiteral("The link to the pedal was lost during the %1.").arg(failure.step);
            break;
        case Kind::Refused:
            message = QStringLiteral("The %1 could not start.").arg(failure.step);
            break;
        case Kind::File:
            message = QStringLiteral("A file was refused during the %1.").arg(failure.step);
            break;
        default:
            message = QStringLiteral("The %1 failed.").arg(failure.step);
            break;
        }
    }
    const QString advice = adviceText(failure);
    if (message.isEmpty())
        return advice;
    return advice.isEmpty() ? message : message + QLatin1Char(' ') + advice;
}

} // namespace tovel
