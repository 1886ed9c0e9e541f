#include "actions/versionactions.h"

#include "core/nowidgets.h"

#include "update/versionrequest.h"
#include "update/versiontext.h"
#include "update/website.h"

#include <QEventLoop>
#include <memory>

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;

const QString kStep = QStringLiteral("version check");

ActionResult<VersionCheck> asked()
{
    ActionResult<VersionCheck> result;
    result.value.appVersion = appVersionFrom(QStringLiteral(TOVEL_VERSION_TEXT));
    result.value.asked = true;
    return result;
}

} // namespace

VersionRequest *makeVersionCheck(const WebSite &site, QObject *parent,
                                    std::function<void(const ActionResult<VersionCheck> &)> done)
{
    if (!site.hasHost())
        return nullptr;
    auto *request = new VersionRequest(site.versionUrl(), site.timeout, parent);
    QObject::connect(request, &VersionRequest::completed, request,
                     [done](int status, const QByteArray &statusText, const QByteArray &body) {
                         ActionResult<VersionCheck> result = asked();
                         result.value.answered = true;
                         if (status == 200) {
                             result.value.latest = printableAnswerText(body, true);
                         } else {
                             // A reason phrase may be missing (HTTP/2 has none): the code says it then.
                             QString reason = shortenedText(printableAnswerText(statusText, false), kShownErrorChars);
                             if (reason.isEmpty())
                                 reason = QString::number(status);
                             result.failure = ActionFailure{Kind::Web, kStep, body.left(kMaxAnswerBytes),
                                                            QStringLiteral("Error: ") + reason};
                         }
                         done(result);
                     });
    QObject::connect(request, &VersionRequest::failed, request, [done](const QString &error) {
        ActionResult<VersionCheck> result = asked();
        result.failure = ActionFailure{Kind::Web, kStep, {}, QStringLiteral("Version check failed: ") + error};
        done(result);
    });
    return request;
}

ActionResult<VersionCheck> checkLatestVersion(const WebSite &site)
{
    ActionResult<VersionCheck> result;
    result.value.appVersion = appVersionFrom(QStringLiteral(TOVEL_VERSION_TEXT));
    QEventLoop loop;
    const std::unique_ptr<VersionRequest> request(
        makeVersionCheck(site, nullptr, [&](const ActionResult<VersionCheck> &check) {
            result = check;
            loop.quit();
        }));
    if (!request)
        return result;
    // The request answers exactly once, and never before start() has returned.
    request->start();
    if (request->isRunning())
        loop.exec();
    return result;
}

} // namespace tovel
