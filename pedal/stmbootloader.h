#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace tovel::pedal {

// The controller's USART system bootloader (the AN3155 protocol) on a 128 KB flash part with
// 1 KB pages. After the sync byte it runs a command loop: each command byte comes with its
// complement, addresses with their XOR checksum, data blocks with their count and checksum;
// every step is answered ACK 0x79 or NACK 0x1F, and a NACK drops the command. A write must
// carry a multiple of 4 bytes.
//
// Flash is modelled as real NOR flash: it starts erased (0xFF) and a write can only clear
// bits, so writing over data that was not erased leaves the AND of both.
class StmBootloader {
public:
    static constexpr quint32 kFlashBase = 0x08000000;
    static constexpr quint32 kFlashSize = 128 * 1024;
    static constexpr quint32 kPageSize = 1024;
    static constexpr quint32 kRamBase = 0x20000000;
    static constexpr quint32 kRamSize = 20 * 1024;
    static constexpr quint8 kAck = 0x79;
    static constexpr quint8 kNack = 0x1F;
    static constexpr quint8 kBusy = 0x76;
    static constexpr quint8 kSync = 0x7F;
    static constexpr quint8 kBootloaderVersion = 0x22;
    static constexpr quint16 kProductId = 0x0410;
    // GET lists the plain erase (0x43), not the extended one: clients then use the plain one.
    static constexpr quint8 kCommands[] = {0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43};

    using AnswerSink = std::function<void(const QByteArray &bytes, qint64 atUs)>;
    using LogSink = std::function<void(const QString &line)>;
    // A GO that was acknowledged: the controller leaves the bootloader for that address.
    using GoHandler = std::function<void(quint32 address, qint64 atUs)>;

    StmBootloader();

    void setAnswerSink(AnswerSink sink) { m_answer = std::move(sink); }
    void setLogSink(LogSink sink) { m_log = std::move(sink); }
    void setGoHandler(GoHandler handler) { m_go = std::move(handler); }

    void receive(quint8 byte, qint64 atUs);
    // Reset into the bootloader: it waits for the sync byte again. Flash is kept.
    void restart();
    bool synced() const { return m_state != State::WaitSync; }

    // The n-th acknowledge from now on (1 = the next) becomes a NACK; 0 switches it off.
    void setNackAtAck(int n);
    int acksSent() const { return m_acks; }
    // After n more answered frames (1 = the next) the bootloader hangs: it drops every byte
    // and answers nothing. 0 ends the hang; it goes on in the state it hung in. restart()
    // ends it too.
    void setSilentAfterFrames(int n);
    bool hung() const { return m_silentAt > 0 && m_framesAnswered >= m_silentAt; }
    // The flash cell at this address stores every byte written to it with bit 4 inverted.
    // 0: none.
    void setFlashDefect(quint32 address) { m_defectAddress = address; }
    // A global erase takes busyMs: 0x76 at once and every gapMs, then the acknowledge.
    void setEraseBusy(int busyMs, int gapMs);

    QByteArray &flash() { return m_flash; }
    const QByteArray &flash() const { return m_flash; }

private:
    enum class State {
        WaitSync, Command, ReadAddress, ReadCount, GoAddress, WriteAddress, WriteData,
        EraseCount, EraseGlobal, ErasePages
    };

    // Appends ACK to out, or NACK when the fault says so; false when it was a NACK.
    bool acknowledge(QByteArray &out);
    void enterCommandLoop();
    void expect(State state, int bytes);
    void command(quint8 code, quint8 complement, qint64 atUs);
    bool takeAddress(quint32 &address) const;
    static bool inFlash(quint32 address, quint32 length);
    void send(const QByteArray &bytes, qint64 atUs);
    // The answer to a global erase, after the busy period if one is set.
    void sendAfterErase(const QByteArray &bytes, qint64 atUs);
    void nack(const QString &why, qint64 atUs);
    void log(const QString &line) const;

    AnswerSink m_answer;
    LogSink m_log;
    GoHandler m_go;
    QByteArray m_flash;
    State m_state = State::WaitSync;
    QByteArray m_frame;
    int m_expected = 0;
    quint32 m_address = 0;
    int m_acks = 0;
    int m_nackAt = 0;
    int m_framesAnswered = 0;
    int m_silentAt = 0;
    bool m_hangLogged = false;
    quint32 m_defectAddress = 0;
    qint64 m_eraseBusyUs = 0;
    qint64 m_busyGapUs = 1'000'000;
};

} // namespace tovel::pedal
