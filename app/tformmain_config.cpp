// File > Save / Load Configuration, and their Save As / Load From twins: one effect's rows,
// assignments, reverse flags and limits in a text file.
#include "actions/configactions.h"
#include "app/application.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "config/configurationfile.h"
#include "core/seams.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace tovel {

namespace {

QString withTextSuffix(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".txt") : path;
}

} // namespace

void TformMain::menuSaveConfigurationClick()
{
    EditorSession &session = m_app.session();
    saveConfigurationTo(configurationPath(m_app.folders.documents(), session.selection.SelectedEffectName));
}

void TformMain::menuSaveConfigurationAsClick()
{
    EditorSession &session = m_app.session();
    // The same refusals as Save, before any dialog.
    const QString proposed = configurationPath(m_app.folders.documents(), session.selection.SelectedEffectName);
    if (const std::optional<ActionFailure> refusal = configurationSaveRefusal(session)) {
        showFailure(refusal);
        return;
    }
    if (proposed.isEmpty()) {
        m_app.prompts.showMessage(kNoDocumentsMessage);
        return;
    }
    const QString chosen = m_app.prompts.saveFile(configurationFilter(), proposed);
    if (chosen.isEmpty())
        return;
    saveConfigurationTo(withTextSuffix(chosen));
}

void TformMain::saveConfigurationTo(const QString &path)
{
    if (const std::optional<ActionFailure> refusal = configurationSaveRefusal(m_app.session())) {
        showFailure(refusal);
        return;
    }
    const ActionResult<QString> saved =
        saveConfiguration(m_app.session(), path, [this] { btnRequest->setEnabled(false); });
    showPedalState();
    if (!showFailure(saved.failure)) {
        showActionStatus(QStringLiteral("Configuration not saved."));
        return;
    }
    showActionStatus(QStringLiteral("Configuration saved to"), path);
    m_app.prompts.showMessage(QStringLiteral("FX Configuration File Saved\n") + QDir::toNativeSeparators(path));
}

void TformMain::menuLoadConfigurationClick()
{
    const QString &effect = m_app.session().selection.SelectedEffectName;
    const QString path = configurationPath(m_app.folders.documents(), effect);
    if (path.isEmpty()) {
        m_app.prompts.showMessage(kNoDocumentsMessage);
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
    if (const std::optional<ActionFailure> refusal = configurationLoadRefusal(m_app.session())) {
        showFailure(refusal);
        return;
    }
    const QString folder = configurationFolder(m_app.folders.documents());
    if (folder.isEmpty()) {
        m_app.prompts.showMessage(kNoDocumentsMessage);
        return;
    }
    const QString chosen = m_app.prompts.openFileIn(configurationFilter(), folder);
    if (!chosen.isEmpty())
        loadConfigurationFrom(chosen);
}

void TformMain::loadConfigurationFrom(const QString &path)
{
    const ActionResult<ConfigurationLoad> result =
        loadConfiguration(m_app.session(), path, [this](const OtherLayout &layout) {
            return m_app.prompts.askYesNo(layout.text()
                                          + QStringLiteral("\n\nLoad it anyway, line by line as far as the rows go? "
                                                           "Rows it does not reach stay as they are."))
                   == Prompts::Answer::Yes;
        });
    if (!showFailure(result.failure) || !result.value.loaded) {
        showActionStatus(QStringLiteral("Configuration not loaded."));
        return;
    }
    showActionStatus(QStringLiteral("Configuration loaded from"), path);
    // The file's path as the second line, before any note on items taken as the nearest value.
    QStringList lines = configurationLoadedMessage(result.value).split(QLatin1Char('\n'));
    lines.insert(1, QDir::toNativeSeparators(path));
    m_app.prompts.showMessage(lines.join(QLatin1Char('\n')));
}

} // namespace tovel
