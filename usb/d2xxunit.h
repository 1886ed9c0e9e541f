#pragma once

#include "usb/ftdriver.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace tovel {

struct PluggedBridge;

// The pedal's serial line, for its effect firmware and its bootloader alike: 115,200 baud,
// 8 data bits, one stop bit (D2XX code 0), no parity (code 0).
constexpr quint32 kPedalBaudRate = 115200;

// The USB layer's state: one device handle and the two buffers every byte to and from the
// pedal passes through.
struct UsbState {
    static constexpr quint32 kBufferSize = 65536;

    FtHandle DeviceHandle = 0; // opened last; closing leaves the old value in place
    quint32 DeviceCount = 0;
    QString DeviceListText; // result of the last successful list-by-index query
    quint32 BaudRate = 0;
    quint8 WordLength = 0;
    quint8 StopBits = 0;
    quint8 Parity = 0;
    quint32 QueuedBytes = 0;
    quint16 EepromWord = 0;
    // The device opened last has gone (pulled out, powered off): every call on it fails.
    bool DeviceLost = false;
    // Commands are built at the start; WriteFTBuffer sends the first n bytes.
    std::array<quint8, kBufferSize> TransmitBuffer{};
    // Every read puts its bytes at the start; bytes beyond the last read keep older contents.
    std::array<quint8, kBufferSize> ReceiveBuffer{};
};

// A failed call of the USB layer, for each front end to word: the operation's label, its D2XX
// status and, for an open, the driver's word on why.
struct UsbFailure {
    QString label;
    quint32 status = 0;
    OpenProblem problem = OpenProblem::None;
};

// The program's only way to the FT driver: small operations, each making one driver call on
// the one device connection, keeping what it returns in UsbState, and handing any failure to
// onFailure as a UsbFailure. Operations return the D2XX status (0 = success) or, for reads and
// writes, a byte count.
class D2XXUnit {
public:
    // Listens to the driver for devices that go between calls (one unit per driver).
    explicit D2XXUnit(FtDriver &driver);
    ~D2XXUnit();
    D2XXUnit(const D2XXUnit &) = delete;
    D2XXUnit &operator=(const D2XXUnit &) = delete;

    UsbState state;

    // The pedal's line settings into state, for the next SetFTBaudRate and
    // SetFTDataCharacteristics.
    void choosePedalLine();

    quint32 GetFTDeviceCount();
    quint32 GetFTDeviceSerialNo(quint32 index);
    quint32 GetFTDeviceDescription(quint32 index);
    // showFailure false: a failed open is the caller's to tell (a bridge still coming back
    // onto the bus is tried again, not reported at every try).
    quint32 Open_USB_Device_By_Serial_Number(const QString &serialNumber, bool showFailure = true);
    quint32 CloseFTDevice();
    // Takes exactly what the driver holds now, at most the receive buffer's size; never waits.
    // The requested count is not a limit (callers pass 65,536 or 17).
    quint32 ReadFTQueue(quint32 requested = UsbState::kBufferSize);
    quint32 WriteFTBuffer(quint32 count);
    quint32 SetFTBaudRate();
    quint32 SetFTDataCharacteristics();
    quint32 PurgeFTReceive();
    quint32 PurgeFTTransmit();
    quint32 GetFTQueueStatus();
    // Waits at most timeoutMs for received bytes (returns at once when some are queued).
    quint32 WaitFTData(int timeoutMs);
    // Failures are not reported; EepromWord keeps the word read last.
    quint32 ReadFTEepromWord(quint32 wordOffset);

    // Hands a non-zero status of operation `label` to onFailure.
    void ReportFTStatus(const QString &label, quint32 status);
    // The fixed text of a failure: label + the status's suffix (empty above 17).
    static QString statusMessage(const QString &label, quint32 status);
    // What every front end says of a failure: the fixed text, and below it the driver's reason
    // for a failed open where it knows one.
    static QString failureText(const UsbFailure &failure);
    // Each failed call, as it happens; without it a failure is only returned.
    std::function<void(const UsbFailure &failure)> onFailure;
    // The last failure handed on; none after a successful open.
    const std::optional<UsbFailure> &lastFailure() const { return m_lastFailure; }

    // What the user can do about a failed open, shown below the open's status text by every
    // front end; empty when the driver could not tell why.
    static QString openHelp(OpenProblem problem);

    // The serial number handed to the open call: at most 49 bytes.
    static QByteArray openBySerialArea(const QString &serialNumber);

    // Copies bytes to the start of TransmitBuffer (at most its size); returns the count copied.
    quint32 putTransmitBytes(const QByteArray &bytes);
    QByteArray receivedBytes(quint32 count) const;

    // Called once when the open device has gone: a call on it failed because it left, or the
    // driver noticed by itself while no call ran (a hang-up on its tty, its bridge removed).
    // That failure and every later one on the same device go to no onFailure of their own
    // (the callback tells the user once). A successful open starts afresh. Without a
    // callback, every failure goes to onFailure.
    std::function<void()> onDeviceLost;
    // The hot-plug monitor saw this bridge leave the bus: if the open device was on it, it is
    // lost now (onDeviceLost), also for a driver that would notice only at its next call.
    void bridgeLeft(const PluggedBridge &bridge);
    // True for the statuses that mean the device is no longer there.
    static bool meansDeviceGone(quint32 status);

    FtDriver &driver() { return m_driver; }

private:
    // ReportFTStatus for a call on the open device, or the device's loss.
    void reportDeviceCall(const QString &label, quint32 status);
    // The driver's news that the device behind a handle has gone.
    void deviceGone(FtHandle handle);

    void report(const UsbFailure &failure);

    FtDriver &m_driver;
    std::optional<UsbFailure> m_lastFailure;
};

} // namespace tovel
