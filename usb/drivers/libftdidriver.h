#pragma once

#include "usb/drivers/bridgeidentity.h"
#include "usb/drivers/bridgelist.h"
#include "usb/ftdriver.h"

#include <QList>
#include <QString>
#include <map>
#include <memory>

struct ftdi_context;

namespace tovel {

// The bridge driven directly over USB through libftdi1. Finds the FTDI products libftdi1 knows
// by default (vendor 0x0403). Reading a bridge's strings opens it, so only bridges the user may
// open (/dev/bus/usb permission) are listed. Opening detaches the kernel serial driver from the
// port; closing gives it back.
//
// libftdi1 has no queue count: queueStatus reads what the chip holds into a receive buffer of
// the driver's own and counts that; read serves from that buffer first and never waits beyond
// one poll of the chip (at most its latency timer, set to 1 ms on open).
class LibFtdiDriver : public FtDriver {
public:
    LibFtdiDriver();
    ~LibFtdiDriver() override;
    LibFtdiDriver(const LibFtdiDriver &) = delete;
    LibFtdiDriver &operator=(const LibFtdiDriver &) = delete;

    // A count takes a fresh list; the by-index queries answer from the list the last count
    // took (from a fresh one if none was taken yet), so indexes stay those the count gave.
    FtStatus listDeviceCount(quint32 &count) override;
    FtStatus listSerialNumber(quint32 index, QByteArray &serial) override;
    FtStatus listDescription(quint32 index, QByteArray &description) override;
    FtStatus openBySerialNumber(const QByteArray &serial, FtHandle &handle) override;
    // The handle is released even when the device is gone (then FT_IO_ERROR).
    FtStatus close(FtHandle handle) override;
    FtStatus read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead) override;
    FtStatus write(FtHandle handle, const char *buffer, quint32 count,
                   quint32 &bytesWritten) override;
    FtStatus queueStatus(FtHandle handle, quint32 &queued) override;
    FtStatus purge(FtHandle handle, quint32 mask) override;
    FtStatus setBaudRate(FtHandle handle, quint32 baudRate) override;
    FtStatus setDataCharacteristics(FtHandle handle, quint8 wordLength, quint8 stopBits,
                                    quint8 parity) override;
    FtStatus readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word) override;
    // A bridge on the bus: always.
    bool isRealBridge(FtHandle) const override { return true; }
    OpenProblem lastOpenProblem() const override { return m_openProblem; }
    // libftdi1's open results: -4 the USB device could not be opened (no permission on
    // /dev/bus/usb), -5 its interface is claimed by another program, -11 the kernel driver
    // could not be detached from it (a program holds the tty).
    static OpenProblem openProblemFor(int openResult);
    // The chip's latency timer after open, in ms: it sends what it holds when the timer runs
    // out, so an answer shorter than a USB packet waits this long in the chip.
    static constexpr int kLatencyTimerMs = 1;

    // An open bridge whose USB device node is among devnodes is gone: every call but close
    // fails with FT_IO_ERROR from now on, and the gone listener hears of it.
    void bridgeRemoved(const QStringList &devnodes) override;
    // The node udev gives the USB device at this bus number and address.
    static QString usbDevnode(int bus, int address);

private:
    struct Port {
        ftdi_context *ctx = nullptr;
        QByteArray rx; // read from the chip, not yet handed out
        bool writeFailed = false; // the last write may have left bytes in the chip
        QString usbDevnode;       // /dev/bus/usb/BBB/DDD
        bool gone = false;        // its bridge left the bus
    };

    FtStatus list(QList<BridgeIdentity> &listed);
    Port *port(FtHandle handle);
    // The open port for a handle: FT_INVALID_HANDLE, or FT_IO_ERROR once its bridge left.
    FtStatus live(FtHandle handle, Port *&p);
    FtStatus pull(Port &port);

    BridgeList m_listed{[this](QList<BridgeIdentity> &listed) { return list(listed); }};
    std::map<FtHandle, std::unique_ptr<Port>> m_ports;
    FtHandle m_nextHandle = 1;
    OpenProblem m_openProblem = OpenProblem::None;
};

} // namespace tovel
