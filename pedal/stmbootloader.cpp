#include "pedal/stmbootloader.h"

#include <QList>

#include <algorithm>

namespace tovel::pedal {

namespace {

constexpr quint8 kGet = 0x00;
constexpr quint8 kGetVersion = 0x01;
constexpr quint8 kGetId = 0x02;
constexpr quint8 kReadMemory = 0x11;
constexpr quint8 kGo = 0x21;
constexpr quint8 kWriteMemory = 0x31;
constexpr quint8 kErase = 0x43;
constexpr quint8 kGlobalErase = 0xFF;

QString hex32(quint32 v) { return QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper(); }

} // namespace

StmBootloader::StmBootloader() : m_flash(int(kFlashSize), char(0xFF)) {}

void StmBootloader::restart()
{
    // A reset is what brings a hung bootloader back.
    m_silentAt = 0;
    m_hangLogged = false;
    m_state = State::WaitSync;
    m_frame.clear();
    m_expected = 0;
}

void StmBootloader::setNackAtAck(int n)
{
    m_nackAt = n > 0 ? m_acks + n : 0;
}

void StmBootloader::setSilentAfterFrames(int n)
{
    m_silentAt = n > 0 ? m_framesAnswered + n : 0;
    m_hangLogged = false;
}

void StmBootloader::setEraseBusy(int busyMs, int gapMs)
{
    m_eraseBusyUs = qint64(std::max(busyMs, 0)) * 1000;
    m_busyGapUs = qint64(std::max(gapMs, 1)) * 1000;
}

bool StmBootloader::acknowledge(QByteArray &out)
{
    ++m_acks;
    if (m_nackAt > 0 && m_acks == m_nackAt) {
        out.append(char(kNack));
        log(QStringLiteral("boot NACK in place of acknowledge %1 (injected)").arg(m_acks));
        return false;
    }
    out.append(char(kAck));
    return true;
}

void StmBootloader::receive(quint8 byte, qint64 atUs)
{
    if (hung()) {
        if (!m_hangLogged)
            log(QStringLiteral("boot hung: bytes dropped, no answers (injected)"));
        m_hangLogged = true;
        return;
    }
    if (m_state == State::WaitSync) {
        if (byte != kSync) {
            log(QStringLiteral("boot ignored %1 before sync").arg(byte, 2, 16, QLatin1Char('0')));
            return;
        }
        QByteArray out;
        const bool ok = acknowledge(out);
        log(QStringLiteral("boot sync"));
        if (ok)
            enterCommandLoop();
        send(out, atUs);
        return;
    }

    m_frame.append(char(byte));
    if (m_frame.size() < m_expected)
        return;

    const QByteArray f = m_frame;
    QByteArray out;
    switch (m_state) {
    case State::WaitSync:
        break;
    case State::Command:
        command(quint8(f[0]), quint8(f[1]), atUs);
        return;
    case State::ReadAddress:
        if (!takeAddress(m_address))
            return nack(QStringLiteral("READ address checksum"), atUs);
        if (!inFlash(m_address, 1))
            return nack(QStringLiteral("READ address %1 outside flash").arg(hex32(m_address)), atUs);
        if (acknowledge(out))
            expect(State::ReadCount, 2);
        else
            enterCommandLoop();
        return send(out, atUs);
    case State::ReadCount: {
        const int count = quint8(f[0]) + 1;
        if (quint8(f[1]) != quint8(~f[0]))
            return nack(QStringLiteral("READ count complement"), atUs);
        if (!inFlash(m_address, quint32(count)))
            return nack(QStringLiteral("READ %1 bytes at %2 past flash").arg(count).arg(hex32(m_address)), atUs);
        enterCommandLoop();
        if (acknowledge(out))
            out += m_flash.mid(int(m_address - kFlashBase), count);
        log(QStringLiteral("boot READ %1 %2 bytes").arg(hex32(m_address)).arg(count));
        return send(out, atUs);
    }
    case State::GoAddress: {
        quint32 address = 0;
        if (!takeAddress(address))
            return nack(QStringLiteral("GO address checksum"), atUs);
        const bool inRam = address >= kRamBase && address - kRamBase < kRamSize;
        if (!inFlash(address, 1) && !inRam)
            return nack(QStringLiteral("GO address %1 outside flash and RAM").arg(hex32(address)), atUs);
        const bool ok = acknowledge(out);
        log(QStringLiteral("boot GO %1").arg(hex32(address)));
        send(out, atUs);
        if (!ok) {
            enterCommandLoop();
            return;
        }
        restart();
        if (m_go)
            m_go(address, atUs);
        return;
    }
    case State::WriteAddress:
        if (!takeAddress(m_address))
            return nack(QStringLiteral("WRITE address checksum"), atUs);
        if (!inFlash(m_address, 1))
            return nack(QStringLiteral("WRITE address %1 outside flash").arg(hex32(m_address)), atUs);
        if (acknowledge(out))
            expect(State::WriteData, 1);
        else
            enterCommandLoop();
        return send(out, atUs);
    case State::WriteData: {
        const int count = quint8(f[0]) + 1;
        if (f.size() == 1) {
            m_expected = count + 2; // the count, the data, the checksum
            return;
        }
        const QByteArray data = f.mid(1, count);
        quint8 sum = quint8(f[0]);
        for (char c : data)
            sum ^= quint8(c);
        if (sum != quint8(f[count + 1]))
            return nack(QStringLiteral("WRITE data checksum"), atUs);
        // Flash takes whole words: the bootloader refuses any other count.
        if (count % 4 != 0)
            return nack(QStringLiteral("WRITE %1 bytes, not a multiple of 4").arg(count), atUs);
        if (!inFlash(m_address, quint32(count)))
            return nack(QStringLiteral("WRITE %1 bytes at %2 past flash").arg(count).arg(hex32(m_address)), atUs);
        enterCommandLoop();
        if (acknowledge(out)) {
            const int at = int(m_address - kFlashBase);
            for (int i = 0; i < count; ++i) {
                quint8 cell = quint8(m_flash[at + i]) & quint8(data[i]);
                if (m_defectAddress != 0 && m_address + quint32(i) == m_defectAddress)
                    cell ^= 0x10;
                m_flash[at + i] = char(cell);
            }
        }
        log(QStringLiteral("boot WRITE %1 %2 bytes").arg(hex32(m_address)).arg(count));
        return send(out, atUs);
    }
    case State::EraseCount:
        if (quint8(f[0]) == kGlobalErase)
            m_state = State::EraseGlobal, m_expected = 2;
        else
            m_state = State::ErasePages, m_expected = quint8(f[0]) + 3; // count, pages, checksum
        return;
    case State::EraseGlobal:
        if (quint8(f[1]) != 0x00)
            return nack(QStringLiteral("ERASE global checksum"), atUs);
        enterCommandLoop();
        if (acknowledge(out))
            m_flash.fill(char(0xFF));
        log(QStringLiteral("boot ERASE global"));
        return sendAfterErase(out, atUs);
    case State::ErasePages: {
        const int count = quint8(f[0]) + 1;
        quint8 sum = quint8(f[0]);
        QList<int> pages;
        for (int i = 1; i <= count; ++i) {
            sum ^= quint8(f[i]);
            pages.append(quint8(f[i]));
        }
        if (sum != quint8(f[count + 1]))
            return nack(QStringLiteral("ERASE page list checksum"), atUs);
        for (int page : pages) {
            if (quint32(page) >= kFlashSize / kPageSize)
                return nack(QStringLiteral("ERASE page %1 outside flash").arg(page), atUs);
        }
        enterCommandLoop();
        if (acknowledge(out)) {
            for (int page : pages)
                m_flash.replace(int(page * kPageSize), int(kPageSize), QByteArray(int(kPageSize), char(0xFF)));
        }
        log(QStringLiteral("boot ERASE %1 pages from %2").arg(count).arg(pages.first()));
        return send(out, atUs);
    }
    }
}

void StmBootloader::command(quint8 code, quint8 complement, qint64 atUs)
{
    if (quint8(code ^ 0xFF) != complement)
        return nack(QStringLiteral("command %1 with complement %2")
                        .arg(code, 2, 16, QLatin1Char('0'))
                        .arg(complement, 2, 16, QLatin1Char('0')),
                    atUs);
    QByteArray out;
    switch (code) {
    case kGet:
        enterCommandLoop();
        if (acknowledge(out)) {
            out.append(char(sizeof(kCommands))); // bytes that follow, minus one
            out.append(char(kBootloaderVersion));
            for (quint8 c : kCommands)
                out.append(char(c));
            acknowledge(out);
        }
        log(QStringLiteral("boot GET"));
        return send(out, atUs);
    case kGetVersion:
        enterCommandLoop();
        if (acknowledge(out)) {
            out.append(char(kBootloaderVersion));
            out.append(2, '\0'); // option bytes
            acknowledge(out);
        }
        log(QStringLiteral("boot GET VERSION"));
        return send(out, atUs);
    case kGetId:
        enterCommandLoop();
        if (acknowledge(out)) {
            out.append(char(1)); // bytes that follow, minus one
            out.append(char(kProductId >> 8));
            out.append(char(kProductId & 0xFF));
            acknowledge(out);
        }
        log(QStringLiteral("boot GET ID"));
        return send(out, atUs);
    case kReadMemory:
    case kGo:
    case kWriteMemory:
    case kErase: {
        const State next = code == kReadMemory ? State::ReadAddress
            : code == kGo                      ? State::GoAddress
            : code == kWriteMemory             ? State::WriteAddress
                                               : State::EraseCount;
        if (acknowledge(out))
            expect(next, next == State::EraseCount ? 1 : 5);
        else
            enterCommandLoop();
        return send(out, atUs);
    }
    default:
        return nack(QStringLiteral("unknown command %1").arg(code, 2, 16, QLatin1Char('0')), atUs);
    }
}

void StmBootloader::enterCommandLoop()
{
    expect(State::Command, 2);
}

void StmBootloader::expect(State state, int bytes)
{
    m_state = state;
    m_expected = bytes;
    m_frame.clear();
}

bool StmBootloader::takeAddress(quint32 &address) const
{
    quint8 sum = 0;
    address = 0;
    for (int i = 0; i < 4; ++i) {
        address = (address << 8) | quint8(m_frame[i]);
        sum ^= quint8(m_frame[i]);
    }
    return sum == quint8(m_frame[4]);
}

bool StmBootloader::inFlash(quint32 address, quint32 length)
{
    return address >= kFlashBase && address - kFlashBase < kFlashSize
        && length <= kFlashSize - (address - kFlashBase);
}

void StmBootloader::send(const QByteArray &bytes, qint64 atUs)
{
    if (bytes.isEmpty())
        return;
    ++m_framesAnswered;
    if (m_answer)
        m_answer(bytes, atUs);
}

void StmBootloader::sendAfterErase(const QByteArray &bytes, qint64 atUs)
{
    if (m_eraseBusyUs > 0 && m_answer) {
        for (qint64 t = 0; t < m_eraseBusyUs; t += m_busyGapUs)
            m_answer(QByteArray(1, char(kBusy)), atUs + t);
    }
    send(bytes, atUs + m_eraseBusyUs);
}

void StmBootloader::nack(const QString &why, qint64 atUs)
{
    log(QStringLiteral("boot NACK: %1").arg(why));
    enterCommandLoop();
    send(QByteArray(1, char(kNack)), atUs);
}

void StmBootloader::log(const QString &line) const
{
    if (m_log)
        m_log(line);
}

} // namespace tovel::pedal
