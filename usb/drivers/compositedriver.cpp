#include "usb/drivers/compositedriver.h"

#include <QSet>

namespace tovel {

CompositeDriver::CompositeDriver(std::vector<std::unique_ptr<FtDriver>> drivers)
    : m_drivers(std::move(drivers)), m_listed([this](QList<BridgeIdentity> &listed) { return list(listed); })
{
    for (const auto &driver : m_drivers)
        driver->setGoneListener([this, d = driver.get()](FtHandle inner) { innerGone(d, inner); });
}

void CompositeDriver::innerGone(const FtDriver *driver, FtHandle inner)
{
    for (const auto &[handle, r] : m_routes) {
        if (r.driver == driver && r.handle == inner) {
            // The listener may close the handle: done with the routes first.
            const FtHandle gone = handle;
            reportGone(gone);
            return;
        }
    }
}

void CompositeDriver::bridgeRemoved(const QStringList &devnodes)
{
    for (const auto &driver : m_drivers)
        driver->bridgeRemoved(devnodes);
}

FtStatus CompositeDriver::list(QList<BridgeIdentity> &listed)
{
    QSet<QByteArray> seen;
    FtStatus firstFailure = FT_OK;
    bool anyCounted = m_drivers.empty();
    for (const auto &driver : m_drivers) {
        quint32 count = 0;
        if (FtStatus s = driver->listDeviceCount(count)) {
            if (firstFailure == FT_OK)
                firstFailure = s;
            continue;
        }
        anyCounted = true;
        for (quint32 i = 0; i < count; ++i) {
            BridgeIdentity id;
            if (driver->listSerialNumber(i, id.serial) != FT_OK || seen.contains(id.serial))
                continue;
            driver->listDescription(i, id.description);
            seen.insert(id.serial);
            listed.append(id);
        }
    }
    return anyCounted ? FT_OK : firstFailure;
}

FtStatus CompositeDriver::listDeviceCount(quint32 &count)
{
    return m_listed.count(count);
}

FtStatus CompositeDriver::listSerialNumber(quint32 index, QByteArray &serial)
{
    return m_listed.serialNumber(index, serial);
}

FtStatus CompositeDriver::listDescription(quint32 index, QByteArray &description)
{
    return m_listed.description(index, description);
}

FtStatus CompositeDriver::openBySerialNumber(const QByteArray &serial, FtHandle &handle)
{
    m_openProblem = OpenProblem::None;
    for (const auto &driver : m_drivers) {
        FtHandle inner = 0;
        const FtStatus s = driver->openBySerialNumber(serial, inner);
        if (s == FT_DEVICE_NOT_FOUND)
            continue;
        if (s != FT_OK) {
            m_openProblem = driver->lastOpenProblem();
            return s;
        }
        handle = m_nextHandle++;
        m_routes.emplace(handle, Route{driver.get(), inner});
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

const CompositeDriver::Route *CompositeDriver::route(FtHandle handle) const
{
    const auto it = m_routes.find(handle);
    return it == m_routes.end() ? nullptr : &it->second;
}

FtStatus CompositeDriver::close(FtHandle handle)
{
    const Route *r = route(handle);
    if (!r)
        return FT_INVALID_HANDLE;
    const FtStatus s = r->driver->close(r->handle);
    // A close that failed before the driver let go of the handle may be tried again.
    if (s == FT_OK || s == FT_INVALID_HANDLE)
        m_routes.erase(handle);
    return s;
}

FtStatus CompositeDriver::read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead)
{
    const Route *r = route(handle);
    if (!r) {
        bytesRead = 0;
        return FT_INVALID_HANDLE;
    }
    return r->driver->read(r->handle, buffer, count, bytesRead);
}

FtStatus CompositeDriver::write(FtHandle handle, const char *buffer, quint32 count,
                                quint32 &bytesWritten)
{
    const Route *r = route(handle);
    if (!r) {
        bytesWritten = 0;
        return FT_INVALID_HANDLE;
    }
    return r->driver->write(r->handle, buffer, count, bytesWritten);
}

FtStatus CompositeDriver::queueStatus(FtHandle handle, quint32 &queued)
{
    const Route *r = route(handle);
    return r ? r->driver->queueStatus(r->handle, queued) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::waitForData(FtHandle handle, int timeoutMs)
{
    const Route *r = route(handle);
    return r ? r->driver->waitForData(r->handle, timeoutMs) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::purge(FtHandle handle, quint32 mask)
{
    const Route *r = route(handle);
    return r ? r->driver->purge(r->handle, mask) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::setBaudRate(FtHandle handle, quint32 baudRate)
{
    const Route *r = route(handle);
    return r ? r->driver->setBaudRate(r->handle, baudRate) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::setDataCharacteristics(FtHandle handle, quint8 wordLength,
                                                 quint8 stopBits, quint8 parity)
{
    const Route *r = route(handle);
    return r ? r->driver->setDataCharacteristics(r->handle, wordLength, stopBits, parity)
             : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word)
{
    const Route *r = route(handle);
    return r ? r->driver->readEepromWord(r->handle, wordOffset, word) : FT_INVALID_HANDLE;
}

bool CompositeDriver::isRealBridge(FtHandle handle) const
{
    const Route *r = route(handle);
    return r ? r->driver->isRealBridge(r->handle) : true;
}

} // namespace tovel
