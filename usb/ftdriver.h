#pragma once

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <functional>

namespace tovel {

// D2XX status codes, as every FT driver returns them.
enum FtStatus : quint32 {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_OTHER_ERROR = 17,
};

using FtHandle = quint32;

// Why the last failed open failed, where the driver can tell: the device is there but the
// user may not open it, or another program holds it, or the path names no serial port at all.
enum class OpenProblem { None, PermissionDenied, Busy, NotASerialPort };

// D2XX purge masks.
constexpr quint32 FT_PURGE_RX = 1;
constexpr quint32 FT_PURGE_TX = 2;

// The D2XX calls the editor makes, as one table of operations. Drivers: libftdi1 (the bridge
// driven directly over USB), the kernel serial driver (a /dev/ttyUSB node or any serial path)
// and the virtual pedal. D2XXUnit is the only caller.
//
// A handle stays valid from a successful open until its close; any call with a handle that is
// not open (never opened, closed, or its device gone) returns FT_INVALID_HANDLE or another
// failure status, never crashes.
class FtDriver {
public:
    virtual ~FtDriver() = default;

    // FT_ListDevices(..., FT_LIST_NUMBER_ONLY)
    virtual FtStatus listDeviceCount(quint32 &count) = 0;
    // FT_ListDevices(index, ..., FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER): the serial
    // number's bytes, without the terminating zero.
    virtual FtStatus listSerialNumber(quint32 index, QByteArray &serial) = 0;
    // FT_ListDevices(index, ..., FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION)
    virtual FtStatus listDescription(quint32 index, QByteArray &description) = 0;
    // FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle)
    virtual FtStatus openBySerialNumber(const QByteArray &serial, FtHandle &handle) = 0;
    virtual FtStatus close(FtHandle handle) = 0;
    // FT_Read: reads up to count bytes; the editor only asks for what is queued.
    virtual FtStatus read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead) = 0;
    virtual FtStatus write(FtHandle handle, const char *buffer, quint32 count,
                           quint32 &bytesWritten) = 0;
    // FT_GetQueueStatus: bytes waiting in the receive queue.
    virtual FtStatus queueStatus(FtHandle handle, quint32 &queued) = 0;
    // Blocks until bytes are waiting or timeoutMs has passed, whichever comes first; a caller
    // that polls the queue calls it between polls so that an answer is seen the moment it
    // lands rather than at the next turn. A driver that cannot block returns at once.
    virtual FtStatus waitForData(FtHandle handle, int timeoutMs)
    {
        Q_UNUSED(handle);
        Q_UNUSED(timeoutMs);
        return FT_OK;
    }
    // FT_Purge with FT_PURGE_RX and/or FT_PURGE_TX. RX drops what has been received and not
    // read. TX drops only what a failed or stalled write left behind: a write that completed
    // holds a whole command, and a purge right after it must not cut that command off the wire.
    virtual FtStatus purge(FtHandle handle, quint32 mask) = 0;
    virtual FtStatus setBaudRate(FtHandle handle, quint32 baudRate) = 0;
    // FT_SetDataCharacteristics with D2XX codes: word length 7 or 8; stop bits 0 = one,
    // 2 = two; parity 0 none, 1 odd, 2 even, 3 mark, 4 space.
    virtual FtStatus setDataCharacteristics(FtHandle handle, quint8 wordLength, quint8 stopBits,
                                            quint8 parity) = 0;
    // FT_ReadEE: one 16-bit word of the bridge's EEPROM at a word offset.
    virtual FtStatus readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word) = 0;

    // Why the last openBySerialNumber failed; None after a successful one or when the
    // driver cannot tell.
    virtual OpenProblem lastOpenProblem() const { return OpenProblem::None; }

    // Whether the open device may lead to a real pedal's controller. Only a device known to be
    // none (the virtual pedal, a pseudo-terminal) answers false; a stand-in firmware image is
    // written only there.
    virtual bool isRealBridge(FtHandle handle) const
    {
        Q_UNUSED(handle);
        return true;
    }

    // The hot-plug monitor saw a bridge leave the bus; devnodes are the nodes it had (its tty,
    // its USB device node). A driver whose open device was on that bridge takes the handle as
    // gone (every call but close fails from now on) and tells the gone listener.
    virtual void bridgeRemoved(const QStringList &devnodes) { Q_UNUSED(devnodes); }

    // Who hears of a device that went away between calls: a hang-up on its tty, the monitor's
    // removal of its bridge. A driver tells it once per handle, with its own state settled:
    // from the event loop, or as the last step of bridgeRemoved, never half-way through a
    // call. The listener may close the handle there and then. One listener per driver.
    using GoneListener = std::function<void(FtHandle)>;
    void setGoneListener(GoneListener listener) { m_goneListener = std::move(listener); }

protected:
    void reportGone(FtHandle handle) const
    {
        // A copy: the listener may replace itself while it runs.
        if (const GoneListener listener = m_goneListener)
            listener(handle);
    }

private:
    GoneListener m_goneListener;
};

} // namespace tovel
