#include "usb/drivers/bridgelist.h"

namespace tovel {

FtStatus BridgeList::take()
{
    QList<BridgeIdentity> listed;
    if (FtStatus s = m_lister(listed))
        return s;
    m_listed = listed;
    m_haveList = true;
    return FT_OK;
}

FtStatus BridgeList::at(quint32 index, const BridgeIdentity *&bridge)
{
    if (!m_haveList)
        if (FtStatus s = take())
            return s;
    if (index >= quint32(m_listed.size()))
        return FT_DEVICE_NOT_FOUND;
    bridge = &m_listed[index];
    return FT_OK;
}

FtStatus BridgeList::count(quint32 &count)
{
    if (FtStatus s = take())
        return s;
    count = quint32(m_listed.size());
    return FT_OK;
}

FtStatus BridgeList::serialNumber(quint32 index, QByteArray &serial)
{
    const BridgeIdentity *bridge = nullptr;
    if (FtStatus s = at(index, bridge))
        return s;
    serial = bridge->serial;
    return FT_OK;
}

FtStatus BridgeList::description(quint32 index, QByteArray &description)
{
    const BridgeIdentity *bridge = nullptr;
    if (FtStatus s = at(index, bridge))
        return s;
    description = bridge->description;
    return FT_OK;
}

} // namespace tovel
