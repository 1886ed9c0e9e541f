#include "actions/versionactions.h"

#include "core/nowidgets.h"

#include "update/versionrequest.h"
#include "update/versiontext.h"
#include "update/website.h"

#include <QEventLoop>

namespace tovel {

ActionResult<VersionCheck> checkLatestVersion(const WebSite &site)
{
    using R = ActionResult<VersionCheck>;
    using Kind = ActionFailure::Kind;
    const QString step = QStringLiteral("version check");
    R result;
    result.value.appVersion = AppVersionFrom(QStringLiteral(TOVEL_VERSION_TEXT));
    if (!site.hasHost())
        return result;
    result.value.asked = true;

    VersionRequest request(site.versionUrl(), site.timeout);
    QEventLoop loop;
    // The request answers exactly once, and never before start() has returned.
    QObject::connect(&request, &VersionRequest::completed, &loop,
                     [&](int status, const QByteArray &statusText, const QByteArray &body) {
                         if (status == 200) {
                             result.value.latest = PrintableAnswerText(body, true);
                         } else {
                             // A reason phrase may be missing (HTTP/2 has none): the code says it then.
                             QString reason = ShortenedText(PrintableAnswerText(statusText, false), kShownErrorChars);
                             if (reason.isEmpty())
                                 reason = QString::number(status);
                             result.failure = ActionFailure{Kind::Web, step, body.left(kMaxAnswerBytes),
                                                            QStringLiteral("Error: ") + reason};
                         }
                         loop.quit();
                     });
    QObject::connect(&request, &VersionRequest::failed, &loop, [&](const QString &error) {
        result.failure = ActionFailure{Kind::Web, step, {}, QStringLiteral("Version check failed: ") + error};
        loop.quit();
    });
    request.start();
    if (request.isRunning())
        loop.exec();
    return result;
}

} // namespace tovel
