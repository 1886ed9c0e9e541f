// The virtual pedal's effect firmware fed any bytes a host might send, with pauses between them.

#include "fuzz/fuzzcheck.h"
#include "protocol/effectquery.h"
#include "protocol/stateblock.h"
#include "pedal/effectfirmware.h"

using namespace tovel;
using tovel::pedal::EffectFirmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte seeds where the line pauses long enough to end a frame.
    quint32 seed = fuzz::takeByte(data, size) | 0x100;
    EffectFirmware firmware;
    QList<QByteArray> answers;
    firmware.setAnswerSink([&](const QByteArray &bytes, qint64) { answers.append(bytes); });
    firmware.setLogSink([](const QString &) {});

    qint64 now = 0;
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        now += (seed >> 16) % 16 == 0 ? EffectFirmware::kQuietGapUs + 1 : 87; // 115,200 baud
        firmware.tick(now);
        firmware.receive(data[i], now);
    }
    now += EffectFirmware::kQuietGapUs + 1;
    firmware.tick(now);
    FUZZ_CHECK(!firmware.frameInProgress());

    // An upload holds at most what its 16-bit length announces.
    FUZZ_CHECK(firmware.program().size() <= 0xFFFF);
    FUZZ_CHECK(firmware.effectNumber() >= 0 && firmware.effectNumber() <= 255);

    // Whatever was sent, the state answer reads back in the editor as the pedal's state bytes.
    for (int rows : {0, 1, EffectFirmware::kRows}) {
        const QByteArray state = firmware.stateBytes(rows);
        FUZZ_CHECK(state.size() == 4 * rows + 288);
        const QList<quint8> parsed = ParseParameterAnswer(EffectFirmware::stateAnswer(state));
        FUZZ_CHECK(parsed.size() == state.size());
        for (qsizetype i = 0; i < state.size(); ++i)
            FUZZ_CHECK(parsed[i] == quint8(state[i]));
    }
    const std::optional<EffectInfo> info = ParseEffectInfo(QString::fromLatin1(firmware.queryAnswer()));
    FUZZ_CHECK(info && info->effectNumber == firmware.effectNumber());
    FUZZ_CHECK(info && info->firmwareVersion == firmware.firmwareVersion());
    return 0;
}
