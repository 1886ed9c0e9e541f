#pragma once

#include "pedal/effectfirmware.h"
#include "pedal/ftdibridge.h"
#include "pedal/pedalfaults.h"
#include "pedal/restartaftergo.h"
#include "pedal/stmbootloader.h"

#include <QStringList>
#include <functional>

namespace tovel {
class Clock;
}

namespace tovel::pedal {

struct VirtualPedalOptions {
    QByteArray serialNumber = "ZT000001";
    QByteArray description = "ZANTH Tovel";
    // Start in the controller's bootloader, as after the user's reset into it.
    bool bootloader = false;
    // Reported when flash holds no variant record (a pedal that left the factory that way).
    int firmwareVersion = EffectFirmware::kDefaultFirmwareVersion;
    // Modelled line rate in baud, 10 bits a byte each way; 0 passes bytes at once.
    quint32 lineRateBaud = 0;
    // The bridge's latency timer in ms; 0 leaves it out of the model.
    int latencyTimerMs = 0;
    PedalFaults faults;
    RestartAfterGo restartAfterGo;
};

// The whole pedal behind its bridge: the controller runs either its effect firmware or its
// bootloader, and the bridge carries the bytes. All work happens lazily when the host side is
// called, at the time the clock tells, so a virtual clock makes every wait instant.
class VirtualPedal {
public:
    enum class Mode { EffectFirmware, Bootloader, Halted };

    // Where the bootloader's GO finds the firmware variant the editor wrote (byte 0: 4 or 5).
    static constexpr quint32 kVariantRecordAddress = 0x0801FC00;

    VirtualPedal(const VirtualPedalOptions &options, const Clock &clock);

    // The host side of the bridge.
    void hostWrite(const QByteArray &bytes);
    quint32 hostQueued();
    QByteArray hostRead(quint32 maxBytes);
    void purgeReceive();
    void purgeTransmit();
    // Something is still on the wire or a frame waits for its quiet gap: time will change
    // what the host sees.
    bool busy() const;
    // Every byte the host wrote has been parsed (and logged), and every answer to it has left
    // the bridge. The chatter fault's noise does not count: it never ends.
    bool settled() const;

    Mode mode() const { return m_mode; }
    // What the user does by hand before an upgrade: reset the controller into its bootloader.
    void enterBootloader();
    // Off and on again: the effect firmware restarts (or the bootloader, if it was running).
    void powerCycle();

    EffectFirmware &firmware() { return m_firmware; }
    StmBootloader &bootloader() { return m_bootloader; }
    FtdiBridge &bridge() { return m_bridge; }
    QByteArray &flash() { return m_bootloader.flash(); }

    const PedalFaults &faults() const { return m_faults; }
    void setFaults(const PedalFaults &faults);
    // Pulls the cable (true) or plugs it back in (false). Plugged in again, the bridge is a
    // new device: nothing opened before reaches it.
    void unplug(bool gone = true);
    bool unplugged() const { return m_faults.unplugged; }
    // Lets the pedal's time pass up to now: a bridge due to leave or come back after a GO
    // does so. Every host call does this first.
    void catchUp() { sync(); }
    // The bridge left the bus (false) or came back (true).
    std::function<void(bool plugged)> onPlugChanged;
    // Counts the unplugs: a handle opened before the last one belongs to a bridge that went.
    int unplugCount() const { return m_unplugs; }
    void setLineRate(quint32 baud) { m_bridge.setLineRate(baud); }

    // One line for every frame either controller parsed, in order.
    const QStringList &frameLog() const { return m_frameLog; }
    void clearFrameLog() { m_frameLog.clear(); }
    std::function<void(const QString &)> onFrameLogged;

    // The firmware version a GO to the start of flash boots with.
    int firmwareVersionInFlash() const;
    bool flashHoldsFirmware() const;

private:
    void sync();
    // The bytes that have reached the controller by untilUs, and the time up to then.
    void deliver(qint64 untilUs);
    void go(quint32 address, qint64 atUs);
    void logLine(const QString &line);

    const Clock &m_clock;
    VirtualPedalOptions m_options;
    PedalFaults m_faults;
    FtdiBridge m_bridge;
    EffectFirmware m_firmware;
    StmBootloader m_bootloader;
    Mode m_mode = Mode::EffectFirmware;
    int m_unplugs = 0;
    qint64 m_leaveAtUs = -1;  // the bridge leaves the bus then (after a GO)
    qint64 m_returnAtUs = -1; // and comes back then
    QStringList m_frameLog;
};

} // namespace tovel::pedal
