#pragma once

#include "pedal/pedalfaults.h"

#include <QByteArray>
#include <QList>
#include <array>

namespace tovel::pedal {

// The USB-serial bridge in front of the pedal's controller: its identity (serial number,
// description, EEPROM) and the serial line in both directions. With a line rate set, each
// byte takes 10 bit times on the wire (start, 8 data, stop), one after the other per
// direction; without one, bytes arrive at once. Answers from the controller are shaped here
// by the faults (lost, turned to noise, cut into pieces). Nothing runs by itself: the caller
// passes the time with every call.
class FtdiBridge {
public:
    static constexpr int kEepromWords = 128;
    static constexpr int kBitsPerByte = 10;

    FtdiBridge(const QByteArray &serialNumber, const QByteArray &description);

    const QByteArray &serialNumber() const { return m_serial; }
    const QByteArray &description() const { return m_description; }
    quint16 eepromWord(int offset) const { return m_eeprom[offset]; }
    const std::array<quint16, kEepromWords> &eeprom() const { return m_eeprom; }

    // 0: no line rate, bytes pass at once.
    void setLineRate(quint32 baud) { m_baud = baud; }
    quint32 lineRate() const { return m_baud; }
    // The chip's latency timer in ms: bytes from the controller wait in the chip for the
    // timer's next tick before they reach the host (16 ms at power-up, 1 ms once a driver asks
    // for low latency). 0: not modelled, bytes reach the host as they arrive. A chip that
    // gathers a full 62-byte packet sends it at once; that is not modelled, so only the end
    // of a long answer waits, as on a real chip, while a short one waits whole.
    void setLatencyTimerMs(int ms) { m_latencyMs = ms; }
    int latencyTimerMs() const { return m_latencyMs; }
    void setFaults(const PedalFaults &faults) { m_faults = faults; }
    const PedalFaults &faults() const { return m_faults; }

    // Host to controller.
    void hostWrite(const QByteArray &bytes, qint64 nowUs);
    // The next byte that has reached the controller by nowUs, with its arrival time.
    bool takeArrived(qint64 nowUs, quint8 &byte, qint64 &atUs);
    bool hostBytesInFlight() const { return !m_toController.isEmpty(); }
    // Drops what the host wrote that has not yet left the bridge.
    void purgeTransmit(qint64 nowUs);

    // Controller to host: an answer that leaves the controller at atUs.
    void controllerSend(const QByteArray &bytes, qint64 atUs);
    quint32 queued(qint64 nowUs) const;
    QByteArray read(quint32 maxBytes, qint64 nowUs);
    bool answerBytesInFlight() const { return !m_toHost.isEmpty(); }
    // When the last answer byte sent so far reaches the host (its latency timer included).
    qint64 answersDoneUs() const;
    // Drops what has reached the host's receive queue; bytes still on the wire come later.
    void purgeReceive(qint64 nowUs);
    // The bridge left the bus: whatever it held or had on the wire, either way, is gone.
    void dropEverything();
    // Lets time pass on the line from the pedal: with the chatter fault, noise fills it up to
    // nowUs.
    void advance(qint64 nowUs);

    // The EEPROM image: an FT232R-like header with USB string descriptors, the checksum in
    // the last word, and the maker's texts as the editor reads them: words 81.. the
    // manufacturer closed by "$", then the device name up to word 103, the serial number in
    // words 105..112; two characters a word, the high byte first.
    static std::array<quint16, kEepromWords> buildEeprom(const QByteArray &serialNumber,
                                                         const QByteArray &description);
    static constexpr char kManufacturer[] = "ZANTH";
    static constexpr char kDeviceName[] = "Tovel";

private:
    struct WireByte {
        qint64 atNs;
        quint8 byte;
    };
    qint64 byteNs() const;
    // When a byte that reached the chip at atNs reaches the host.
    qint64 hostNs(qint64 atNs) const;
    // A byte's time on the line, also when no line rate is modelled.
    qint64 chatterByteNs() const;
    QByteArray noise(int length);

    QByteArray m_serial;
    QByteArray m_description;
    std::array<quint16, kEepromWords> m_eeprom{};
    quint32 m_baud = 0;
    int m_latencyMs = 0;
    PedalFaults m_faults;
    QList<WireByte> m_toController;
    QList<WireByte> m_toHost;
    qint64 m_txFreeNs = 0; // when the host-to-pedal wire is free again
    qint64 m_rxFreeNs = 0;
    quint32 m_noiseState = 0x2545F491;
};

} // namespace tovel::pedal
