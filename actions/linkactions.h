#pragma once

#include "core/actionfailure.h"

#include <QList>
#include <QString>
#include <functional>

namespace tovel {

class EditorSession;

struct ListedBridge {
    QString serialNumber;
    QString description;
};

// The bridges attached, in the driver's order; the last one becomes the one Connect opens.
// Scan traces the count and each serial number; start-up lists them silently.
QList<ListedBridge> listBridges(EditorSession &session, bool trace);

struct Connection {
    bool bootloader = false; // opened in Upgrade Mode: a link to the controller's bootloader
    QString greeting;        // Upgrade Mode: the bootloader's first answer byte in hex ("79")
    bool greeted = false;    // ... and it acknowledged, at once or once brought back in step
};
// Opens the listed bridge at 115,200 baud, 8N1, and traces its identity; in Upgrade Mode greets
// the controller's bootloader first (onOpened runs before the greeting). A failed open has been
// said by the USB layer.
ActionResult<Connection> connectPedal(EditorSession &session, const std::function<void()> &onOpened = {});
// Closes the bridge; a failed close has been said by the USB layer.
ActionResult<Done> disconnectPedal(EditorSession &session);
// The bridge has gone: the values kept for the pedal are dropped and the port is freed.
void forgetLostPedal(EditorSession &session);

} // namespace tovel
