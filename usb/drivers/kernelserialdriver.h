#pragma once

#include "usb/drivers/bridgeidentity.h"
#include "usb/drivers/bridgelist.h"
#include "usb/ftdriver.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>

class QSerialPort;

namespace tovel {

// Bridges served by the kernel's serial driver, through their tty nodes with Qt Serial Port.
// The system form lists every FTDI tty udev knows (vendor 0x0403); the path form lists one
// given path (a /dev/ttyUSB node, a pseudo-terminal, any serial device) as the only device,
// with the path as its serial number and "Serial port <path>" as its description.
//
// No event loop is needed: the driver polls the port itself on every queue count and read.
// Modem lines are never touched (a pseudo-terminal has none). The tty gives no way to the
// bridge's EEPROM: readEepromWord answers FT_EEPROM_NOT_PRESENT.
// Once a port reports that it went away, every call but close gives FT_IO_ERROR.
//
// With an event loop running, a port that hangs up between calls (the bridge pulled out, the
// other side of a pseudo-terminal closed) is noticed there and then: the driver lets go of
// the descriptor and tells the gone listener.
class KernelSerialDriver : public FtDriver {
public:
    KernelSerialDriver();
    explicit KernelSerialDriver(const QString &path);
    ~KernelSerialDriver() override;
    KernelSerialDriver(const KernelSerialDriver &) = delete;
    KernelSerialDriver &operator=(const KernelSerialDriver &) = delete;

    // A count takes a fresh list; the by-index queries answer from it.
    FtStatus listDeviceCount(quint32 &count) override;
    FtStatus listSerialNumber(quint32 index, QByteArray &serial) override;
    FtStatus listDescription(quint32 index, QByteArray &description) override;
    FtStatus openBySerialNumber(const QByteArray &serial, FtHandle &handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead) override;
    // Returns once the bytes are with the kernel; a line that takes nothing for the stall time
    // fails with FT_FAILED_TO_WRITE_DEVICE, bytesWritten telling what went, the rest dropped
    // there and then. So a transmit purge never has anything to drop.
    FtStatus write(FtHandle handle, const char *buffer, quint32 count,
                   quint32 &bytesWritten) override;
    FtStatus queueStatus(FtHandle handle, quint32 &queued) override;
    FtStatus waitForData(FtHandle handle, int timeoutMs) override;
    FtStatus purge(FtHandle handle, quint32 mask) override;
    FtStatus setBaudRate(FtHandle handle, quint32 baudRate) override;
    FtStatus setDataCharacteristics(FtHandle handle, quint8 wordLength, quint8 stopBits,
                                    quint8 parity) override;
    FtStatus readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word) override;
    // False only for a pseudo-terminal; any other serial device may be wired to a pedal.
    bool isRealBridge(FtHandle handle) const override;
    // Whether the node at path is the slave side of a pseudo-terminal.
    static bool isPseudoTerminal(const QString &path);
    // A failed open of an existing node: the user lacks read/write permission on it, else
    // another program holds it.
    OpenProblem lastOpenProblem() const override { return m_openProblem; }
    static OpenProblem openProblemFor(const QString &devnode);

    // Asks the tty for low latency: ASYNC_LOW_LATENCY through TIOCSSERIAL, and the bridge's
    // latency_timer in sysfs set to 1 ms where the user may write it. A node that knows
    // neither (a pseudo-terminal) is left as it is. Returns what was done, for the console.
    static QStringList requestLowLatency(int fd, const QString &devnode);

    // The ports on these nodes are gone (a path given to the driver counts by the node it led
    // to when the port was opened).
    void bridgeRemoved(const QStringList &devnodes) override;

    static constexpr int kWriteStallMs = 2000;
    void setWriteStallMs(int ms) { m_writeStallMs = ms; }

private:
    struct Listed {
        BridgeIdentity id;
        QString devnode;
    };
    struct Port;

    QList<Listed> currentList() const;
    // The open port for a handle; FT_INVALID_HANDLE, or FT_IO_ERROR once it went away.
    FtStatus port(FtHandle handle, Port *&p);
    FtStatus poll(Port &p, int timeoutMs = 0);
    // Qt saw an error on the port's descriptor: if it hung up, the port is gone.
    void portError(FtHandle handle, int error);
    // Lets go of a gone port's descriptor and tells the listener, once, from the event loop.
    void announceGone(FtHandle handle);

    std::optional<QString> m_path;
    BridgeList m_listed{[this](QList<BridgeIdentity> &listed) {
        for (const Listed &port : currentList())
            listed.append(port.id);
        return FT_OK;
    }};
    std::map<FtHandle, std::unique_ptr<Port>> m_ports;
    FtHandle m_nextHandle = 1;
    int m_writeStallMs = kWriteStallMs;
    OpenProblem m_openProblem = OpenProblem::None;
    // Carries the news of a hang-up to the event loop; goes first, so nothing queued on it
    // outlives the driver.
    QObject m_context;
};

} // namespace tovel
