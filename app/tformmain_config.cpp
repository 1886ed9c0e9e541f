// File > Save / Load Configuration, and their Save As / Load From twins: one effect's rows,
// assignments, reverse flags and limits in a text file.
#include "app/application.h"
#include "app/tformmain.h"
#include "config/configurationfile.h"
#include "core/regularfile.h"
#include "core/seams.h"
#include "params/paramrows.h"
#include "params/paramtables.h"
#include "protocol/effectquery.h"
#include "protocol/stateblock.h"
#include "params/tformfxparameters.h"
#include "params/toggleswitch.h"
#include "protocol/commandexchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

namespace tovel {

namespace {

const QString kNoDocuments = QStringLiteral("Error: Could not retrieve the user documents path.");

// The settings as the last state request left them: levels from the pedal's answer (the
// window's own where the answer does not reach), the tables, the reverse boxes.
Configuration currentConfiguration(const TformFXParameters &window, const ParamTables &tables,
                                   const QList<quint8> &answer)
{
    Configuration c;
    const int rows = std::min(window.NumParams(), int(kMaxRows));
    const int pots = std::clamp(window.NumPots(), 0, rows);
    for (int p = 0; p < rows; ++p) {
        std::optional<int> level = rowLevel(answer, p);
        if (!level) {
            if (window.trkPot[p])
                level = potLevel(window.trkPot[p]->value());
            else if (window.swSwitch[p])
                level = switchLevel(window.swSwitch[p]->isChecked());
            else if (window.cmbMultiSwitch[p])
                level = multiSwitchLevel(window.cmbMultiSwitch[p]->currentIndex(), window.OptionCount[p]);
        }
        c.values.append(level.value_or(0));

        QString control = PedalControlNames[kNoControl];
        for (int k = 0; k < kPedalControls; ++k) {
            if (tables.AssignMatrix[k][p] != 0) {
                control = PedalControlNames[k];
                break;
            }
        }
        c.assignments.append(control);
        c.reversed.append(window.chkReverse[p] && window.chkReverse[p]->isChecked());
    }
    for (int p = 0; p < pots; ++p) {
        c.minLimits.append(tables.MinLimit[p]);
        c.maxLimits.append(tables.MaxLimit[p]);
    }
    return c;
}

// One limit of an assigned pot row from its percentage line, or the row's buttons shown as
// unassigned. Empty, or the message that stops the load.
QString applyLimit(TformFXParameters &window, const ParamTables &tables, int row,
                   const ConfigurationReader::Item &item, QPushButton *button, qint32 &limit,
                   int (*fromPercent)(int), QStringList &clamped)
{
    if (!tables.IsAssigned[row]) {
        if (button)
            window.setLimitCaption(button, QStringLiteral("-"));
        window.enableLimitButton(button, false);
        return QString();
    }
    const std::optional<int> percent = parseDecimal(item.text);
    if (!percent)
        return ConfigurationReader::badNumberMessage(item);
    if (*percent < 1 || *percent > 100)
        clamped.append(QStringLiteral("line %1 (%2 %3): %4% became %5%")
                           .arg(item.lineNumber)
                           .arg(window.lblParamName[row] ? window.lblParamName[row]->text().trimmed()
                                                         : QStringLiteral("row %1").arg(row + 1))
                           .arg(button == window.btnMin[row] ? QStringLiteral("minimum") : QStringLiteral("maximum"))
                           .arg(*percent)
                           .arg(std::clamp(*percent, 1, 100)));
    limit = fromPercent(*percent);
    if (button)
        window.setLimitCaption(button, QString::number(std::clamp(*percent, 1, 100)) + QLatin1Char('%'));
    window.enableLimitButton(button, true);
    window.enableLimitButton(window.btnClearMinMax[row], true);
    return QString();
}

QString rowCaption(const TformFXParameters &window, int row)
{
    const QLabel *name = window.lblParamName[row];
    return name && !name->text().trimmed().isEmpty() ? name->text().trimmed()
                                                      : QStringLiteral("row %1").arg(row + 1);
}

// The file's items onto the rows, block by block, through the controls: a slider or list that
// moves sends its level as a user's change would; a switch set here sends nothing and keeps
// its caption. Items the file does not reach are left as they were. Empty, or the message of
// the bad number that stopped it (what came before it stays applied). A level outside 0..1023
// or a percentage outside 1..100 is taken as the nearest one, noted in `clamped`.
QString applyConfiguration(TformFXParameters &window, ParamTables &tables, const ConfigurationReader &reader,
                           QStringList &clamped)
{
    const TformFXParameters::ProgramSetsRows programSets(window);
    const int rows = std::min(window.NumParams(), int(kMaxRows));
    const int pots = std::clamp(window.NumPots(), 0, rows);
    const int firstMulti = std::clamp(window.NumPots() + window.NumSwitches(), pots, rows);

    for (int p = 0; p < rows; ++p) {
        const auto item = reader.value(p);
        if (!item)
            break;
        const std::optional<int> level = parseDecimal(item->text);
        if (!level)
            return ConfigurationReader::badNumberMessage(*item);
        // A slider takes 0..1023; a switch reads any level as on or off.
        if (p < pots && (*level < 0 || *level > kMaxLevel))
            clamped.append(QStringLiteral("line %1 (%2): %3 became %4")
                               .arg(item->lineNumber)
                               .arg(rowCaption(window, p))
                               .arg(*level)
                               .arg(std::clamp(*level, 0, kMaxLevel)));
        if (p < pots) {
            if (window.trkPot[p])
                window.trkPot[p]->setValue(*level);
        } else if (p < firstMulti) {
            if (window.swSwitch[p])
                window.swSwitch[p]->setChecked(*level > 0);
        } else if (window.cmbMultiSwitch[p]) {
            if (const auto index = multiSwitchIndex(*level, window.OptionCount[p]))
                window.cmbMultiSwitch[p]->setCurrentIndex(*index);
        }
    }
    // "NA" and anything that names no control leave the row's assignment alone.
    for (int p = 0; p < rows; ++p) {
        const auto item = reader.assignment(p);
        if (!item)
            break;
        if (const auto control = pedalControlIndex(item->text)) {
            if (window.boxAssign[p])
                window.boxAssign[p]->setCurrentIndex(*control);
            tables.AssignBoxChanged(p, *control);
        }
    }
    for (int p = 0; p < rows; ++p) {
        const auto item = reader.reverse(p);
        if (!item)
            break;
        if (const auto flag = reverseFlag(item->text); flag && window.chkReverse[p])
            window.chkReverse[p]->setChecked(*flag);
    }
    for (int p = 0; p < pots; ++p) {
        const auto item = reader.minimum(p);
        if (!item)
            break;
        const QString error = applyLimit(window, tables, p, *item, window.btnMin[p], tables.MinLimit[p],
                                         &minLimitFromPercent, clamped);
        if (!error.isEmpty())
            return error;
    }
    for (int p = 0; p < pots; ++p) {
        const auto item = reader.maximum(p);
        if (!item)
            break;
        const QString error = applyLimit(window, tables, p, *item, window.btnMax[p], tables.MaxLimit[p],
                                         &maxLimitFromPercent, clamped);
        if (!error.isEmpty())
            return error;
    }
    return QString();
}

QString withTextSuffix(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".txt") : path;
}

} // namespace

