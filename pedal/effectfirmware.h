#pragma once

#include "pedal/pedalfaults.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace tovel::pedal {

// The pedal's effect firmware as seen from its serial line: it parses the byte stream into
// the commands 0x00-0x06, keeps what the pedal keeps and answers the two queries.
//
// Command bytes (multi-byte fields big-endian):
//   00 len(2) ...           program image of len bytes in all (header included)
//   01 addr(2) value(4)     level of the row whose image address is addr
//   02 T                    state request for T rows
//   03 T                    store the settings
//   04 payload(192)         assignments and reverse flags
//   05 00                   effect query
//   06 kind row value(4)    kind 00 minimum, 01 maximum, of a row index
class EffectFirmware {
public:
    static constexpr int kRows = 24;
    static constexpr int kControls = 7;
    // A frame still incomplete after this much silence is ended: an upload is taken as it
    // is (one delivered image announces more bytes than it holds), any other frame is dropped.
    static constexpr qint64 kQuietGapUs = 20'000;
    static constexpr int kDefaultFirmwareVersion = 5;
    // 17 bytes, what the editor shows of it.
    static constexpr char kUploadStatus[] = "Upload complete\r\n";
    static constexpr char kQueryFirstLine[] = "TOVEL";

    // Image layout: effect number and version, and where the 24 parameter addresses sit.
    static constexpr int kEffectNumberByte = 35;
    static constexpr int kEffectVersionByte = 36;
    static constexpr int kAddressesLowByte = 3;   // rows 0..15
    static constexpr int kAddressesHighByte = 49; // rows 16..23

    // What a StoreSettings keeps and a power cycle brings back.
    struct Settings {
        std::array<quint32, kRows> levels{};  // raw level x 8192 values as received
        std::array<std::array<quint8, kRows>, kControls> assign{};
        std::array<quint8, kRows> reverse{};
        std::array<quint8, kRows> minCode{};
        std::array<quint8, kRows> maxCode{}; // 0 = no maximum (read back as 1023)
    };

    using AnswerSink = std::function<void(const QByteArray &bytes, qint64 atUs)>;
    using LogSink = std::function<void(const QString &line)>;

    EffectFirmware();

    void setAnswerSink(AnswerSink sink) { m_answer = std::move(sink); }
    void setLogSink(LogSink sink) { m_log = std::move(sink); }

    // One byte off the line, arriving at atUs. Call tick(atUs) first so that a quiet gap
    // before it is noticed.
    void receive(quint8 byte, qint64 atUs);
    // Ends the frame in progress if the line has been quiet for kQuietGapUs by nowUs.
    void tick(qint64 nowUs);
    bool frameInProgress() const { return !m_frame.isEmpty(); }

    // Restart after power-up or after the bootloader's GO: the running effect and its program
    // stay (they are in the pedal's memory), the settings come back from the last store, or
    // are cleared when nothing was stored for this effect.
    void boot(int firmwareVersion);

    int effectNumber() const { return m_effectNumber; }
    int effectVersion() const { return m_effectVersion; }
    int firmwareVersion() const { return m_firmwareVersion; }
    const QByteArray &program() const { return m_program; }
    const std::array<quint16, kRows> &addresses() const { return m_addresses; }
    const Settings &settings() const { return m_settings; }
    Settings &settings() { return m_settings; }
    const std::optional<Settings> &storedSettings() const { return m_stored; }
    int storedRows() const { return m_storedRows; }

    // The pedal's state bytes for a request of T rows, 4T + 288 of them (layout at the encoder).
    QByteArray stateBytes(int rows) const;
    // The same bytes as the pedal sends them: decimal numbers, each followed by CR LF.
    static QByteArray stateAnswer(const QByteArray &stateBytes, const QByteArray &lineEnd = "\r\n");
    // The line end of the state answers from now on.
    void setStateLineEnd(const QByteArray &lineEnd) { m_stateLineEnd = lineEnd; }
    // Where the state answers and the effect query's answers stop for a while, from now on.
    void setStalls(const PedalFaults::Stall &state, const PedalFaults::Stall &query)
    {
        m_stateStall = state;
        m_queryStall = query;
    }
    QByteArray queryAnswer() const;

    // Limit levels to the pedal's codes. The editor reads a minimum back as (code + 1) x 8 and
    // a maximum as 1023 for code 0, else (code + 1) x 8; so a level is kept rounded to the
    // nearest multiple of 8 (halves up), a minimum within 8..1016, a maximum within 16..1016
    // or 1023 for levels of 1020 and up.
    static quint8 minCodeFor(int level);
    static quint8 maxCodeFor(int level);

private:
    int frameLength() const;
    void finishFrame(qint64 atUs);
    void finishUpload(qint64 atUs, bool quiet);
    void log(const QString &line) const;
    void answer(const QByteArray &bytes, qint64 atUs) const;
    // The answer in two parts when the stall says so.
    void answer(const QByteArray &bytes, qint64 atUs, const PedalFaults::Stall &stall) const;

    AnswerSink m_answer;
    LogSink m_log;
    QByteArray m_frame;
    qint64 m_lastByteUs = 0;

    int m_effectNumber = 0;
    int m_effectVersion = 0;
    int m_firmwareVersion = kDefaultFirmwareVersion;
    QByteArray m_program;
    std::array<quint16, kRows> m_addresses{};
    Settings m_settings;
    std::optional<Settings> m_stored;
    int m_storedRows = 0;
    QByteArray m_stateLineEnd = "\r\n";
    PedalFaults::Stall m_stateStall;
    PedalFaults::Stall m_queryStall;
};

} // namespace tovel::pedal
