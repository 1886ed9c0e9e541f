// File > Save / Load Configuration, and their Save As / Load From twins: one effect's rows,
// assignments, reverse flags and limits in a text file.
#include "app/application.h"
#include "app/tformmain.h"
#include "config/configurationfile.h"
#include "core/regularfile.h"
#include "core/seams.h"
#include "params/paramrows.h"
#include "params/paramtables.h"
#include "params/stateanswer.h"
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
                   int (*fromPercent)(int))
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
    limit = fromPercent(*percent);
    if (button)
        window.setLimitCaption(button, QString::number(std::clamp(*percent, 1, 100)) + QLatin1Char('%'));
    window.enableLimitButton(button, true);
    window.enableLimitButton(window.btnClearMinMax[row], true);
    return QString();
}

// The file's items onto the rows, block by block, through the controls: a slider or list that
// moves sends its level as a user's change would; a switch set here sends nothing and keeps
// its caption. Items the file does not reach are left as they were. Empty, or the message of
// the bad number that stopped it (what came before it stays applied).
QString applyConfiguration(TformFXParameters &window, ParamTables &tables, const ConfigurationReader &reader)
{
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
                                         &minLimitFromPercent);
        if (!error.isEmpty())
            return error;
    }
    for (int p = 0; p < pots; ++p) {
        const auto item = reader.maximum(p);
        if (!item)
            break;
        const QString error = applyLimit(window, tables, p, *item, window.btnMax[p], tables.MaxLimit[p],
                                         &maxLimitFromPercent);
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

void TformMain::menuSaveConfigurationClick()
{
    if (!configurationRowsShown())
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
    if (!configurationRowsShown())
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
    // The load sends what the player could send by hand now: rows of an effect the pedal does
    // not run carry another program's addresses, and rows disabled by a Disconnect have no
    // link to go to. Otherwise the window shows the file and nothing is sent.
    const bool rowsLive = m_app.state.EffectOnPedal && window.lblParamName[0]->isEnabled();
    QString error;
    {
        // The sliders and lists the load moves send once, when it ends: the latest level of
        // each parameter.
        auto scope = m_app.exchange().begin(QStringLiteral("configuration load"));
        if (!scope)
            return;
        error = applyConfiguration(window, m_app.params, reader);
        if (!rowsLive)
            m_app.exchange().dropDeferred();
    }
    m_app.console().printToConsole(QStringLiteral("configuration loaded: ") + path);
    if (!error.isEmpty()) {
        m_app.prompts.showMessage(error);
        return;
    }
    if (reader.lineCount() != reader.expectedLines()) {
        m_app.prompts.showMessage(
            QStringLiteral("The configuration file has %1 lines where the rows of %2 need %3: it "
                           "was loaded line by line as far as the rows go, and rows it does not "
                           "reach are as they were.")
                .arg(reader.lineCount())
                .arg(m_app.state.SelectedEffectName)
                .arg(reader.expectedLines()));
        return;
    }
    m_app.prompts.showMessage(QStringLiteral("FX Configuration File Loaded"));
}

} // namespace tovel