bool TformMain::configurationRowsShown()
{
    const TformFXParameters *window = m_app.formFXParameters();
    // A closed window has destroyed its row controls: there is nothing to read or set.
    if (window && window->NumParams() > 0 && window->lblParamName[0])
        return true;
    m_app.prompts.showMessage(QStringLiteral(
        "The parameter window is closed. Open the effect to save or load its configuration."));
    return false;
}

bool TformMain::configurationSavable()
{
    const MainState &state = m_app.state;
    // Without a link the state request would only collect driver errors.
    if (m_app.exchange().linkListener() != CommandExchange::Listener::EffectFirmware) {
        m_app.prompts.showMessage(QStringLiteral("Not connected: the configuration was not saved."));
        return false;
    }
    // The pedal's state belongs to the effect it runs: written under another effect's name it
    // would set that effect's rows to numbers meant for other parameters.
    if (!state.EffectOnPedal || state.SelectedEffectName != state.PedalEffectName) {
        m_app.prompts.showMessage(
            state.PedalEffectName.isEmpty()
                ? QStringLiteral("The effect the pedal runs is not known yet, so the settings of %1 "
                                 "cannot be read from it: the configuration was not saved. Upload "
                                 "%1 or use Open FX first.")
                      .arg(state.SelectedEffectName)
                : QStringLiteral("The pedal runs %1, not %2: the configuration of %2 was not saved. "
                                 "Choose %1 to save its settings, or upload %2 and use Open FX first.")
                      .arg(state.PedalEffectName, state.SelectedEffectName));
        return false;
    }
    return true;
}

void TformMain::menuSaveConfigurationClick()
{
    if (!configurationRowsShown() || !configurationSavable())
        return;
    // A request that did not complete has said why; its stale values are not written.
    if (!RequestParameters())
        return;
    const QString path = configurationPath(m_app.folders.documents(), m_app.state.SelectedEffectName);
    if (path.isEmpty()) {
        m_app.prompts.showMessage(kNoDocuments);
        return;
    }
    saveConfigurationTo(path);
}

void TformMain::menuSaveConfigurationAsClick()
{
    if (!configurationRowsShown() || !configurationSavable())
        return;
    const QString proposed = configurationPath(m_app.folders.documents(), m_app.state.SelectedEffectName);
    if (proposed.isEmpty()) {
        m_app.prompts.showMessage(kNoDocuments);
        return;
    }
    const QString chosen = m_app.prompts.saveFile(configurationFilter(), proposed);
    if (chosen.isEmpty())
        return;
    if (!RequestParameters())
        return;
    saveConfigurationTo(withTextSuffix(chosen));
}

