#pragma once

#include "pedal/virtualpedal.h"
#include "usb/ftdriver.h"

#include <QObject>
#include <QSet>
#include <memory>

namespace tovel::pedal {

// The virtual pedal as an FT driver: it lists exactly one bridge and opens it by its serial
// number. Unplugged, the bridge is not listed, cannot be opened, and every call with a
// handle opened before fails with FT_IO_ERROR, close included; such a handle stays dead
// after the bridge comes back. The gone listener hears of an unplug of the open bridge from
// the event loop, as a real driver tells of a hang-up; so does a bridge leaving after a GO
// (VirtualPedalOptions::restartAfterGo), which happens at the time of the first call after it.
class VirtualPedalDriver : public FtDriver {
public:
    VirtualPedalDriver(const VirtualPedalOptions &options, const Clock &clock);

    VirtualPedal &pedal() { return m_pedal; }
    bool isOpen() const { return m_open != 0; }
    quint32 baudRate() const { return m_baudRate; }

    FtStatus listDeviceCount(quint32 &count) override;
    FtStatus listSerialNumber(quint32 index, QByteArray &serial) override;
    FtStatus listDescription(quint32 index, QByteArray &description) override;
    FtStatus openBySerialNumber(const QByteArray &serial, FtHandle &handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead) override;
    FtStatus write(FtHandle handle, const char *buffer, quint32 count, quint32 &bytesWritten) override;
    FtStatus queueStatus(FtHandle handle, quint32 &queued) override;
    FtStatus purge(FtHandle handle, quint32 mask) override;
    FtStatus setBaudRate(FtHandle handle, quint32 baudRate) override;
    FtStatus setDataCharacteristics(FtHandle handle, quint8 wordLength, quint8 stopBits,
                                    quint8 parity) override;
    FtStatus readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word) override;
    bool isRealBridge(FtHandle) const override { return false; }

private:
    FtStatus check(FtHandle handle);

    VirtualPedal m_pedal;
    FtHandle m_open = 0;
    int m_openedAtUnplugCount = 0;
    FtHandle m_nextHandle = 0x5A000001;
    QSet<FtHandle> m_gone; // opened before an unplug
    QSet<FtHandle> m_told; // the gone listener has heard of these
    quint32 m_baudRate = 9600;
    QObject m_context; // carries the news of an unplug to the event loop
};

std::unique_ptr<FtDriver> makeVirtualPedalDriver(const VirtualPedalOptions &options, const Clock &clock);

} // namespace tovel::pedal
