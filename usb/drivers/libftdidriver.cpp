#include "usb/drivers/libftdidriver.h"

#include "usb/drivers/libftdistatus.h"
#include "usb/drivers/linesettings.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <utility>

namespace tovel {

namespace {

// Longest string descriptor: 126 UTF-16 units; libftdi1 hands back their low bytes.
constexpr int kStringBytes = 128;
// One poll of the chip takes at most this much, and libftdi1 asks USB for as much per
// transfer: a chip that streams without pause holds a poll for about 45 ms at 115,200 baud.
// The rest stays in the chip for the next poll.
constexpr int kPullBytes = 512;
// Beyond this nothing more is taken from the chip until the editor reads.
constexpr int kMaxQueuedBytes = 1 << 20;

struct Context {
    ftdi_context *ctx = ftdi_new();
    ~Context()
    {
        if (ctx)
            ftdi_free(ctx);
    }
    ftdi_context *release() { return std::exchange(ctx, nullptr); }
};

int interfaceCount(libusb_device *dev)
{
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_config_descriptor(dev, 0, &config) != 0 || !config)
        return 1;
    const int n = config->bNumInterfaces;
    libusb_free_config_descriptor(config);
    return n > 0 ? n : 1;
}

// Calls visit for each port of every bridge whose strings can be read, until visit returns
// true. Bridges the user may not open are passed over: the kernel serial driver may reach them.
FtStatus forEachPort(ftdi_context *ctx,
                     const std::function<bool(libusb_device *, int, const BridgeIdentity &)> &visit)
{
    ftdi_device_list *list = nullptr;
    const int found = ftdi_usb_find_all(ctx, &list, 0, 0);
    if (found < 0)
        return libFtdiStatus(LibFtdiCall::FindAll, found);
    bool done = false;
    for (ftdi_device_list *d = list; d && !done; d = d->next) {
        char description[kStringBytes] = {};
        char serial[kStringBytes] = {};
        if (ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, description, kStringBytes, serial,
                                 kStringBytes) < 0)
            continue;
        const int ports = interfaceCount(d->dev);
        for (int i = 0; i < ports && i < 4 && !done; ++i) {
            const QByteArray letter = portLetter(i, ports);
            BridgeIdentity id;
            id.serial = QByteArray(serial) + letter;
            id.description = QByteArray(description);
            if (!letter.isEmpty())
                id.description += ' ' + letter;
            done = visit(d->dev, i, id);
        }
    }
    ftdi_list_free(&list);
    return FT_OK;
}

} // namespace

LibFtdiDriver::LibFtdiDriver() = default;

LibFtdiDriver::~LibFtdiDriver()
{
    for (auto &[handle, p] : m_ports) {
        ftdi_usb_close(p->ctx);
        ftdi_free(p->ctx);
    }
}

FtStatus LibFtdiDriver::list(QList<BridgeIdentity> &listed)
{
    Context c;
    if (!c.ctx)
        return FT_IO_ERROR; // libusb could not start: no USB access at all
    return forEachPort(c.ctx, [&](libusb_device *, int, const BridgeIdentity &id) {
        listed.append(id);
        return false;
    });
}

FtStatus LibFtdiDriver::listDeviceCount(quint32 &count)
{
    return m_listed.count(count);
}

FtStatus LibFtdiDriver::listSerialNumber(quint32 index, QByteArray &serial)
{
    return m_listed.serialNumber(index, serial);
}

FtStatus LibFtdiDriver::listDescription(quint32 index, QByteArray &description)
{
    return m_listed.description(index, description);
}

FtStatus LibFtdiDriver::openBySerialNumber(const QByteArray &serial, FtHandle &handle)
{
    Context c;
    if (!c.ctx)
        return FT_IO_ERROR;
    // Give the port back to the kernel serial driver on close.
    c.ctx->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    m_openProblem = OpenProblem::None;
    FtStatus opened = FT_DEVICE_NOT_FOUND;
    QString node;
    const FtStatus s = forEachPort(c.ctx, [&](libusb_device *dev, int port,
                                              const BridgeIdentity &id) {
        if (id.serial != serial)
            return false;
        node = usbDevnode(libusb_get_bus_number(dev), libusb_get_device_address(dev));
        int rc = ftdi_set_interface(c.ctx, ftdi_interface(INTERFACE_A + port));
        if (rc < 0) {
            opened = libFtdiStatus(LibFtdiCall::SetInterface, rc);
        } else {
            rc = ftdi_usb_open_dev(c.ctx, dev);
            opened = libFtdiStatus(LibFtdiCall::OpenDevice, rc);
            m_openProblem = openProblemFor(rc);
        }
        return true;
    });
    if (s != FT_OK)
        return s;
    if (opened != FT_OK)
        return opened;
    ftdi_read_data_set_chunksize(c.ctx, kPullBytes);
    // The chip holds received bytes until 62 have gathered or its latency timer (16 ms at
    // power-up) runs out: every short answer of the pedal would wait that long. A bridge that
    // refuses keeps its default; the link works, only slower.
    ftdi_set_latency_timer(c.ctx, kLatencyTimerMs);
    auto p = std::make_unique<Port>();
    p->ctx = c.release();
    p->usbDevnode = node;
    handle = m_nextHandle++;
    m_ports.emplace(handle, std::move(p));
    return FT_OK;
}

OpenProblem LibFtdiDriver::openProblemFor(int openResult)
{
    switch (openResult) {
    case -4:
        return OpenProblem::PermissionDenied;
    case -5:
    case -11:
        return OpenProblem::Busy;
    default:
        return OpenProblem::None;
    }
}

