// The Help menu's version entries and the Support entry: the maker's web site.
#include "app/tformmain.h"
#include "app/failuretext.h"

#include "actions/versionactions.h"
#include "app/application.h"
#include "core/errorboundary.h"
#include "core/seams.h"
#include "update/versionrequest.h"
#include "update/versiontext.h"

#include <QAction>
#include <QTimer>

namespace tovel {

namespace {

// A menu caption shows '&' only when doubled; alone it marks the next letter as the shortcut.
QString asCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

// Start-up: the request for the version endpoint, and Timer2, whose first tick sends it.
void TformMain::prepareVersionCheck()
{
    NetHTTPRequest1 = makeVersionCheck(m_app.site, this, [this](const ActionResult<VersionCheck> &check) {
        ErrorBoundary::run(m_app.prompts, [&] {
            if (check)
                WebRequestCompleted(check.value);
            else
                WebRequestFailed(*check.failure);
            if (check.value.answered)
                showLatestVersion();
        });
    });
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connectHandler(Timer2, &QTimer::timeout, this, m_app.prompts,
                   [this] { checkmostrecentversiononwebsite(); });
    Timer2->start();
}

// Runs once per start. The answer arrives later, while the windows go on answering events.
void TformMain::checkmostrecentversiononwebsite()
{
    Timer2->stop();
    // A build without a web host asks nothing: the entry keeps "New version available:".
    if (NetHTTPRequest1)
        NetHTTPRequest1->start();
}

void TformMain::WebRequestCompleted(const VersionCheck &check)
{
    // Shown as received, line ends included, without comparing it to AppVersion: the user
    // compares.
    m_app.versions.LatestVersionText = check.latest;
}

void TformMain::WebRequestFailed(const ActionFailure &failure)
{
    m_app.prompts.showMessage(windowFailureText(failure));
}

void TformMain::showLatestVersion()
{
    menuNewAppVersion->setText(menuNewAppVersion->text() + QLatin1Char(' ')
                               + asCaption(shortenedText(m_app.versions.LatestVersionText, kShownAnswerChars)));
    menuNewAppVersion->setVisible(!m_app.versions.LatestVersionText.trimmed().isEmpty());
}

void TformMain::menuSupportClick()
{
    const QUrl page = m_app.site.supportUrl();
    if (page.isEmpty()) {
        m_app.prompts.showMessage(
            QStringLiteral("This build of the editor has no support address."));
        return;
    }
    if (!m_app.webBrowser().openUrl(page))
        m_app.prompts.showMessage(
            QStringLiteral("No web browser could be opened. The support page is at ")
            + page.toString());
}

void TformMain::menuAboutClick()
{
    const QString version = appVersionFrom(QStringLiteral(TOVEL_VERSION_TEXT));
    QStringList lines{
        QStringLiteral("ZANTH Editor %1 (%2)").arg(version, QStringLiteral(TOVEL_VERSION_TEXT)),
        QStringLiteral("The editor for the ZANTH Tovel effects pedal."),
        QString(),
        QStringLiteral("Licence: proprietary, all rights reserved. The effect catalogue and firmware images "
                       "it carries are samples and stand-ins made for the editor."),
    };
    const QUrl support = m_app.site.supportUrl();
    lines.append(support.isEmpty() ? QStringLiteral("This build has no support address.")
                                   : QStringLiteral("Support: ") + support.toString());
    const QString latest = m_app.versions.LatestVersionText.trimmed();
    if (!latest.isEmpty())
        lines.append(QStringLiteral("The maker's web site announces version %1.").arg(shortenedText(latest, kShownAnswerChars)));
    lines.append(QStringLiteral("Command line: tovel --help; manual pages: man tovel-editor, man tovel."));
    m_app.prompts.showMessage(lines.join(QLatin1Char('\n')));
}

} // namespace tovel
