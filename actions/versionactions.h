#pragma once

#include "core/actionfailure.h"

#include <QString>
#include <functional>

class QObject;

namespace tovel {

class VersionRequest;
struct WebSite;

struct VersionCheck {
    QString appVersion;    // the program's own, as the Help menu shows it ("3.0")
    bool asked = false;    // false: the build names no web site, so nothing was asked
    bool answered = false; // the site answered, whatever its status
    QString latest;        // what the site announces, as received and printable, line ends kept
};

// The version check, asynchronous: the request to the maker's web site, made as a child of
// `parent` and sent by its start(). Each answer, or the lack of one, reaches `done` from the
// event loop as the check's result. A status of 200 carries the announced version, shown as
// received and not compared; another status fails with "Error: " and the status text, a
// request that got no answer with "Version check failed: " and why. Null, and nothing is ever
// asked, when the build names no web site.
VersionRequest *makeVersionCheck(const WebSite &site, QObject *parent,
                                    std::function<void(const ActionResult<VersionCheck> &)> done);

// The same check, waited for in an event loop of its own (at most the site's time-out), so it
// also runs where no window turns events.
ActionResult<VersionCheck> checkLatestVersion(const WebSite &site);

} // namespace tovel
