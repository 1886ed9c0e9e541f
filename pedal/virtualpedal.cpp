#include "pedal/virtualpedal.h"

#include "core/clock.h"

#include <algorithm>

namespace tovel::pedal {

VirtualPedal::VirtualPedal(const VirtualPedalOptions &options, const Clock &clock)
    : m_clock(clock), m_options(options), m_bridge(options.serialNumber, options.description)
{
    m_bridge.setLineRate(options.lineRateBaud);
    m_bridge.setLatencyTimerMs(options.latencyTimerMs);
    const auto send = [this](const QByteArray &bytes, qint64 atUs) { m_bridge.controllerSend(bytes, atUs); };
    const auto log = [this](const QString &line) { logLine(line); };
    m_firmware.setAnswerSink(send);
    m_firmware.setLogSink(log);
    m_bootloader.setAnswerSink(send);
    m_bootloader.setLogSink(log);
    m_bootloader.setGoHandler([this](quint32 address, qint64 atUs) { go(address, atUs); });
    setFaults(options.faults);
    m_firmware.boot(options.firmwareVersion);
    m_frameLog.clear();
    if (options.bootloader)
        m_mode = Mode::Bootloader;
}

void VirtualPedal::setFaults(const PedalFaults &faults)
{
    const bool plugChanged = faults.unplugged != m_faults.unplugged;
    if (faults.unplugged && !m_faults.unplugged) {
        ++m_unplugs;
        m_bridge.dropEverything();
    }
    if (faults.nackAtAck != m_faults.nackAtAck)
        m_bootloader.setNackAtAck(faults.nackAtAck);
    if (faults.silentAfterFrames != m_faults.silentAfterFrames)
        m_bootloader.setSilentAfterFrames(faults.silentAfterFrames);
    m_bootloader.setFlashDefect(faults.flashDefectAddress);
    m_firmware.setStalls(faults.stateStall, faults.queryStall);
    m_bootloader.setEraseBusy(faults.eraseBusyMs, faults.busyAnswerGapMs);
    m_firmware.setStateLineEnd(faults.stateLineEnds == PedalFaults::LineEnds::Cr   ? QByteArray("\r")
                               : faults.stateLineEnds == PedalFaults::LineEnds::Lf ? QByteArray("\n")
                                                                                   : QByteArray("\r\n"));
    m_faults = faults;
    m_bridge.setFaults(faults);
    if (plugChanged && onPlugChanged)
        onPlugChanged(!faults.unplugged);
}

void VirtualPedal::unplug(bool gone)
{
    PedalFaults f = m_faults;
    f.unplugged = gone;
    setFaults(f);
}

void VirtualPedal::sync()
{
    const qint64 now = m_clock.nowUs();
    if (m_leaveAtUs >= 0 && now >= m_leaveAtUs) {
        // What reached the controller before the bridge left still counts.
        deliver(m_leaveAtUs);
        m_leaveAtUs = -1;
        logLine(QStringLiteral("bridge left the bus"));
        unplug(true);
    }
    if (m_returnAtUs >= 0 && now >= m_returnAtUs) {
        m_returnAtUs = -1;
        logLine(QStringLiteral("bridge back on the bus"));
        unplug(false);
    }
    deliver(now);
}

void VirtualPedal::deliver(qint64 untilUs)
{
    quint8 byte = 0;
    qint64 atUs = 0;
    while (m_bridge.takeArrived(untilUs, byte, atUs)) {
        switch (m_mode) {
        case Mode::EffectFirmware:
            m_firmware.receive(byte, atUs);
            break;
        case Mode::Bootloader:
            m_bootloader.receive(byte, atUs);
            break;
        case Mode::Halted:
            break;
        }
    }
    if (m_mode == Mode::EffectFirmware)
        m_firmware.tick(untilUs);
    m_bridge.advance(untilUs);
}

void VirtualPedal::hostWrite(const QByteArray &bytes)
{
    sync();
    m_bridge.hostWrite(bytes, m_clock.nowUs());
    sync();
}

quint32 VirtualPedal::hostQueued()
{
    sync();
    return m_bridge.queued(m_clock.nowUs());
}

QByteArray VirtualPedal::hostRead(quint32 maxBytes)
{
    sync();
    return m_bridge.read(maxBytes, m_clock.nowUs());
}

void VirtualPedal::purgeReceive()
{
    sync();
    m_bridge.purgeReceive(m_clock.nowUs());
}

void VirtualPedal::purgeTransmit()
{
    sync();
    m_bridge.purgeTransmit(m_clock.nowUs());
}

bool VirtualPedal::busy() const
{
    return m_bridge.hostBytesInFlight() || m_bridge.answerBytesInFlight() || m_faults.chatter
        || (m_mode == Mode::EffectFirmware && m_firmware.frameInProgress()) || m_leaveAtUs >= 0
        || m_returnAtUs >= 0;
}

bool VirtualPedal::settled() const
{
    return !m_bridge.hostBytesInFlight() && (m_faults.chatter || !m_bridge.answerBytesInFlight())
        && !(m_mode == Mode::EffectFirmware && m_firmware.frameInProgress());
}

void VirtualPedal::enterBootloader()
{
    sync();
    m_mode = Mode::Bootloader;
    m_bootloader.restart();
    logLine(QStringLiteral("reset into the bootloader"));
}

void VirtualPedal::powerCycle()
{
    sync();
    // A normal start runs what is in flash; the factory firmware is taken to be there until
    // the bootloader has been used.
    if (m_mode != Mode::EffectFirmware && !flashHoldsFirmware()) {
        m_mode = Mode::Halted;
        logLine(QStringLiteral("halted: flash holds no firmware"));
        return;
    }
    m_mode = Mode::EffectFirmware;
    m_firmware.boot(firmwareVersionInFlash());
}

bool VirtualPedal::flashHoldsFirmware() const
{
    // An erased first word is no stack pointer: the controller would fault at once.
    return m_bootloader.flash().left(4) != QByteArray(4, char(0xFF));
}

int VirtualPedal::firmwareVersionInFlash() const
{
    const quint8 variant = quint8(m_bootloader.flash()[int(kVariantRecordAddress - StmBootloader::kFlashBase)]);
    return variant == 0xFF ? m_options.firmwareVersion : variant;
}

void VirtualPedal::go(quint32 address, qint64 atUs)
{
    if (address != StmBootloader::kFlashBase || !flashHoldsFirmware()) {
        m_mode = Mode::Halted;
        logLine(QStringLiteral("halted: no effect firmware at the GO address"));
        return;
    }
    m_mode = Mode::EffectFirmware;
    m_firmware.boot(firmwareVersionInFlash());
    const RestartAfterGo &restart = m_options.restartAfterGo;
    if (restart.bridge == RestartAfterGo::Bridge::Stays)
        return;
    constexpr qint64 kUsPerMs = 1000;
    m_leaveAtUs = std::max(atUs, m_bridge.answersDoneUs()) + RestartAfterGo::kLeaveAfterAckMs * kUsPerMs;
    m_returnAtUs = restart.bridge == RestartAfterGo::Bridge::Reenumerates
                       ? m_leaveAtUs + qint64(restart.goneMs) * kUsPerMs
                       : -1;
}

void VirtualPedal::logLine(const QString &line)
{
    m_frameLog.append(line);
    if (onFrameLogged)
        onFrameLogged(line);
}

} // namespace tovel::pedal
