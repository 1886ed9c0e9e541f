#include "usb/d2xxunit.h"

#include "core/seams.h"
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

// What happened and what to do next, in the player's words, by operation and status (0: any
// status); shown below the fixed status text. The first row that matches holds.
struct Advice {
    const char *operation;
    quint32 status;
    const char *text;
};
const char kNoPedal[] = "No pedal found: plug it in, then Connection > Scan.";
const char kCheckCable[] = "The pedal may not have got it: check its USB cable, then Connection > Disconnect and Connect.";
const char kListAgain[] = "The USB bridges could not be listed: unplug the pedal, plug it in again, then Connection > Scan.";
const Advice kAdvice[] = {
    {"Open_USB_Device_By_Serial_Number", FT_DEVICE_NOT_FOUND, kNoPedal},
    {"Open_USB_Device_By_Serial_Number", 0,
     "The pedal's USB bridge could not be opened: unplug the pedal, plug it in again, then Connection > Connect."},
    {"GetFTDeviceCount", 0, kListAgain},
    {"GetFTDeviceSerialNo", 0, kListAgain},
    {"GetFTDeviceDescription", 0, kListAgain},
    {"FT_Write", 0, kCheckCable},
    {"FT_Purge RX", 0, kCheckCable},
    {"FT_Purge TX", 0, kCheckCable},
    {"FT_Read", 0, "The pedal's answer could not be read: check its USB cable, then Connection > Disconnect and Connect."},
    {"FT_GetQueueStatus", 0, "The pedal's answer could not be read: check its USB cable, then Connection > Disconnect and Connect."},
    {"FT_SetBaudRate", 0, "The link was not set up: unplug the pedal, plug it in again, then Connection > Connect."},
    {"FT_SetDataCharacteristics", 0, "The link was not set up: unplug the pedal, plug it in again, then Connection > Connect."},
    {"FT_Close", 0, "Unplug the pedal and plug it in again before the next Connect."},
};

} // namespace

QString noPedalFoundText()
{
    return QLatin1String(kNoPedal);
}

QString D2XXUnit::playerAdvice(const QString &label, quint32 status)
{
    if (status == 0)
        return QString();
    for (const Advice &a : kAdvice)
        if (label == QLatin1String(a.operation) && (a.status == 0 || a.status == status))
            return QLatin1String(a.text);
    return QString();
}

QString D2XXUnit::reportText(const QString &label, quint32 status, const QString &advice)
{
    const QString text = statusMessage(label, status);
    return text.isEmpty() || advice.isEmpty() ? text : text + QLatin1Char('\n') + advice;
}

D2XXUnit::D2XXUnit(FtDriver &driver, Prompts &prompts) : m_driver(driver), m_prompts(prompts)
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

void D2XXUnit::ReportFTStatus(const QString &label, quint32 status)
{
    if (status == 0)
        return;
    m_lastAdvice = playerAdvice(label, status);
    m_prompts.showMessage(reportText(label, status, m_advise ? m_lastAdvice : QString()));
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
        m_lastAdvice.clear();
    }
    if (status != FT_OK && showFailure) {
        const QString label = QStringLiteral("Open_USB_Device_By_Serial_Number");
        // The driver's word on why, where it can tell, says more than the status.
        const QString help = openHelp(m_driver.lastOpenProblem());
        m_lastAdvice = help.isEmpty() ? playerAdvice(label, status) : help;
        m_prompts.showMessage(reportText(label, status, m_advise || !help.isEmpty() ? m_lastAdvice : QString()));
    }
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