void TformMain::saveConfigurationTo(const QString &path)
{
    TformFXParameters &window = *m_app.formFXParameters();
    const Configuration configuration = currentConfiguration(window, m_app.params, m_app.state.ReceivedBytes);
    const QString error = writeConfiguration(path, configuration);
    if (!error.isEmpty()) {
        m_app.prompts.showMessage(QStringLiteral("Error saving file: ") + error);
        return;
    }
    m_app.console().printToConsole(QStringLiteral("configuration saved: ") + path);
    m_app.prompts.showMessage(QStringLiteral("FX Configuration File Saved"));
}

void TformMain::menuLoadConfigurationClick()
{
    const QString &effect = m_app.state.SelectedEffectName;
    const QString path = configurationPath(m_app.folders.documents(), effect);
    if (path.isEmpty()) {
        m_app.prompts.showMessage(kNoDocuments);
        return;
    }
    if (!QFileInfo::exists(path)) {
        m_app.prompts.showMessage(QStringLiteral("No configuration file has been saved for ") + effect);
        return;
    }
    loadConfigurationFrom(path);
}

void TformMain::menuLoadConfigurationFromClick()
{
    if (!configurationRowsShown())
        return;
    const QString folder = configurationFolder(m_app.folders.documents());
    if (folder.isEmpty()) {
        m_app.prompts.showMessage(kNoDocuments);
        return;
    }
    const QString chosen = m_app.prompts.openFileIn(configurationFilter(), folder);
    if (!chosen.isEmpty())
        loadConfigurationFrom(chosen);
}

void TformMain::loadConfigurationFrom(const QString &path)
{
    if (!configurationRowsShown())
        return;
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty()) {
        m_app.prompts.showMessage(QStringLiteral("Error loading file: ") + why);
        return;
    }
    // 24 rows make at most 120 short lines; a file far beyond that (a wrong choice in Load
    // From) is not read into memory.
    constexpr qint64 kMaxBytes = 64 * 1024;
    if (file.size() > kMaxBytes) {
        m_app.prompts.showMessage(QStringLiteral("%1 is not a configuration file: it is larger than 64 KB.")
                                      .arg(QFileInfo(path).fileName()));
        return;
    }
    TformFXParameters &window = *m_app.formFXParameters();
    const ConfigurationReader reader(configurationLines(file.read(kMaxBytes)), window.NumParams(), window.NumPots());
    const QString &effect = m_app.state.SelectedEffectName;
    // A file of another layout lays its lines over the wrong rows: nothing is applied (or
    // sent) unless the player says so.
    if (reader.lineCount() != reader.expectedLines()) {
        const QString question =
            QStringLiteral("%1 has %2 lines where the rows of %3 need %4: it was saved for another "
                           "effect or another layout of this one.\n\nLoad it anyway, line by line as "
                           "far as the rows go? Rows it does not reach stay as they are.")
                .arg(QFileInfo(path).fileName())
                .arg(reader.lineCount())
                .arg(effect)
                .arg(reader.expectedLines());
        if (m_app.prompts.askYesNo(question) != Prompts::Answer::Yes) {
            m_app.console().printToConsole(QStringLiteral("configuration not loaded: ") + path);
            return;
        }
    }
    // The load sends what the player could send by hand now: rows of an effect the pedal does
    // not run carry another program's addresses, and rows disabled by a Disconnect have no
    // link to go to. Otherwise the window shows the file and nothing is sent.
    const bool rowsLive = m_app.state.EffectOnPedal && window.lblParamName[0]->isEnabled();
    QString error;
    QStringList clamped;
    {
        // The sliders and lists the load moves send once, when it ends: the latest level of
        // each parameter. A load that sends nothing holds no link to the effect firmware.
        CommandExchange &exchange = m_app.exchange();
        auto scope = exchange.begin(QStringLiteral("configuration load"),
                                    rowsLive ? CommandExchange::Listener::EffectFirmware
                                             : exchange.linkListener());
        if (!scope)
            return;
        error = applyConfiguration(window, m_app.params, reader, clamped);
        if (!rowsLive)
            exchange.dropDeferred();
    }
    m_app.console().printToConsole(QStringLiteral("configuration loaded: ") + path);
    if (!error.isEmpty()) {
        m_app.prompts.showMessage(error);
        return;
    }
    if (!clamped.isEmpty()) {
        m_app.prompts.showMessage(QStringLiteral("FX Configuration File Loaded\n\nValues outside their "
                                                 "range were taken as the nearest one:\n")
                                  + clamped.join(QLatin1Char('\n')));
        return;
    }
    m_app.prompts.showMessage(QStringLiteral("FX Configuration File Loaded"));
}

} // namespace tovel
