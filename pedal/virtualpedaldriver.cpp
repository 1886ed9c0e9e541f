#include "pedal/virtualpedaldriver.h"

#include <cstring>

namespace tovel::pedal {

VirtualPedalDriver::VirtualPedalDriver(const VirtualPedalOptions &options, const Clock &clock)
    : m_pedal(options, clock)
{
    m_pedal.onPlugChanged = [this](bool plugged) {
        if (plugged || m_open == 0)
            return;
        // The unplug may come half-way through a call (a GO's restart): tell it from the loop.
        QMetaObject::invokeMethod(&m_context, [this, handle = m_open] {
            if (m_told.contains(handle))
                return;
            m_told.insert(handle);
            check(handle);
            reportGone(handle);
        }, Qt::QueuedConnection);
    };
}

FtStatus VirtualPedalDriver::check(FtHandle handle)
{
    m_pedal.catchUp();
    if (m_open != 0 && (m_pedal.unplugged() || m_pedal.unplugCount() != m_openedAtUnplugCount)) {
        m_gone.insert(m_open);
        m_open = 0;
    }
    if (m_gone.contains(handle))
        return FT_IO_ERROR;
    if (handle == 0 || handle != m_open)
        return FT_INVALID_HANDLE;
    return FT_OK;
}

FtStatus VirtualPedalDriver::listDeviceCount(quint32 &count)
{
    m_pedal.catchUp();
    count = m_pedal.unplugged() ? 0 : 1;
    return FT_OK;
}

FtStatus VirtualPedalDriver::listSerialNumber(quint32 index, QByteArray &serial)
{
    if (index != 0 || m_pedal.unplugged())
        return FT_DEVICE_NOT_FOUND;
    serial = m_pedal.bridge().serialNumber();
    return FT_OK;
}

FtStatus VirtualPedalDriver::listDescription(quint32 index, QByteArray &description)
{
    if (index != 0 || m_pedal.unplugged())
        return FT_DEVICE_NOT_FOUND;
    description = m_pedal.bridge().description();
    return FT_OK;
}

FtStatus VirtualPedalDriver::openBySerialNumber(const QByteArray &serial, FtHandle &handle)
{
    check(m_open);
    if (m_pedal.unplugged() || serial != m_pedal.bridge().serialNumber())
        return FT_DEVICE_NOT_FOUND;
    if (m_open != 0)
        return FT_DEVICE_NOT_OPENED; // one process, one handle: the bridge is busy
    m_open = m_nextHandle++;
    m_openedAtUnplugCount = m_pedal.unplugCount();
    handle = m_open;
    return FT_OK;
}

FtStatus VirtualPedalDriver::close(FtHandle handle)
{
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    m_open = 0;
    return FT_OK;
}

FtStatus VirtualPedalDriver::read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead)
{
    bytesRead = 0;
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    const QByteArray bytes = m_pedal.hostRead(count);
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
    bytesRead = quint32(bytes.size());
    return FT_OK;
}

FtStatus VirtualPedalDriver::write(FtHandle handle, const char *buffer, quint32 count, quint32 &bytesWritten)
{
    bytesWritten = 0;
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    m_pedal.hostWrite(QByteArray(buffer, qsizetype(count)));
    bytesWritten = count;
    return FT_OK;
}

FtStatus VirtualPedalDriver::queueStatus(FtHandle handle, quint32 &queued)
{
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    queued = m_pedal.hostQueued();
    return FT_OK;
}

FtStatus VirtualPedalDriver::purge(FtHandle handle, quint32 mask)
{
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    if (mask & FT_PURGE_RX)
        m_pedal.purgeReceive();
    // A transmit purge drops only what a failed write left behind, and a write to the virtual
    // bridge never fails half-way: what was written stays on its way to the pedal.
    return FT_OK;
}

FtStatus VirtualPedalDriver::setBaudRate(FtHandle handle, quint32 baudRate)
{
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    if (baudRate == 0 || baudRate > 3'000'000)
        return FT_INVALID_BAUD_RATE;
    m_baudRate = baudRate;
    return FT_OK;
}

FtStatus VirtualPedalDriver::setDataCharacteristics(FtHandle handle, quint8 wordLength, quint8 stopBits,
                                                    quint8 parity)
{
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return FT_INVALID_PARAMETER;
    return FT_OK;
}

FtStatus VirtualPedalDriver::readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word)
{
    if (const FtStatus s = check(handle); s != FT_OK)
        return s;
    if (wordOffset >= quint32(FtdiBridge::kEepromWords))
        return FT_INVALID_PARAMETER;
    word = m_pedal.bridge().eepromWord(int(wordOffset));
    return FT_OK;
}

std::unique_ptr<FtDriver> makeVirtualPedalDriver(const VirtualPedalOptions &options, const Clock &clock)
{
    return std::make_unique<VirtualPedalDriver>(options, clock);
}

} // namespace tovel::pedal
