// The Help menu's version entries and the Support entry: the maker's web site.
#include "app/tformmain.h"

#include "app/application.h"
#include "core/editorerror.h"
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
    if (m_app.site.hasHost()) {
        NetHTTPRequest1 = new VersionRequest(m_app.site.versionUrl(), m_app.site.timeout, this);
        connectHandler(NetHTTPRequest1, &VersionRequest::completed, this, m_app.prompts,
                       [this](int status, const QByteArray &statusText, const QByteArray &body) {
                           WebRequestCompleted(status, statusText, body);
                           showLatestVersion();
                       });
        connectHandler(NetHTTPRequest1, &VersionRequest::failed, this, m_app.prompts,
                       [this](const QString &error) { WebRequestFailed(error); });
    }
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

void TformMain::WebRequestCompleted(int statusCode, const QByteArray &statusText,
                                    const QByteArray &body)
{
    if (statusCode == 200) {
        // Shown as received, line ends included, without comparing it to AppVersion: the user
        // compares.
        m_app.versions.LatestVersionText = PrintableAnswerText(body, true);
        return;
    }
    // A reason phrase may be missing (HTTP/2 has none): the code says it then.
    QString reason = ShortenedText(PrintableAnswerText(statusText, false), kShownErrorChars);
    if (reason.isEmpty())
        reason = QString::number(statusCode);
    m_app.prompts.showMessage(QStringLiteral("Error: ") + reason);
}

void TformMain::WebRequestFailed(const QString &error)
{
    // The request's texts come printable, on one line and short.
    throw EditorError(QStringLiteral("Version check failed: ") + error);
}

void TformMain::showLatestVersion()
{
    menuNewAppVersion->setText(menuNewAppVersion->text() + QLatin1Char(' ')
                               + asCaption(ShortenedText(m_app.versions.LatestVersionText, kShownAnswerChars)));
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
    const QString version = AppVersionFrom(QStringLiteral(TOVEL_VERSION_TEXT));
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
        lines.append(QStringLiteral("The maker's web site announces version %1.").arg(ShortenedText(latest, kShownAnswerChars)));
    lines.append(QStringLiteral("Command line: tovel --help; manual pages: man tovel-editor, man tovel."));
    m_app.prompts.showMessage(lines.join(QLatin1Char('\n')));
}

} // namespace tovel
