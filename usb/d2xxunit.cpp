#include "usb/d2xxunit.h"

#include "usb/pluggedbridge.h"

#include <algorithm>
#include <cstring>

namespace tovel {

namespace {

// The library writes list replies into a 64-byte area; the text ends at its zero byte.
constexpr int kListReplyArea = 64;
// The open-by-serial area holds 49 characters and a terminating zero.
constexpr int kOpenSerialChars = 49;

QString listReplyText(const QByteArray &reply)
{
    QByteArray text = reply.left(kListReplyArea);
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return QString::fromLocal8Bit(text);
}

const char *const kSuffixes[] = {
    "",
    " - Invalid handle...",
    " - Device not found...",
    " - Device not opened...",
    " - General IO error...",
    " - Insufficient resources...",
    " - Invalid parameter...",
    " - Invalid baud rate...",
    " Device not opened for erase...",
    " Device not opened for write...",
    " - Failed to write...",
    " - EEPROM read failed...",
    " - EEPROM write failed...",
    " - EEPROM erase failed...",
    " - EEPROM not present...",
    " - EEPROM not programmed...",
    " - Invalid arguments...",
    " - Other error ...",
};

} // namespace

D2XXUnit::D2XXUnit(FtDriver &driver) : m_driver(driver)
{
    m_driver.setGoneListener([this](FtHandle handle) { deviceGone(handle); });
}

D2XXUnit::~D2XXUnit()
{
    m_driver.setGoneListener(nullptr);
}

void D2XXUnit::deviceGone(FtHandle handle)
{
    // News of a handle closed since, or of a loss already told, changes nothing.
    if (handle != state.DeviceHandle || state.DeviceLost)
        return;
    state.DeviceLost = true;
    if (onDeviceLost)
        onDeviceLost();
}

void D2XXUnit::bridgeLeft(const PluggedBridge &bridge)
{
    m_driver.bridgeRemoved(bridge.devnodes());
}

QString D2XXUnit::statusMessage(const QString &label, quint32 status)
{
    if (status == 0 || status >= std::size(kSuffixes))
        return QString();
    return label + QLatin1String(kSuffixes[status]);
}

QString D2XXUnit::failureText(const UsbFailure &failure)
{
    const QString text = statusMessage(failure.label, failure.status);
    const QString help = openHelp(failure.problem);
    return text.isEmpty() || help.isEmpty() ? text : text + QLatin1Char('\n') + help;
}

void D2XXUnit::ReportFTStatus(const QString &label, quint32 status)
{
    if (status == 0)
        return;
    report(UsbFailure{label, status, OpenProblem::None});
}

void D2XXUnit::report(const UsbFailure &failure)
{
    m_lastFailure = failure;
    if (onFailure)
        onFailure(failure);
}

bool D2XXUnit::meansDeviceGone(quint32 status)
{
    // Every driver answers an I/O call on a bridge that left the bus with an I/O error.
    return status == FT_IO_ERROR || status == FT_DEVICE_NOT_FOUND;
}

void D2XXUnit::reportDeviceCall(const QString &label, quint32 status)
{
    if (status == 0)
        return;
    if (onDeviceLost && state.DeviceLost)
        return; // told once already
    if (onDeviceLost && meansDeviceGone(status)) {
        state.DeviceLost = true;
        onDeviceLost();
        return;
    }
    ReportFTStatus(label, status);
}

QByteArray D2XXUnit::openBySerialArea(const QString &serialNumber)
{
    return serialNumber.toLocal8Bit().left(kOpenSerialChars);
}

void D2XXUnit::choosePedalLine()
{
    state.BaudRate = kPedalBaudRate;
    state.WordLength = 8;
    state.StopBits = 0;
    state.Parity = 0;
}

quint32 D2XXUnit::GetFTDeviceCount()
{
    quint32 count = 0;
    const FtStatus status = m_driver.listDeviceCount(count);
    if (status == FT_OK)
        state.DeviceCount = count;
    ReportFTStatus(QStringLiteral("GetFTDeviceCount"), status);
    return status;
}

quint32 D2XXUnit::GetFTDeviceSerialNo(quint32 index)
{
    QByteArray reply;
    const FtStatus status = m_driver.listSerialNumber(index, reply);
    if (status == FT_OK)
        state.DeviceListText = listReplyText(reply);
    ReportFTStatus(QStringLiteral("GetFTDeviceSerialNo"), status);
    return status;
}

quint32 D2XXUnit::GetFTDeviceDescription(quint32 index)
{
    QByteArray reply;
    const FtStatus status = m_driver.listDescription(index, reply);
    if (status == FT_OK)
        state.DeviceListText = listReplyText(reply);
    ReportFTStatus(QStringLiteral("GetFTDeviceDescription"), status);
    return status;
}

quint32 D2XXUnit::Open_USB_Device_By_Serial_Number(const QString &serialNumber, bool showFailure)
{
    FtHandle handle = 0;
    const FtStatus status = m_driver.openBySerialNumber(openBySerialArea(serialNumber), handle);
    if (status == FT_OK) {
        state.DeviceHandle = handle;
        state.DeviceLost = false;
        m_lastFailure.reset();
    }
    if (status != FT_OK && showFailure)
        report(UsbFailure{QStringLiteral("Open_USB_Device_By_Serial_Number"), status, m_driver.lastOpenProblem()});
    return status;
}

QString D2XXUnit::openHelp(OpenProblem problem)
{
    switch (problem) {
    case OpenProblem::PermissionDenied:
        return QStringLiteral(
            "The pedal's USB bridge is attached, but this user may not open it. Install the "
            "editor's udev rule (the tovel-editor package does; from a build: copy "
            "dist/70-tovel-editor.rules to /etc/udev/rules.d/), then unplug the pedal and "
            "plug it in again. Or add yourself to the dialout group and log in again.");
    case OpenProblem::Busy:
        return QStringLiteral(
            "The port is in use: another program has the pedal's USB bridge open (a terminal "
            "program, another editor or tovel, or ModemManager probing it). Close that program, "
            "then connect again.");
    case OpenProblem::NotASerialPort:
        return QStringLiteral(
            "The device named with --device is no serial port (an ordinary file or a folder): "
            "start the editor with --device naming the pedal's port, such as /dev/ttyUSB0.");
    case OpenProblem::None:
        break;
    }
    return QString();
}

quint32 D2XXUnit::CloseFTDevice()
{
    const FtStatus status = m_driver.close(state.DeviceHandle);
    reportDeviceCall(QStringLiteral("FT_Close"), status);
    return status;
}

quint32 D2XXUnit::ReadFTQueue(quint32 /*requested*/)
{
    quint32 queued = 0;
    FtStatus status = m_driver.queueStatus(state.DeviceHandle, queued);
    if (status != FT_OK) {
        reportDeviceCall(QStringLiteral("FT_Read"), status);
        return 0;
    }
    const quint32 count = std::min(queued, UsbState::kBufferSize);
    if (count == 0)
        return 0;
    quint32 got = 0;
    status = m_driver.read(state.DeviceHandle, reinterpret_cast<char *>(state.ReceiveBuffer.data()),
                           count, got);
    if (status != FT_OK) {
        reportDeviceCall(QStringLiteral("FT_Read"), status);
        return 0;
    }
    return std::min(got, count);
}

quint32 D2XXUnit::WriteFTBuffer(quint32 count)
{
    count = std::min(count, UsbState::kBufferSize);
    quint32 written = 0;
    const FtStatus status = m_driver.write(
        state.DeviceHandle, reinterpret_cast<const char *>(state.TransmitBuffer.data()), count,
        written);
    if (status != FT_OK) {
        reportDeviceCall(QStringLiteral("FT_Write"), status);
        return 0;
    }
    return written;
}

quint32 D2XXUnit::SetFTBaudRate()
{
    const FtStatus status = m_driver.setBaudRate(state.DeviceHandle, state.BaudRate);
    reportDeviceCall(QStringLiteral("FT_SetBaudRate"), status);
    return status;
}

quint32 D2XXUnit::SetFTDataCharacteristics()
{
    const FtStatus status = m_driver.setDataCharacteristics(state.DeviceHandle, state.WordLength,
                                                            state.StopBits, state.Parity);
    reportDeviceCall(QStringLiteral("FT_SetDataCharacteristics"), status);
    return status;
}

quint32 D2XXUnit::PurgeFTReceive()
{
    const FtStatus status = m_driver.purge(state.DeviceHandle, FT_PURGE_RX);
    reportDeviceCall(QStringLiteral("FT_Purge RX"), status);
    return status;
}

quint32 D2XXUnit::PurgeFTTransmit()
{
    const FtStatus status = m_driver.purge(state.DeviceHandle, FT_PURGE_TX);
    reportDeviceCall(QStringLiteral("FT_Purge TX"), status);
    return status;
}

quint32 D2XXUnit::GetFTQueueStatus()
{
    quint32 queued = 0;
    const FtStatus status = m_driver.queueStatus(state.DeviceHandle, queued);
    if (status == FT_OK)
        state.QueuedBytes = queued;
    reportDeviceCall(QStringLiteral("FT_GetQueueStatus"), status);
    return status;
}

quint32 D2XXUnit::WaitFTData(int timeoutMs)
{
    const FtStatus status = m_driver.waitForData(state.DeviceHandle, timeoutMs);
    reportDeviceCall(QStringLiteral("FT_GetQueueStatus"), status);
    return status;
}

quint32 D2XXUnit::ReadFTEepromWord(quint32 wordOffset)
{
    quint16 word = 0;
    const FtStatus status = m_driver.readEepromWord(state.DeviceHandle, wordOffset, word);
    if (status == FT_OK)
        state.EepromWord = word;
    return status;
}

quint32 D2XXUnit::putTransmitBytes(const QByteArray &bytes)
{
    const quint32 count = std::min<quint32>(bytes.size(), UsbState::kBufferSize);
    std::memcpy(state.TransmitBuffer.data(), bytes.constData(), count);
    return count;
}

QByteArray D2XXUnit::receivedBytes(quint32 count) const
{
    count = std::min(count, UsbState::kBufferSize);
    return QByteArray(reinterpret_cast<const char *>(state.ReceiveBuffer.data()), count);
}

} // namespace tovel
