#include "usb/drivers/kernelserialdriver.h"

#include "usb/drivers/linesettings.h"
#include "usb/drivers/serialportstatus.h"

#include <QSerialPort>
#include <libudev.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tovel {

namespace {

// A tty whose device has gone (or a pseudo-terminal whose other side closed) polls as hung
// up, and stays so.
bool hungUp(int fd)
{
    if (fd < 0)
        return true;
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

constexpr char kFtdiVendor[] = "0403";
// The open-by-serial area holds 49 characters, so a longer path arrives cut to that length.
constexpr int kOpenSerialChars = 49;

QByteArray sysattr(udev_device *dev, const char *name)
{
    return dev ? QByteArray(udev_device_get_sysattr_value(dev, name)) : QByteArray();
}

QByteArray property(udev_device *dev, const char *name)
{
    return QByteArray(udev_device_get_property_value(dev, name));
}

} // namespace

struct KernelSerialDriver::Port {
    QSerialPort serial;
    QString devnode;
    QString node;           // the node devnode led to at open: what udev names on removal
    bool gone = false;
    bool announced = false; // the listener has been told

    // The status for the error the port reports now; fallback when it reports none.
    FtStatus failure(SerialPortCall call, FtStatus fallback)
    {
        const QSerialPort::SerialPortError error = serial.error();
        serial.clearError();
        if (error == QSerialPort::ResourceError)
            gone = true;
        const FtStatus s = serialPortStatus(call, error);
        return s == FT_OK ? fallback : s;
    }
};

KernelSerialDriver::KernelSerialDriver() = default;

KernelSerialDriver::KernelSerialDriver(const QString &path) : m_path(path) {}

KernelSerialDriver::~KernelSerialDriver() = default;

QList<KernelSerialDriver::Listed> KernelSerialDriver::currentList() const
{
    QList<Listed> listed;
    if (m_path) {
        listed.append({{m_path->toLocal8Bit(), "Serial port " + m_path->toLocal8Bit()}, *m_path});
        return listed;
    }
    udev *u = udev_new();
    if (!u)
        return listed;
    udev_enumerate *e = udev_enumerate_new(u);
    udev_enumerate_add_match_subsystem(e, "tty");
    // The list runs at start-up. The kernel names the ports of USB serial bridges (the FTDI
    // driver's among them) ttyUSB<n>: matching that name spares reading every virtual console
    // and pseudo-terminal of the system, which made most of the editor's own start-up work.
    udev_enumerate_add_match_sysname(e, "ttyUSB*");
    udev_enumerate_scan_devices(e);
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
    {
        udev_device *tty = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
        if (!tty)
            continue;
        // Parents belong to the child: no unref of their own.
        udev_device *usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
        udev_device *intf = udev_device_get_parent_with_subsystem_devtype(tty, "usb",
                                                                          "usb_interface");
        const char *devnode = udev_device_get_devnode(tty);
        if (usb && devnode && sysattr(usb, "idVendor").trimmed() == kFtdiVendor) {
            TtyBridgeFacts facts;
            facts.serialAttribute = sysattr(usb, "serial");
            facts.serialShort = property(tty, "ID_SERIAL_SHORT");
            facts.productAttribute = sysattr(usb, "product");
            facts.modelFromDatabase = property(tty, "ID_MODEL_FROM_DATABASE");
            facts.interfaceNumber = sysattr(intf, "bInterfaceNumber").trimmed().toInt(nullptr, 16);
            facts.interfaceCount = sysattr(usb, "bNumInterfaces").trimmed().toInt();
            facts.devnode = QString::fromLocal8Bit(devnode);
            listed.append({ttyBridgeIdentity(facts), facts.devnode});
        }
        udev_device_unref(tty);
    }
    udev_enumerate_unref(e);
    udev_unref(u);
    return listed;
}


FtStatus KernelSerialDriver::listDeviceCount(quint32 &count)
{
    return m_listed.count(count);
}

FtStatus KernelSerialDriver::listSerialNumber(quint32 index, QByteArray &serial)
{
    return m_listed.serialNumber(index, serial);
}

FtStatus KernelSerialDriver::listDescription(quint32 index, QByteArray &description)
{
    return m_listed.description(index, description);
}

FtStatus KernelSerialDriver::openBySerialNumber(const QByteArray &serial, FtHandle &handle)
{
    QString devnode;
    for (const Listed &l : currentList()) {
        const bool cut = m_path && serial.size() == kOpenSerialChars
                         && l.id.serial.startsWith(serial);
        if (l.id.serial == serial || cut) {
            devnode = l.devnode;
            break;
        }
    }
    m_openProblem = OpenProblem::None;
    if (devnode.isEmpty())
        return FT_DEVICE_NOT_FOUND;
    auto p = std::make_unique<Port>();
    // A full path opens any node, including pseudo-terminals that port enumeration never shows.
    // The port is named by where its links lead, so that its lock file is the same for every
    // name of one port.
    const QString real = QFileInfo(devnode).canonicalFilePath();
    p->serial.setPortName(real.isEmpty() ? devnode : real);
    p->devnode = devnode;
    if (!p->serial.open(QIODevice::ReadWrite)) {
        const FtStatus s = p->failure(SerialPortCall::Open, FT_DEVICE_NOT_OPENED);
        if (s == FT_DEVICE_NOT_OPENED)
            m_openProblem = openProblemFor(devnode);
        return s;
    }
    // The lock file can be missing (no lock folder) and the tty's exclusive mode does not hold
    // against root; a lock on the open node itself holds for every name and every user.
    if (::flock(int(p->serial.handle()), LOCK_EX | LOCK_NB) != 0) {
        p->serial.close();
        m_openProblem = OpenProblem::Busy;
        return FT_DEVICE_NOT_OPENED;
    }
    // The bridge holds an answer's bytes up to its latency timer (16 ms) before it sends
    // them to the host; with low latency it sends them after 1 ms.
    requestLowLatency(int(p->serial.handle()), devnode);
    p->node = QFileInfo(devnode).canonicalFilePath();
    handle = m_nextHandle++;
    // Qt reads the descriptor from the event loop, so a hang-up while no call runs shows here
    // first; a USB tty that hung up reads as end of file, which Qt calls a read error.
    QObject::connect(&p->serial, &QSerialPort::errorOccurred, &m_context,
                     [this, h = handle](QSerialPort::SerialPortError error) { portError(h, int(error)); });
    m_ports.emplace(handle, std::move(p));
    return FT_OK;
}

void KernelSerialDriver::portError(FtHandle handle, int error)
{
    const auto it = m_ports.find(handle);
    if (it == m_ports.end() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    Port &p = *it->second;
    if (error != QSerialPort::ResourceError && !hungUp(int(p.serial.handle())))
        return;
    p.gone = true;
    // This may run inside one of Qt's own calls on the port (a wait of this driver's): the
    // descriptor is let go of from the event loop.
    QMetaObject::invokeMethod(&m_context, [this, handle] { announceGone(handle); }, Qt::QueuedConnection);
}

void KernelSerialDriver::announceGone(FtHandle handle)
{
    const auto it = m_ports.find(handle);
    if (it == m_ports.end() || it->second->announced)
        return;
    Port &p = *it->second;
    p.gone = true;
    p.announced = true;
    // A hung-up tty stays readable for good: Qt would wake for it on every turn. Closing frees
    // the node (and its lock) for the bridge when it comes back.
    p.serial.close();
    reportGone(handle);
}

void KernelSerialDriver::bridgeRemoved(const QStringList &devnodes)
{
    QList<FtHandle> gone;
    for (auto &[handle, p] : m_ports) {
        if (p->announced || !(devnodes.contains(p->devnode) || devnodes.contains(p->node)))
            continue;
        p->gone = true;
        gone.append(handle);
    }
    for (FtHandle handle : gone)
        announceGone(handle);
}

FtStatus KernelSerialDriver::port(FtHandle handle, Port *&p)
{
    const auto it = m_ports.find(handle);
    if (it == m_ports.end())
        return FT_INVALID_HANDLE;
    p = it->second.get();
    return p->gone ? FT_IO_ERROR : FT_OK;
}

FtStatus KernelSerialDriver::poll(Port &p, int timeoutMs)
{
    // Qt Serial Port reads the descriptor only from the event loop or a wait: a zero wait
    // moves what the kernel holds into the port's buffer. Finding nothing is a time-out.
    p.serial.waitForReadyRead(timeoutMs);
    if (p.serial.error() == QSerialPort::TimeoutError)
        p.serial.clearError();
    return p.failure(SerialPortCall::Read, FT_OK);
}

FtStatus KernelSerialDriver::close(FtHandle handle)
{
    if (m_ports.erase(handle) == 0)
        return FT_INVALID_HANDLE;
    return FT_OK;
}

FtStatus KernelSerialDriver::read(FtHandle handle, char *buffer, quint32 count,
                                  quint32 &bytesRead)
{
    bytesRead = 0;
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    if (p->serial.bytesAvailable() < count)
        if (FtStatus s = poll(*p))
            return s;
    const qint64 n = p->serial.read(buffer, count);
    if (n < 0)
        return p->failure(SerialPortCall::Read, FT_IO_ERROR);
    bytesRead = quint32(n);
    return FT_OK;
}

FtStatus KernelSerialDriver::write(FtHandle handle, const char *buffer, quint32 count,
                                   quint32 &bytesWritten)
{
    bytesWritten = 0;
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    if (count == 0)
        return FT_OK;
    QSerialPort &serial = p->serial;
    if (serial.write(buffer, count) != qint64(count)) {
        const FtStatus s = p->failure(SerialPortCall::Write, FT_IO_ERROR);
        serial.clear(QSerialPort::Output);
        return s;
    }
    // Qt queues the bytes; each wait hands the kernel what it will take.
    while (serial.bytesToWrite() > 0) {
        if (!serial.waitForBytesWritten(m_writeStallMs)) {
            bytesWritten = count - quint32(serial.bytesToWrite());
            const FtStatus s = p->failure(SerialPortCall::Write, FT_FAILED_TO_WRITE_DEVICE);
            serial.clear(QSerialPort::Output);
            return s;
        }
    }
    bytesWritten = count;
    return FT_OK;
}

FtStatus KernelSerialDriver::queueStatus(FtHandle handle, quint32 &queued)
{
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    if (FtStatus s = poll(*p))
        return s;
    queued = quint32(p->serial.bytesAvailable());
    return FT_OK;
}

FtStatus KernelSerialDriver::waitForData(FtHandle handle, int timeoutMs)
{
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    if (p->serial.bytesAvailable() > 0)
        return FT_OK;
    return poll(*p, std::max(timeoutMs, 0));
}

FtStatus KernelSerialDriver::purge(FtHandle handle, quint32 mask)
{
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    // Input: Qt's buffer and the kernel's. Output: nothing to do. What the kernel holds after a
    // completed write is a whole command on its way at the line rate (flushing it would cut
    // the command off), and a failed or stalled write has dropped its rest already.
    if ((mask & FT_PURGE_RX) && !p->serial.clear(QSerialPort::Input))
        return p->failure(SerialPortCall::Purge, FT_IO_ERROR);
    return FT_OK;
}

FtStatus KernelSerialDriver::setBaudRate(FtHandle handle, quint32 baudRate)
{
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    // Zero would mean "hang up" to the tty.
    if (baudRate == 0 || baudRate > quint32(std::numeric_limits<qint32>::max()))
        return FT_INVALID_BAUD_RATE;
    if (p->serial.setBaudRate(qint32(baudRate)))
        return FT_OK;
    return p->failure(SerialPortCall::Baud, FT_INVALID_BAUD_RATE);
}

FtStatus KernelSerialDriver::setDataCharacteristics(FtHandle handle, quint8 wordLength,
                                                    quint8 stopBits, quint8 parity)
{
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    const auto line = lineSettingsFromD2xx(wordLength, stopBits, parity);
    if (!line)
        return FT_INVALID_PARAMETER;
    static constexpr QSerialPort::Parity kParity[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    QSerialPort &serial = p->serial;
    const bool ok = serial.setDataBits(line->dataBits == 7 ? QSerialPort::Data7
                                                            : QSerialPort::Data8)
                    && serial.setStopBits(line->stopBits == 1 ? QSerialPort::OneStop
                                                              : QSerialPort::TwoStop)
                    && serial.setParity(kParity[int(line->parity)]);
    return ok ? FT_OK : p->failure(SerialPortCall::Configure, FT_IO_ERROR);
}

bool KernelSerialDriver::isPseudoTerminal(const QString &path)
{
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    // Linux: Unix98 pty slaves (/dev/pts/N) have majors 136-143, the old BSD ones major 3.
    const unsigned m = major(st.st_rdev);
    return (m >= 136 && m <= 143) || m == 3;
}

OpenProblem KernelSerialDriver::openProblemFor(const QString &devnode)
{
    // Qt Serial Port reports a node the user may not open and one held by another program
    // (its lock, or the tty's exclusive mode) the same way; the node's permissions tell them
    // apart.
    const QByteArray path = QFile::encodeName(devnode);
    if (::access(path.constData(), F_OK) != 0)
        return OpenProblem::None;
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return OpenProblem::PermissionDenied;
    // --device may name an ordinary file or a folder: no program holds it, it is no port.
    struct stat node {};
    if (::stat(path.constData(), &node) == 0 && !S_ISCHR(node.st_mode))
        return OpenProblem::NotASerialPort;
    return OpenProblem::Busy;
}

QStringList KernelSerialDriver::requestLowLatency(int fd, const QString &devnode)
{
    QStringList done;
    serial_struct ss {};
    if (fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &ss) == 0) {
        if (ss.flags & ASYNC_LOW_LATENCY) {
            done << QStringLiteral("ASYNC_LOW_LATENCY already set");
        } else {
            ss.flags |= ASYNC_LOW_LATENCY;
            if (::ioctl(fd, TIOCSSERIAL, &ss) == 0)
                done << QStringLiteral("ASYNC_LOW_LATENCY set");
        }
    }
    // The FTDI serial driver shows the chip's timer as an attribute of the port's usb-serial
    // device (a udev rule can make it writable or set it at plug-in).
    const QString name = QFileInfo(devnode).canonicalFilePath().section(QLatin1Char('/'), -1);
    if (name.isEmpty())
        return done;
    QFile timer(QStringLiteral("/sys/bus/usb-serial/devices/") + name
                + QStringLiteral("/latency_timer"));
    if (!timer.exists())
        return done;
    if (timer.open(QIODevice::ReadOnly)) {
        const QByteArray now = timer.readAll().trimmed();
        timer.close();
        if (now == "1") {
            done << QStringLiteral("latency_timer already 1 ms");
            return done;
        }
    }
    if (timer.open(QIODevice::WriteOnly) && timer.write("1") == 1)
        done << QStringLiteral("latency_timer set to 1 ms");
    return done;
}

bool KernelSerialDriver::isRealBridge(FtHandle handle) const
{
    const auto it = m_ports.find(handle);
    if (it == m_ports.end())
        return true;
    return !isPseudoTerminal(it->second->devnode);
}

FtStatus KernelSerialDriver::readEepromWord(FtHandle handle, quint32, quint16 &)
{
    Port *p = nullptr;
    if (FtStatus s = port(handle, p))
        return s;
    return FT_EEPROM_NOT_PRESENT;
}

} // namespace tovel
