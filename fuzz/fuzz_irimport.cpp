// A WAV file held in memory as an impulse-response import reads it: the chunk walk, libsndfile's
// decoding (and resampling), the conversion to sample words and the splice into a catalogue
// program.

#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "fuzz/fuzzcheck.h"
#include "ir/irblock.h"
#include "ir/irlayout.h"
#include "ir/irsamples.h"
#include "ir/wavlayout.h"
#include "tests/support/testseams.h"

using namespace tovel;

namespace {

// A file larger than this teaches the fuzzer nothing a smaller one does not, and a huge
// announced sample count would only make each run slow.
constexpr size_t kMaxInput = 256 * 1024;

// The catalogue program of every IR loader, loaded once.
const QStringList &programs()
{
    static const QStringList loaded = [] {
        CatalogueLoader loader;
        int count = 0;
        const IrLayout *layouts = irLayouts(&count);
        QStringList list;
        for (int i = 0; i < count; ++i) {
            FUZZ_CHECK(loader.LoadListResource(EffectResourceName(QLatin1String(layouts[i].effect))));
            list.append(loader.CurrentList().value(0));
        }
        return list;
    }();
    return loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    // The file's size picks the effect and whether to normalise, so that plain WAV files serve
    // as seeds.
    int count = 0;
    const IrLayout *layouts = irLayouts(&count);
    const IrLayout &layout = layouts[size % size_t(count)];
    const QString &program = programs().at(int(size % size_t(count)));
    const bool normalise = (size / size_t(count)) % 2;

    const QByteArray file = fuzz::bytesOf(data, size);
    const WavLayout wav = readWavLayout(file);
    for (const WavChunk &chunk : wav.chunks) {
        FUZZ_CHECK(chunk.bodyOffset >= 0 && chunk.available >= 0);
        FUZZ_CHECK(chunk.bodyOffset + chunk.available <= file.size());
        FUZZ_CHECK(chunk.available <= chunk.size);
    }
    FUZZ_CHECK(wav.ok() == wav.faultText().isEmpty());

    const IrSamples samples = decodeIrSamples(file, layout.words);
    if (!samples.ok() || samples.values.isEmpty())
        return 0;
    FUZZ_CHECK(samples.values.size() <= layout.words);

    test::RecordingConsole console;
    const IrBlock block = ConvertIrSamples(samples.values, layout.words, normalise, console);
    FUZZ_CHECK(block.words.size() == layout.words);
    FUZZ_CHECK(block.text.size() == layout.blockDigits());
    for (const qint32 word : block.words)
        FUZZ_CHECK(word >= kSmallestWord && word <= kLargestWord);

    // The spliced program keeps the catalogue program's length and everything outside the block.
    const QString spliced = spliceIrBlock(program, layout, block.text);
    FUZZ_CHECK(!spliced.isEmpty());
    FUZZ_CHECK(spliced.size() == program.size());
    FUZZ_CHECK(spliced.left(layout.keptDigits()) == program.left(layout.keptDigits()));
    FUZZ_CHECK(spliced.mid(layout.resumeDigit()) == program.mid(layout.resumeDigit()));
    FUZZ_CHECK(spliced.mid(layout.keptDigits(), layout.blockDigits()) == block.text);
    return 0;
}
