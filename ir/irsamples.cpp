#include "ir/irsamples.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tovel {

namespace {

// libsndfile reads the file from memory: it has been read whole already, and reading it a
// second time from disc could give other bytes than the ones traced.
struct MemoryFile {
    const QByteArray *bytes;
    sf_count_t pos = 0;
};

sf_count_t memLength(void *user)
{
    return static_cast<MemoryFile *>(user)->bytes->size();
}

sf_count_t memSeek(sf_count_t offset, int whence, void *user)
{
    auto *m = static_cast<MemoryFile *>(user);
    sf_count_t to = offset;
    if (whence == SEEK_CUR)
        to += m->pos;
    else if (whence == SEEK_END)
        to += m->bytes->size();
    if (to < 0)
        return -1;
    m->pos = to;
    return m->pos;
}

sf_count_t memRead(void *ptr, sf_count_t count, void *user)
{
    auto *m = static_cast<MemoryFile *>(user);
    const sf_count_t size = m->bytes->size();
    if (count <= 0 || m->pos >= size)
        return 0;
    const sf_count_t n = std::min(count, size - m->pos);
    std::memcpy(ptr, m->bytes->constData() + m->pos, size_t(n));
    m->pos += n;
    return n;
}

sf_count_t memWrite(const void *, sf_count_t, void *)
{
    return 0;
}

sf_count_t memTell(void *user)
{
    return static_cast<MemoryFile *>(user)->pos;
}

struct SndfileCloser {
    void operator()(SNDFILE *f) const { sf_close(f); }
};
struct SrcDeleter {
    void operator()(SRC_STATE *s) const { src_delete(s); }
};

// Frames decoded per read.
constexpr sf_count_t kChunkFrames = 4096;

QString encodingName(int subtype, int *integerBits, bool *floatingPoint)
{
    *integerBits = 0;
    *floatingPoint = false;
    switch (subtype) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
        *integerBits = 8;
        break;
    case SF_FORMAT_PCM_16:
        *integerBits = 16;
        break;
    case SF_FORMAT_PCM_24:
        *integerBits = 24;
        break;
    case SF_FORMAT_PCM_32:
        *integerBits = 32;
        break;
    case SF_FORMAT_FLOAT:
        *floatingPoint = true;
        return QStringLiteral("32-bit float");
    case SF_FORMAT_DOUBLE:
        *floatingPoint = true;
        return QStringLiteral("64-bit float");
    case SF_FORMAT_ULAW:
        return QStringLiteral("u-law");
    case SF_FORMAT_ALAW:
        return QStringLiteral("A-law");
    case SF_FORMAT_IMA_ADPCM:
        return QStringLiteral("IMA ADPCM");
    case SF_FORMAT_MS_ADPCM:
        return QStringLiteral("MS ADPCM");
    case SF_FORMAT_GSM610:
        return QStringLiteral("GSM 6.10");
    default:
        return QStringLiteral("compressed");
    }
    return QStringLiteral("%1-bit integer").arg(*integerBits);
}

// Integers come left-justified in 32 bits whatever their width: the top 24 bits are the word
// (for 32-bit samples the low byte is dropped, as the pedal's word holds 24 bits).
void readIntegers(SNDFILE *f, int channels, int wanted, QList<double> &values)
{
    std::vector<int> buffer(size_t(kChunkFrames) * size_t(channels));
    while (values.size() < wanted) {
        const sf_count_t ask = std::min<sf_count_t>(kChunkFrames, wanted - values.size());
        const sf_count_t n = sf_readf_int(f, buffer.data(), ask);
        if (n <= 0)
            break;
        for (sf_count_t i = 0; i < n; ++i)
            values.append(double(buffer[size_t(i * channels)] >> 8));
    }
}

