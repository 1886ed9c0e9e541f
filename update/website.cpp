#include "update/website.h"

namespace tovel {

namespace {

const QString kVersionPath = QStringLiteral("/download/tovel-version.php");
const QString kSupportPath = QStringLiteral("/contact-us/");

QUrl withPath(const QUrl &base, const QString &path)
{
    if (base.isEmpty())
        return {};
    QUrl url = base;
    url.setPath(path);
    return url;
}

} // namespace

WebSite WebSite::onHost(const QString &host)
{
    WebSite site;
    if (!host.isEmpty()) {
        site.base.setScheme(QStringLiteral("https"));
        site.base.setAuthority(host);
    }
    return site;
}

QUrl WebSite::versionUrl() const
{
    return withPath(base, kVersionPath);
}

QUrl WebSite::supportUrl() const
{
    return withPath(base, kSupportPath);
}

} // namespace tovel
