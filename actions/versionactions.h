#pragma once

#include "core/actionfailure.h"

#include <QString>

namespace tovel {

struct WebSite;

struct VersionCheck {
    QString appVersion;  // the program's own, as the Help menu shows it ("3.0")
    bool asked = false;  // false: the build names no web site, so nothing was asked
    QString latest;      // what the site announces, as received and printable, line ends kept
};
// The program's version and the one the maker's web site announces, without comparing them.
// Waits for the answer in an event loop of its own (at most the site's time-out), so it also
// runs where no window turns events. A status other than 200 fails with "Error: " and the
// status text, a request that got no answer with "Version check failed: " and why.
ActionResult<VersionCheck> checkLatestVersion(const WebSite &site);

} // namespace tovel
