#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tovel {

// The pedal plays its IR words at this rate.
constexpr int kPedalSampleRate = 48000;
// Full scale of the pedal's 24-bit sample: a value of 1.0 in a float file.
constexpr double kWordFullScale = 8388608.0;

// The start of a WAV file's first channel as the pedal plays it: at 48 kHz, in units of the
// 24-bit sample word. Integer samples at 48 kHz keep their 24 most significant bits exactly
// (a 32-bit sample loses its low byte, 16- and 8-bit samples are shifted up); float samples
// and resampled ones are not rounded yet.
struct IrSamples {
    QString error; // why the samples cannot be read; empty when they can

    QList<double> values; // at most the number asked for
    // The file as libsndfile reads it.
    int channels = 0;
    int sampleRate = 0;
    bool floatingPoint = false;
    int integerBits = 0;     // 8, 16, 24 or 32 for linear integer samples, 0 otherwise
    QString encoding;        // "24-bit integer", "32-bit float", "A-law", ...
    bool resampled = false;

    bool ok() const { return error.isEmpty(); }
};

// Decodes the first `wanted` samples of the first channel of a WAV file held in memory
// (libsndfile), resampling to 48 kHz first when the file has another rate (libsamplerate, best
// quality). Only as much of the file is decoded as those samples need.
IrSamples decodeIrSamples(const QByteArray &file, int wanted);

} // namespace tovel
