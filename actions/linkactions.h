#pragma once

#include "core/actionfailure.h"
#include "session/listedbridge.h"

#include <QList>
#include <QString>
#include <functional>

namespace tovel {

class EditorSession;

// The bridges attached, in the driver's order; the last one becomes the one Connect opens.
// Scan traces the count and each serial number; start-up lists them silently. onListed runs for
// each bridge as soon as it is listed, before the next one is asked for.
QList<ListedBridge> listBridges(EditorSession &session, bool trace,
                                const std::function<void(const ListedBridge &)> &onListed = {});

struct Connection {
    bool bootloader = false; // opened in Upgrade Mode: a link to the controller's bootloader
    QString greeting;        // Upgrade Mode: the bootloader's first answer byte in hex ("79")
    bool greeted = false;    // ... and it acknowledged, at once or once brought back in step
};
// How a failed open is told: by the USB layer's message box, or not at all (the caller tries
// again, or says it in its own words).
enum class OpenFailure { Shown, Quiet };
// Opens the listed bridge at 115,200 baud, 8N1, and traces its identity; in Upgrade Mode greets
// the controller's bootloader first (onOpened runs before the greeting, right after the
// session's linkOpened; onGreeted with the greeting's outcome, before the identity is read).
// A failed open has been said by the USB layer unless asked otherwise.
ActionResult<Connection> connectPedal(EditorSession &session, const std::function<void()> &onOpened = {},
                                      OpenFailure openFailure = OpenFailure::Shown,
                                      const std::function<void(bool greeted)> &onGreeted = {});
// Closes the bridge; a failed close has been said by the USB layer.
ActionResult<Done> disconnectPedal(EditorSession &session);
// The bridge has gone: the values kept for the pedal are dropped and the port is freed.
void forgetLostPedal(EditorSession &session);
// The bridges listed silently, and the session told (bridgesListed): a plug, a pull, the
// pedal back after an upgrade. Scan's own listing shows its boxes instead.
QList<ListedBridge> relistBridges(EditorSession &session);

} // namespace tovel
