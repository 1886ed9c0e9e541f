#include "pedal/effectfirmware.h"

#include <QList>

#include <algorithm>

namespace tovel::pedal {

namespace {

constexpr quint8 kProgramUpload = 0x00;
constexpr quint8 kParameterValue = 0x01;
constexpr quint8 kStateRequest = 0x02;
constexpr quint8 kStoreSettings = 0x03;
constexpr quint8 kAssignmentTable = 0x04;
constexpr quint8 kEffectQuery = 0x05;
constexpr quint8 kParameterLimit = 0x06;

constexpr int kUploadHeader = 3;
constexpr int kAssignPayload = 192;
constexpr int kLevelShift = 13; // a level travels as level x 8192

quint16 be16(const QByteArray &b, int at)
{
    if (at + 1 >= b.size())
        return 0;
    return quint16((quint8(b[at]) << 8) | quint8(b[at + 1]));
}

quint32 be32(const QByteArray &b, int at)
{
    return (quint32(be16(b, at)) << 16) | be16(b, at + 2);
}

QString hex(const QByteArray &b) { return QString::fromLatin1(b.toHex().toUpper()); }

} // namespace

EffectFirmware::EffectFirmware() = default;

int EffectFirmware::frameLength() const
{
    switch (quint8(m_frame[0])) {
    case kProgramUpload:
        return m_frame.size() < kUploadHeader ? kUploadHeader
                                              : std::max<int>(kUploadHeader, be16(m_frame, 1));
    case kParameterValue:
    case kParameterLimit:
        return 7;
    case kStateRequest:
    case kStoreSettings:
    case kEffectQuery:
        return 2;
    case kAssignmentTable:
        return 1 + kAssignPayload;
    default:
        return 0;
    }
}

void EffectFirmware::receive(quint8 byte, qint64 atUs)
{
    tick(atUs);
    m_lastByteUs = atUs;
    m_frame.append(char(byte));
    const int length = frameLength();
    if (length == 0) {
        log(QStringLiteral("fw skipped byte %1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
        m_frame.clear();
        return;
    }
    if (m_frame.size() >= length)
        finishFrame(atUs);
}

void EffectFirmware::tick(qint64 nowUs)
{
    if (m_frame.isEmpty() || nowUs - m_lastByteUs < kQuietGapUs)
        return;
    const qint64 endUs = m_lastByteUs + kQuietGapUs;
    if (quint8(m_frame[0]) == kProgramUpload && m_frame.size() >= kUploadHeader) {
        finishUpload(endUs, true);
    } else {
        log(QStringLiteral("fw dropped incomplete frame %1").arg(hex(m_frame)));
        m_frame.clear();
    }
}

void EffectFirmware::finishFrame(qint64 atUs)
{
    const QByteArray f = m_frame;
    const quint8 code = quint8(f[0]);
    if (code == kProgramUpload) {
        finishUpload(atUs, false);
        return;
    }
    m_frame.clear();

    switch (code) {
    case kParameterValue: {
        const quint16 address = be16(f, 1);
        const quint32 value = be32(f, 3);
        QList<int> rows;
        if (address != 0) {
            for (int p = 0; p < kRows; ++p) {
                if (m_addresses[p] == address) {
                    m_settings.levels[p] = value;
                    rows.append(p);
                }
            }
        }
        QString where;
        for (int p : rows)
            where += QStringLiteral(" row %1").arg(p);
        log(QStringLiteral("fw ParameterValue %1 %2%3")
                .arg(hex(f.mid(1, 2)), hex(f.mid(3, 4)),
                     rows.isEmpty() ? QStringLiteral(" ignored: no row has this address") : where));
        break;
    }
    case kStateRequest: {
        const int rows = quint8(f[1]);
        const QByteArray state = stateBytes(rows);
        log(QStringLiteral("fw StateRequest %1 rows: %2 numbers").arg(rows).arg(state.size()));
        answer(stateAnswer(state, m_stateLineEnd), atUs, m_stateStall);
        break;
    }
    case kStoreSettings:
        m_stored = m_settings;
        m_storedRows = quint8(f[1]);
        log(QStringLiteral("fw StoreSettings %1 rows").arg(m_storedRows));
        break;
    case kAssignmentTable: {
        const QByteArray payload = f.mid(1);
        for (int c = 0; c < kControls; ++c) {
            for (int p = 0; p < 16; ++p)
                m_settings.assign[c][p] = quint8(payload[16 * c + p]);
            for (int p = 16; p < kRows; ++p)
                m_settings.assign[c][p] = quint8(payload[128 + 8 * c + (p - 16)]);
        }
        // The table has reverse flags for rows 0..15 only; rows 16..23 keep theirs.
        for (int p = 0; p < 16; ++p)
            m_settings.reverse[p] = quint8(payload[112 + p]);
        log(QStringLiteral("fw AssignmentTable %1").arg(hex(payload)));
        break;
    }
    case kEffectQuery:
        log(QStringLiteral("fw EffectQuery %1").arg(hex(f.mid(1))));
        answer(queryAnswer(), atUs, m_queryStall);
        break;
    case kParameterLimit: {
        const quint8 kind = quint8(f[1]);
        const int row = quint8(f[2]);
        const int level = int(be32(f, 3) >> kLevelShift);
        const QString text = QStringLiteral("fw ParameterLimit %1 row %2 level %3").arg(kind).arg(row).arg(level);
        if (row >= kRows || kind > 1) {
            log(text + QStringLiteral(" ignored"));
            break;
        }
        if (kind == 0)
            m_settings.minCode[row] = minCodeFor(level);
        else
            m_settings.maxCode[row] = maxCodeFor(level);
        log(text + QStringLiteral(" code %1").arg(kind == 0 ? m_settings.minCode[row] : m_settings.maxCode[row]));
        break;
    }
    default:
        break;
    }
}

void EffectFirmware::finishUpload(qint64 atUs, bool quiet)
{
    m_program = m_frame;
    m_frame.clear();
    const auto byteAt = [this](int i) { return i < m_program.size() ? quint8(m_program[i]) : 0; };
    m_effectNumber = byteAt(kEffectNumberByte);
    m_effectVersion = byteAt(kEffectVersionByte);
    for (int p = 0; p < 16; ++p)
        m_addresses[p] = be16(m_program, kAddressesLowByte + 2 * p);
    for (int p = 16; p < kRows; ++p)
        m_addresses[p] = be16(m_program, kAddressesHighByte + 2 * (p - 16));
    // A new effect starts from its own defaults; what was stored belonged to the old one.
    m_settings = Settings{};
    m_stored.reset();
    m_storedRows = 0;
    log(QStringLiteral("fw ProgramUpload %1 of %2 bytes%3: effect %4 version %5")
            .arg(m_program.size())
            .arg(be16(m_program, 1))
            .arg(quiet ? QStringLiteral(", ended by a quiet line") : QString())
            .arg(m_effectNumber)
            .arg(m_effectVersion));
    answer(QByteArray(kUploadStatus), atUs);
}

void EffectFirmware::boot(int firmwareVersion)
{
    m_frame.clear();
    m_firmwareVersion = firmwareVersion;
    m_settings = m_stored.value_or(Settings{});
    log(QStringLiteral("fw boot: firmware %1, effect %2, %3 settings")
            .arg(firmwareVersion)
            .arg(m_effectNumber)
            .arg(m_stored ? QStringLiteral("stored") : QStringLiteral("default")));
}

QByteArray EffectFirmware::stateBytes(int rows) const
{
    // Row values, 4 bytes each, then at a = 4T: assignments at a + 24c + p, reverse flags at
    // a + 168 + p, 48 unused bytes at a + 192, minimum codes at a + 240 + p, maximum codes at
    // a + 264 + p.
    QByteArray b(4 * rows + 288, '\0');
    for (int p = 0; p < std::min(rows, kRows); ++p) {
        const quint32 v = m_settings.levels[p];
        b[4 * p] = char(v >> 24);
        b[4 * p + 1] = char(v >> 16);
        b[4 * p + 2] = char(v >> 8);
        b[4 * p + 3] = char(v);
    }
    const int a = 4 * rows;
    for (int c = 0; c < kControls; ++c)
        for (int p = 0; p < kRows; ++p)
            b[a + 24 * c + p] = char(m_settings.assign[c][p]);
    for (int p = 0; p < kRows; ++p) {
        b[a + 168 + p] = char(m_settings.reverse[p]);
        b[a + 240 + p] = char(m_settings.minCode[p]);
        b[a + 264 + p] = char(m_settings.maxCode[p]);
    }
    return b;
}

QByteArray EffectFirmware::stateAnswer(const QByteArray &stateBytes, const QByteArray &lineEnd)
{
    QByteArray text;
    text.reserve(stateBytes.size() * 5);
    for (char c : stateBytes) {
        text += QByteArray::number(quint8(c));
        text += lineEnd;
    }
    return text;
}

QByteArray EffectFirmware::queryAnswer() const
{
    return QByteArray(kQueryFirstLine) + "\r\n" + QByteArray::number(m_effectNumber) + "\r\n"
        + QByteArray::number(m_effectVersion) + "\r\n" + QByteArray::number(m_firmwareVersion) + "\r\n";
}

quint8 EffectFirmware::minCodeFor(int level)
{
    return quint8(std::clamp((level + 4) / 8 - 1, 0, 126));
}

quint8 EffectFirmware::maxCodeFor(int level)
{
    if (level >= 1020)
        return 0;
    return quint8(std::clamp((level + 4) / 8 - 1, 1, 126));
}

void EffectFirmware::log(const QString &line) const
{
    if (m_log)
        m_log(line);
}

void EffectFirmware::answer(const QByteArray &bytes, qint64 atUs) const
{
    if (m_answer)
        m_answer(bytes, atUs);
}

void EffectFirmware::answer(const QByteArray &bytes, qint64 atUs, const PedalFaults::Stall &stall) const
{
    if (!stall.on() || stall.atByte >= bytes.size()) {
        answer(bytes, atUs);
        return;
    }
    answer(bytes.left(stall.atByte), atUs);
    answer(bytes.mid(stall.atByte), atUs + qint64(stall.ms) * 1000);
}

} // namespace tovel::pedal