LibFtdiDriver::Port *LibFtdiDriver::port(FtHandle handle)
{
    const auto it = m_ports.find(handle);
    return it == m_ports.end() ? nullptr : it->second.get();
}

FtStatus LibFtdiDriver::live(FtHandle handle, Port *&p)
{
    p = port(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    return p->gone ? FT_IO_ERROR : FT_OK;
}

QString LibFtdiDriver::usbDevnode(int bus, int address)
{
    return QString::asprintf("/dev/bus/usb/%03d/%03d", bus, address);
}

void LibFtdiDriver::bridgeRemoved(const QStringList &devnodes)
{
    // libusb would tell only at the next transfer; the monitor knows as the bridge goes.
    QList<FtHandle> gone;
    for (auto &[handle, p] : m_ports) {
        if (!p->gone && devnodes.contains(p->usbDevnode)) {
            p->gone = true;
            gone.append(handle);
        }
    }
    for (FtHandle handle : gone)
        reportGone(handle);
}

FtStatus LibFtdiDriver::close(FtHandle handle)
{
    Port *p = port(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    const int rc = ftdi_usb_close(p->ctx);
    ftdi_free(p->ctx);
    m_ports.erase(handle);
    return libFtdiStatus(LibFtdiCall::Close, rc);
}

FtStatus LibFtdiDriver::pull(Port &p)
{
    const int room = std::min(kPullBytes, kMaxQueuedBytes - int(p.rx.size()));
    if (room <= 0)
        return FT_OK;
    const qsizetype before = p.rx.size();
    p.rx.resize(before + room);
    const int rc = ftdi_read_data(p.ctx, reinterpret_cast<unsigned char *>(p.rx.data() + before),
                                  room);
    p.rx.resize(before + std::max(rc, 0));
    return libFtdiStatus(LibFtdiCall::ReadData, rc);
}

FtStatus LibFtdiDriver::read(FtHandle handle, char *buffer, quint32 count, quint32 &bytesRead)
{
    bytesRead = 0;
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    if (quint32(p->rx.size()) < count)
        if (FtStatus s = pull(*p))
            return s;
    const quint32 n = std::min<quint32>(count, quint32(p->rx.size()));
    std::memcpy(buffer, p->rx.constData(), n);
    p->rx.remove(0, n);
    bytesRead = n;
    return FT_OK;
}

FtStatus LibFtdiDriver::write(FtHandle handle, const char *buffer, quint32 count,
                              quint32 &bytesWritten)
{
    bytesWritten = 0;
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    if (count > quint32(INT_MAX))
        return FT_INVALID_PARAMETER;
    if (count == 0)
        return FT_OK;
    const int rc = ftdi_write_data(p->ctx, reinterpret_cast<const unsigned char *>(buffer),
                                   int(count));
    p->writeFailed = rc < int(count);
    if (rc < 0)
        return libFtdiStatus(LibFtdiCall::WriteData, rc);
    bytesWritten = quint32(rc);
    return rc < int(count) ? FT_FAILED_TO_WRITE_DEVICE : FT_OK;
}

FtStatus LibFtdiDriver::queueStatus(FtHandle handle, quint32 &queued)
{
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    if (FtStatus s = pull(*p))
        return s;
    queued = quint32(p->rx.size());
    return FT_OK;
}

FtStatus LibFtdiDriver::purge(FtHandle handle, quint32 mask)
{
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    if (mask & FT_PURGE_RX) {
        p->rx.clear();
        if (FtStatus s = libFtdiStatus(LibFtdiCall::PurgeRx, ftdi_tciflush(p->ctx)))
            return s;
    }
    // The chip sends what it holds at the line rate, long after the write returned: flushing
    // it would cut the last command short. Only a failed write's rest is dropped.
    if ((mask & FT_PURGE_TX) && p->writeFailed) {
        p->writeFailed = false;
        return libFtdiStatus(LibFtdiCall::PurgeTx, ftdi_tcoflush(p->ctx));
    }
    return FT_OK;
}

FtStatus LibFtdiDriver::setBaudRate(FtHandle handle, quint32 baudRate)
{
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    if (baudRate == 0 || baudRate > quint32(INT_MAX))
        return FT_INVALID_BAUD_RATE;
    return libFtdiStatus(LibFtdiCall::SetBaudRate, ftdi_set_baudrate(p->ctx, int(baudRate)));
}

FtStatus LibFtdiDriver::setDataCharacteristics(FtHandle handle, quint8 wordLength,
                                               quint8 stopBits, quint8 parity)
{
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    const auto line = lineSettingsFromD2xx(wordLength, stopBits, parity);
    if (!line)
        return FT_INVALID_PARAMETER;
    // The D2XX parity codes and libftdi1's parity_type count alike: none, odd, even, mark, space.
    const int rc = ftdi_set_line_property(p->ctx, line->dataBits == 7 ? BITS_7 : BITS_8,
                                          line->stopBits == 1 ? STOP_BIT_1 : STOP_BIT_2,
                                          ftdi_parity_type(line->parity));
    return libFtdiStatus(LibFtdiCall::SetLineProperty, rc);
}

FtStatus LibFtdiDriver::readEepromWord(FtHandle handle, quint32 wordOffset, quint16 &word)
{
    Port *p = nullptr;
    if (FtStatus s = live(handle, p))
        return s;
    if (wordOffset > 0xFFFF) // the address travels in a 16-bit request field
        return FT_INVALID_PARAMETER;
    unsigned short value = 0;
    const int rc = ftdi_read_eeprom_location(p->ctx, int(wordOffset), &value);
    if (rc < 0)
        return libFtdiStatus(LibFtdiCall::ReadEeprom, rc);
    word = value;
    return FT_OK;
}

} // namespace tovel
