#pragma once

#include "core/seams.h"
#include "usb/d2xxunit.h"
#include "usb/ftdriver.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace tovel {
class Clock;
}

namespace tovel::test {

// A test double for the FT driver: a list of bridges, one open handle at a time, answers
// released at given clock times, every write and purge logged, any call made to fail.
class ScriptedFtDriver : public FtDriver {
public:
    struct Device {
        QByteArray serial;
        QByteArray description;
        QList<quint16> eeprom; // 128 words; missing words read as 0
    };
    enum class Call { Count, Serial, Description, Open, Close, Read, Write, Queue, Purge, Baud, Data, Eeprom };

    explicit ScriptedFtDriver(const Clock *clock = nullptr) : m_clock(clock) {}

    QList<Device> devices;
    // Make a call fail with this status (until removed).
    QHash<Call, FtStatus> failing;
    // Called with the bytes of every successful write; may queue an answer.
    std::function<void(const QByteArray &)> onWrite;
    // When set, every effect query (05 00) written is answered with it at once, before onWrite
    // runs: the pedal that the line check before a command finds.
    QByteArray effectQueryAnswer;
    static constexpr char kEffectFirmwareAnswer[] = "TOVEL\r\n0\r\n0\r\n5\r\n";

    // Called once a queue status has been taken and before it is returned: what happens here
    // (time passing, an answer landing) is what the caller has not seen yet.
    std::function<void()> afterQueueStatus;

    // Answer bytes, available from the given clock time (in microseconds) on.
    void queueAnswer(const QByteArray &bytes, qint64 atUs = 0) { m_pending.append({atUs, bytes}); }

    QList<QByteArray> writes;   // every write, in order
    QList<quint32> purges;      // every purge mask, in order
    QByteArray openedSerial;    // what the last open asked for
    quint32 baudRate = 0;
    quint8 wordLength = 0, stopBits = 0xFF, parity = 0xFF;
    int calls(Call c) const { return m_calls.value(c); }
    bool isOpen() const { return m_open; }

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
    bool isRealBridge(FtHandle) const override { return realBridge; }
    // What isRealBridge answers: a bridge on the bus unless a test says otherwise.
    bool realBridge = true;
    OpenProblem lastOpenProblem() const override { return openProblem; }
    // What lastOpenProblem answers.
    OpenProblem openProblem = OpenProblem::None;

    static constexpr FtHandle kHandle = 0x00A1B2C3;

    // The driver noticing by itself that the device behind a handle has gone.
    void tellGone(FtHandle handle) { reportGone(handle); }
    // Every bridgeRemoved, in order; with goneWithNode, a removal that names that node tells
    // the open handle gone, as a real driver does for its open device.
    QList<QStringList> removals;
    QString goneWithNode;
    void bridgeRemoved(const QStringList &devnodes) override
    {
        removals.append(devnodes);
        if (m_open && !goneWithNode.isEmpty() && devnodes.contains(goneWithNode))
            reportGone(kHandle);
    }

private:
    FtStatus enter(Call c, FtHandle handle, bool needsOpen = true);
    void release();

    struct Pending { qint64 atUs; QByteArray bytes; };
    const Clock *m_clock;
    QList<Pending> m_pending;
    QByteArray m_rx;
    bool m_open = false;
    int m_openDevice = -1;
    QHash<Call, int> m_calls;
};

// A USB unit whose failures are said in `prompts` as every front end says them, one message
// each.
struct WordedUnit : D2XXUnit {
    WordedUnit(FtDriver &driver, Prompts &prompts) : D2XXUnit(driver)
    {
        onFailure = [&prompts](const UsbFailure &failure) { prompts.showMessage(D2XXUnit::failureText(failure)); };
    }
};

} // namespace tovel::test
