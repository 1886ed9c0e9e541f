#include "ir/irblock.h"

#include "core/seams.h"

#include <algorithm>
#include <cmath>

namespace tovel {

QString irWordHex(qint32 word)
{
    return QStringLiteral("%1").arg(quint32(word), 8, 16, QLatin1Char('0')).toUpper();
}

IrBlock ConvertIrSamples(const QList<double> &samples, int n, bool normalise, Console &console)
{
    IrBlock block;
    block.fromFile = int(std::min<qsizetype>(samples.size(), n));
    QList<double> values = samples.mid(0, block.fromFile);

    // A float file may hold NaN, which is no level at all: it plays as silence. An infinity is
    // beyond full scale like any loud sample and is clipped below, but it is no peak to
    // normalise to (the gain would be zero and every word 0 x infinity).
    for (double &v : values)
        if (std::isnan(v))
            v = 0;
    double peak = 0;
    for (double v : values)
        if (std::isfinite(v))
            peak = std::max(peak, std::fabs(v));
    if (normalise && peak > 0) {
        const double gain = kLargestWord / peak;
        for (double &v : values)
            v *= gain;
        block.normalised = true;
        block.gainDb = 20 * std::log10(gain);
    }

    block.words.reserve(n);
    block.text.reserve(8 * n);
    for (int i = 0; i < n; ++i) {
        qint32 word = 0;
        if (i < block.fromFile) {
            const double v = values[i];
            // +1.0 of a float file is one step above the largest word: held there quietly.
            // Only what lies beyond full scale counts as clipped.
            if (std::fabs(v) > -double(kSmallestWord))
                ++block.clipped;
            word = qint32(std::clamp(std::round(v), double(kSmallestWord), double(kLargestWord)));
        }
        block.words.append(word);
        const QString hex = irWordHex(word);
        console.printToConsole(hex);
        block.text += hex;
    }
    block.silent = std::all_of(block.words.cbegin(), block.words.cend(), [](qint32 w) { return w == 0; });
    return block;
}

} // namespace tovel
