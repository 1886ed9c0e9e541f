#include "pedal/ftdibridge.h"

#include <algorithm>

namespace tovel::pedal {

namespace {

constexpr qint64 kNsPerUs = 1000;
constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kNsPerS = 1'000'000'000;

// Two characters a word, the first in the high byte; a missing character is a blank.
void putText(std::array<quint16, FtdiBridge::kEepromWords> &e, int from, int to, const QByteArray &text)
{
    for (int w = from, i = 0; w <= to; ++w, i += 2) {
        const quint8 hi = i < text.size() ? quint8(text[i]) : ' ';
        const quint8 lo = i + 1 < text.size() ? quint8(text[i + 1]) : ' ';
        e[w] = quint16((hi << 8) | lo);
    }
}

// A USB string descriptor (length, type 3, UTF-16LE text) from a byte offset; returns the
// pointer word for the header: length in the high byte, offset | 0x80 in the low byte.
quint16 putDescriptor(std::array<quint16, FtdiBridge::kEepromWords> &e, int byteOffset, const QByteArray &text)
{
    const int length = 2 + 2 * int(text.size());
    const int w = byteOffset / 2;
    e[w] = quint16(0x0300 | length);
    for (int i = 0; i < text.size(); ++i)
        e[w + 1 + i] = quint8(text[i]);
    return quint16((length << 8) | 0x80 | byteOffset);
}

} // namespace

FtdiBridge::FtdiBridge(const QByteArray &serialNumber, const QByteArray &description)
    : m_serial(serialNumber), m_description(description), m_eeprom(buildEeprom(serialNumber, description))
{
}

std::array<quint16, FtdiBridge::kEepromWords> FtdiBridge::buildEeprom(const QByteArray &serialNumber,
                                                                      const QByteArray &description)
{
    std::array<quint16, kEepromWords> e{};
    e[1] = 0x0403; // vendor
    e[2] = 0x6001; // product
    e[3] = 0x0600; // device release
    e[4] = 0x2DA0; // bus powered, remote wake-up, 90 mA
    // String descriptors from byte 0x18, kept below the maker's area at word 81.
    const QByteArray manufacturer(kManufacturer);
    int at = 0x18;
    e[7] = putDescriptor(e, at, manufacturer.left(12));
    at += 2 + 2 * int(manufacturer.left(12).size());
    e[8] = putDescriptor(e, at, description.left(16));
    at += 2 + 2 * int(description.left(16).size());
    e[9] = putDescriptor(e, at, serialNumber.left(16));

    // The maker's texts: "ZANTH$" ends in word 83, the device name fills 84..103.
    putText(e, 81, 83, manufacturer + '$');
    putText(e, 84, 103, kDeviceName);
    putText(e, 105, 112, serialNumber.left(16));

    quint16 sum = 0xAAAA; // the bridge's own checksum over words 0..126
    for (int w = 0; w < kEepromWords - 1; ++w) {
        sum ^= e[w];
        sum = quint16((sum << 1) | (sum >> 15));
    }
    e[kEepromWords - 1] = sum;
    return e;
}

qint64 FtdiBridge::byteNs() const
{
    return m_baud == 0 ? 0 : kBitsPerByte * kNsPerS / qint64(m_baud);
}

qint64 FtdiBridge::hostNs(qint64 atNs) const
{
    if (m_latencyMs <= 0)
        return atNs;
    const qint64 tick = m_latencyMs * kNsPerMs;
    return (atNs + tick - 1) / tick * tick;
}

void FtdiBridge::hostWrite(const QByteArray &bytes, qint64 nowUs)
{
    const qint64 step = byteNs();
    qint64 t = std::max(nowUs * kNsPerUs, m_txFreeNs);
    for (char c : bytes) {
        t += step;
        m_toController.append({t, quint8(c)});
    }
    m_txFreeNs = t;
}

bool FtdiBridge::takeArrived(qint64 nowUs, quint8 &byte, qint64 &atUs)
{
    if (m_toController.isEmpty() || m_toController.first().atNs > nowUs * kNsPerUs)
        return false;
    const WireByte b = m_toController.takeFirst();
    byte = b.byte;
    atUs = (b.atNs + kNsPerUs - 1) / kNsPerUs;
    return true;
}

void FtdiBridge::purgeTransmit(qint64 nowUs)
{
    // Whatever is still queued has not reached the pedal: callers hand over arrived bytes
    // before they purge.
    m_toController.clear();
    m_txFreeNs = std::min(m_txFreeNs, nowUs * kNsPerUs);
}

qint64 FtdiBridge::chatterByteNs() const
{
    return m_baud == 0 ? kBitsPerByte * kNsPerS / 115200 : byteNs();
}

void FtdiBridge::advance(qint64 nowUs)
{
    if (!m_faults.chatter)
        return;
    const qint64 now = nowUs * kNsPerUs;
    const qint64 step = chatterByteNs();
    // A fresh stream starts now, not where the line last fell silent.
    qint64 t = std::max(m_rxFreeNs, now - step);
    const QByteArray bytes = noise(int((now - t) / step));
    for (char c : bytes) {
        t += step;
        m_toHost.append({t, quint8(c)});
    }
    m_rxFreeNs = t;
}

void FtdiBridge::controllerSend(const QByteArray &bytes, qint64 atUs)
{
    if (m_faults.noAnswer || bytes.isEmpty())
        return;
    QByteArray out = m_faults.garbage || m_faults.chatter ? noise(int(bytes.size())) : bytes;
    if (m_faults.shortAnswers)
        out.truncate((out.size() + 1) / 2);
    const int pieces = std::clamp(m_faults.splitPieces, 1, int(out.size()));
    const qint64 step = byteNs();
    for (int k = 0; k < pieces; ++k) {
        const int from = int(out.size()) * k / pieces;
        const int to = int(out.size()) * (k + 1) / pieces;
        qint64 t = std::max(atUs * kNsPerUs + k * qint64(m_faults.splitGapMs) * kNsPerMs, m_rxFreeNs);
        for (int i = from; i < to; ++i) {
            t += step;
            m_toHost.append({t, quint8(out[i])});
        }
        m_rxFreeNs = t;
    }
}

quint32 FtdiBridge::queued(qint64 nowUs) const
{
    const qint64 now = nowUs * kNsPerUs;
    quint32 n = 0;
    for (const WireByte &b : m_toHost) {
        if (hostNs(b.atNs) > now)
            break;
        ++n;
    }
    return n;
}

QByteArray FtdiBridge::read(quint32 maxBytes, qint64 nowUs)
{
    const quint32 n = std::min(maxBytes, queued(nowUs));
    QByteArray out;
    out.reserve(int(n));
    for (quint32 i = 0; i < n; ++i)
        out.append(char(m_toHost[int(i)].byte));
    m_toHost.remove(0, int(n));
    return out;
}

qint64 FtdiBridge::answersDoneUs() const
{
    const qint64 atNs = m_toHost.isEmpty() ? 0 : hostNs(m_toHost.last().atNs);
    return (atNs + kNsPerUs - 1) / kNsPerUs;
}

void FtdiBridge::dropEverything()
{
    m_toController.clear();
    m_toHost.clear();
    m_txFreeNs = 0;
    m_rxFreeNs = 0;
}

void FtdiBridge::purgeReceive(qint64 nowUs)
{
    m_toHost.remove(0, int(queued(nowUs)));
}

QByteArray FtdiBridge::noise(int length)
{
    QByteArray out;
    while (out.size() < length) {
        m_noiseState ^= m_noiseState << 13; // xorshift32
        m_noiseState ^= m_noiseState >> 17;
        m_noiseState ^= m_noiseState << 5;
        const quint8 b = quint8(m_noiseState);
        if (b != 0x79 && b != 0x1F) // never a bootloader acknowledge or NACK
            out.append(char(b));
    }
    return out;
}

} // namespace tovel::pedal
