#include "usb/drivers/bridgeidentity.h"

namespace tovel {

QByteArray portLetter(int interfaceNumber, int interfaceCount)
{
    if (interfaceCount <= 1 || interfaceNumber < 0 || interfaceNumber >= 26)
        return {};
    return QByteArray(1, char('A' + interfaceNumber));
}

BridgeIdentity ttyBridgeIdentity(const TtyBridgeFacts &facts)
{
    const QByteArray letter = portLetter(facts.interfaceNumber, facts.interfaceCount);
    BridgeIdentity id;
    QByteArray serial = facts.serialAttribute.trimmed();
    if (serial.isEmpty())
        serial = facts.serialShort.trimmed();
    id.serial = serial.isEmpty() ? facts.devnode.toLocal8Bit() : serial + letter;
    id.description = facts.productAttribute.trimmed();
    if (id.description.isEmpty())
        id.description = facts.modelFromDatabase.trimmed();
    if (!letter.isEmpty() && !id.description.isEmpty())
        id.description += ' ' + letter;
    return id;
}

} // namespace tovel
