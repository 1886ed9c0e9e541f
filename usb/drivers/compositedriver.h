#pragma once

#include "usb/drivers/bridgeidentity.h"
#include "usb/drivers/bridgelist.h"
#include "usb/ftdriver.h"

#include <QList>
#include <map>
#include <memory>
#include <vector>

namespace tovel {

// Several drivers as one: every bridge is listed once, by the first driver (in the order
// given) that reaches it, and that driver serves it. A bridge is known by its serial number.
// Handles are the composite's own, so two drivers' handles never collide; every call goes to
// the driver that opened the handle.
//
// Open does not fall back to a later driver when the first one that reaches the bridge fails
// to open it: the port may be held by another program, and a later driver (libftdi1) would
// take it from under that program by detaching the kernel driver.
class CompositeDriver : public FtDriver {
public:
    explicit CompositeDriver(std::vector<std::unique_ptr<FtDriver>> drivers);

    // Drivers that fail to count are passed over; the count fails only when every one fails.
    FtStatus listDeviceCount(quint32 &count) override;
    FtStatus listSerialNumber(quint32 index, QByteArray &serial) override;
    FtStatus listDescription(quint32 index, QByteArray &description) override;
    FtStatus openBySerialNumber(const QByteArray &serial, FtHandle &handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead) override;
    FtStatus write(FtHandle handle, const char *buffer, quint32 count,
                   quint32 &bytesWritten) override;
    FtStatus queueStatus(FtHandle handle, quint32 &queued) override;
    FtStatus waitForData(FtHandle handle, int timeoutMs) override;
    FtStatus purge(FtHandle handle, quint32 mask) override;
    FtStatus setBaudRate(FtHandle handle, quint32 baudRate) override;
    FtStatus setDataCharacteristics(FtHandle handle, quint8 wordLength, quint8 stopBits,
                                    quint8 parity) override;
    FtStatus readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word) override;
    // As the driver that opened the handle answers; true for a handle it does not know.
    bool isRealBridge(FtHandle handle) const override;
    // As the driver that tried the last open answered.
    OpenProblem lastOpenProblem() const override { return m_openProblem; }
    // Every driver hears of it; what they find gone reaches this driver's gone listener under
    // the composite's handle.
    void bridgeRemoved(const QStringList &devnodes) override;

private:
    struct Route {
        FtDriver *driver;
        FtHandle handle;
    };

    FtStatus list(QList<BridgeIdentity> &listed);
    const Route *route(FtHandle handle) const;
    void innerGone(const FtDriver *driver, FtHandle inner);

    std::vector<std::unique_ptr<FtDriver>> m_drivers;
    BridgeList m_listed;
    std::map<FtHandle, Route> m_routes;
    FtHandle m_nextHandle = 1;
    OpenProblem m_openProblem = OpenProblem::None;
};

} // namespace tovel
