#pragma once

#include "usb/drivers/bridgeidentity.h"
#include "usb/ftdriver.h"

#include <QList>
#include <functional>

namespace tovel {

// The bridges a driver hands out by index. Every count lists them anew, as the D2XX count
// does; a query by index lists them only when nothing has been listed yet, so the indexes
// stay those of the last count.
class BridgeList {
public:
    using Lister = std::function<FtStatus(QList<BridgeIdentity> &)>;

    explicit BridgeList(Lister lister) : m_lister(std::move(lister)) {}

    FtStatus count(quint32 &count);
    FtStatus serialNumber(quint32 index, QByteArray &serial);
    FtStatus description(quint32 index, QByteArray &description);

private:
    FtStatus take();
    FtStatus at(quint32 index, const BridgeIdentity *&bridge);

    Lister m_lister;
    QList<BridgeIdentity> m_listed;
    bool m_haveList = false;
};

} // namespace tovel