void readFloats(SNDFILE *f, int channels, int wanted, QList<double> &values)
{
    std::vector<double> buffer(size_t(kChunkFrames) * size_t(channels));
    while (values.size() < wanted) {
        const sf_count_t ask = std::min<sf_count_t>(kChunkFrames, wanted - values.size());
        const sf_count_t n = sf_readf_double(f, buffer.data(), ask);
        if (n <= 0)
            break;
        for (sf_count_t i = 0; i < n; ++i)
            values.append(buffer[size_t(i * channels)] * kWordFullScale);
    }
}

// The first channel through the best sinc converter, fed a chunk at a time until `wanted`
// samples at 48 kHz are out or the file has ended and the converter is flushed.
QString readResampled(SNDFILE *f, int channels, int rate, int wanted, QList<double> &values)
{
    const double ratio = double(kPedalSampleRate) / rate;
    if (!src_is_valid_ratio(ratio))
        return QStringLiteral("its sample rate of %1 Hz is too far from 48000 Hz to convert").arg(rate);
    int error = 0;
    std::unique_ptr<SRC_STATE, SrcDeleter> state(src_new(SRC_SINC_BEST_QUALITY, 1, &error));
    if (!state)
        return QStringLiteral("the sample rate converter failed: %1").arg(QString::fromUtf8(src_strerror(error)));

    std::vector<float> frames(size_t(kChunkFrames) * size_t(channels));
    std::vector<float> input(static_cast<size_t>(kChunkFrames));
    std::vector<float> output(static_cast<size_t>(wanted));
    long inputCount = 0;
    long inputUsed = 0;
    bool ended = false;
    long produced = 0;
    while (produced < wanted) {
        if (inputUsed == inputCount && !ended) {
            const sf_count_t n = sf_readf_float(f, frames.data(), kChunkFrames);
            inputCount = long(std::max<sf_count_t>(n, 0));
            for (long i = 0; i < inputCount; ++i)
                input[size_t(i)] = frames[size_t(i) * size_t(channels)];
            inputUsed = 0;
            ended = inputCount < kChunkFrames;
        }
        SRC_DATA d{};
        d.data_in = input.data() + inputUsed;
        d.input_frames = inputCount - inputUsed;
        d.data_out = output.data() + produced;
        d.output_frames = wanted - produced;
        d.end_of_input = ended ? 1 : 0;
        d.src_ratio = ratio;
        error = src_process(state.get(), &d);
        if (error)
            return QStringLiteral("the sample rate converter failed: %1").arg(QString::fromUtf8(src_strerror(error)));
        inputUsed += d.input_frames_used;
        produced += d.output_frames_gen;
        if (ended && inputUsed == inputCount && d.output_frames_gen == 0)
            break; // flushed
    }
    for (long i = 0; i < produced; ++i)
        values.append(double(output[size_t(i)]) * kWordFullScale);
    return QString();
}

} // namespace

IrSamples decodeIrSamples(const QByteArray &file, int wanted)
{
    IrSamples s;
    MemoryFile memory{&file};
    SF_VIRTUAL_IO io{memLength, memSeek, memRead, memWrite, memTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> f(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!f) {
        s.error = QStringLiteral("its samples cannot be decoded (%1)").arg(QString::fromUtf8(sf_strerror(nullptr)));
        return s;
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) {
        s.error = QStringLiteral("it is not a WAV file");
        return s;
    }
    s.channels = info.channels;
    s.sampleRate = info.samplerate;
    s.encoding = encodingName(info.format & SF_FORMAT_SUBMASK, &s.integerBits, &s.floatingPoint);
    if (s.channels < 1 || s.sampleRate < 1) {
        s.error = QStringLiteral("its format announces %1 channels at %2 Hz").arg(s.channels).arg(s.sampleRate);
        return s;
    }
    if (wanted <= 0)
        return s;

    if (s.sampleRate == kPedalSampleRate) {
        if (s.floatingPoint)
            readFloats(f.get(), s.channels, wanted, s.values);
        else
            readIntegers(f.get(), s.channels, wanted, s.values);
    } else {
        s.resampled = true;
        s.error = readResampled(f.get(), s.channels, s.sampleRate, wanted, s.values);
    }
    return s;
}

} // namespace tovel
