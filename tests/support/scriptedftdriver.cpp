#include "tests/support/scriptedftdriver.h"

#include "core/clock.h"

#include <cstring>

namespace tovel::test {

FtStatus ScriptedFtDriver::enter(Call c, FtHandle handle, bool needsOpen)
{
    m_calls[c] += 1;
    if (failing.contains(c))
        return failing.value(c);
    if (needsOpen && (!m_open || handle != kHandle))
        return FT_INVALID_HANDLE;
    return FT_OK;
}

void ScriptedFtDriver::release()
{
    const qint64 now = m_clock ? m_clock->nowUs() : 0;
    while (!m_pending.isEmpty() && m_pending.first().atUs <= now)
        m_rx.append(m_pending.takeFirst().bytes);
}

FtStatus ScriptedFtDriver::listDeviceCount(quint32 &count)
{
    if (FtStatus s = enter(Call::Count, 0, false))
        return s;
    count = quint32(devices.size());
    return FT_OK;
}

FtStatus ScriptedFtDriver::listSerialNumber(quint32 index, QByteArray &serial)
{
    if (FtStatus s = enter(Call::Serial, 0, false))
        return s;
    if (index >= quint32(devices.size()))
        return FT_DEVICE_NOT_FOUND;
    serial = devices[index].serial;
    return FT_OK;
}

FtStatus ScriptedFtDriver::listDescription(quint32 index, QByteArray &description)
{
    if (FtStatus s = enter(Call::Description, 0, false))
        return s;
    if (index >= quint32(devices.size()))
        return FT_DEVICE_NOT_FOUND;
    description = devices[index].description;
    return FT_OK;
}

FtStatus ScriptedFtDriver::openBySerialNumber(const QByteArray &serial, FtHandle &handle)
{
    openedSerial = serial;
    if (FtStatus s = enter(Call::Open, 0, false))
        return s;
    for (int i = 0; i < devices.size(); ++i) {
        if (devices[i].serial == serial) {
            m_open = true;
            m_openDevice = i;
            handle = kHandle;
            return FT_OK;
        }
    }
    return FT_DEVICE_NOT_FOUND;
}

FtStatus ScriptedFtDriver::close(FtHandle handle)
{
    if (FtStatus s = enter(Call::Close, handle))
        return s;
    m_open = false;
    return FT_OK;
}

FtStatus ScriptedFtDriver::read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead)
{
    bytesRead = 0;
    if (FtStatus s = enter(Call::Read, handle))
        return s;
    release();
    const quint32 n = std::min<quint32>(count, quint32(m_rx.size()));
    std::memcpy(buffer, m_rx.constData(), n);
    m_rx.remove(0, n);
    bytesRead = n;
    return FT_OK;
}

FtStatus ScriptedFtDriver::write(FtHandle handle, const char *buffer, quint32 count,
                                 quint32 &bytesWritten)
{
    bytesWritten = 0;
    if (FtStatus s = enter(Call::Write, handle))
        return s;
    const QByteArray bytes(buffer, count);
    writes.append(bytes);
    bytesWritten = count;
    if (!effectQueryAnswer.isEmpty() && bytes == QByteArray::fromHex("0500"))
        queueAnswer(effectQueryAnswer, m_clock ? m_clock->nowUs() : 0);
    if (onWrite)
        onWrite(bytes);
    return FT_OK;
}

FtStatus ScriptedFtDriver::queueStatus(FtHandle handle, quint32 &queued)
{
    if (FtStatus s = enter(Call::Queue, handle))
        return s;
    release();
    queued = quint32(m_rx.size());
    if (afterQueueStatus)
        afterQueueStatus();
    return FT_OK;
}

FtStatus ScriptedFtDriver::purge(FtHandle handle, quint32 mask)
{
    if (FtStatus s = enter(Call::Purge, handle))
        return s;
    purges.append(mask);
    if (mask & FT_PURGE_RX) {
        release();
        m_rx.clear();
    }
    return FT_OK;
}

FtStatus ScriptedFtDriver::setBaudRate(FtHandle handle, quint32 rate)
{
    if (FtStatus s = enter(Call::Baud, handle))
        return s;
    baudRate = rate;
    return FT_OK;
}

FtStatus ScriptedFtDriver::setDataCharacteristics(FtHandle handle, quint8 w, quint8 s, quint8 p)
{
    if (FtStatus st = enter(Call::Data, handle))
        return st;
    wordLength = w;
    stopBits = s;
    parity = p;
    return FT_OK;
}

FtStatus ScriptedFtDriver::readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word)
{
    if (FtStatus s = enter(Call::Eeprom, handle))
        return s;
    // The list may have changed under the open device (a test's bridges coming and going).
    const QList<quint16> words = m_openDevice < devices.size() ? devices[m_openDevice].eeprom : QList<quint16>{};
    word = wordOffset < quint32(words.size()) ? words[wordOffset] : 0;
    return FT_OK;
}

} // namespace tovel::test
