// The virtual pedal's bootloader fed any bytes a host might send.

#include "fuzz/fuzzcheck.h"
#include "pedal/stmbootloader.h"

using namespace tovel;
using tovel::pedal::StmBootloader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    StmBootloader bootloader;
    QByteArray answers;
    bootloader.setAnswerSink([&](const QByteArray &bytes, qint64) { answers += bytes; });
    bootloader.setLogSink([](const QString &) {});
    bool left = false;
    bootloader.setGoHandler([&](quint32 address, qint64) {
        const bool inFlash = address >= StmBootloader::kFlashBase
                             && address - StmBootloader::kFlashBase < StmBootloader::kFlashSize;
        const bool inRam = address >= StmBootloader::kRamBase
                           && address - StmBootloader::kRamBase < StmBootloader::kRamSize;
        FUZZ_CHECK(inFlash || inRam);
        left = true;
    });

    qint64 now = 0;
    for (size_t i = 0; i < size; ++i) {
        now += 87;
        bootloader.receive(data[i], now);
        if (left) {
            bootloader.restart();
            left = false;
        }
    }
    // The flash keeps its size, and the first thing the bootloader ever says answers the sync
    // byte: an acknowledge (or the NACK a fault plants, none here).
    FUZZ_CHECK(bootloader.flash().size() == int(StmBootloader::kFlashSize));
    if (!answers.isEmpty())
        FUZZ_CHECK(quint8(answers[0]) == StmBootloader::kAck);
    return 0;
}
