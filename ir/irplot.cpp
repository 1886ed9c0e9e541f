#include "ir/irplot.h"

#include "ir/irsamples.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tovel {

IrPlot makeIrPlot(const QList<qint32> &words, int points)
{
    IrPlot plot;
    plot.waveform.reserve(words.size());
    for (qint32 w : words)
        plot.waveform.append(w / kWordFullScale);

    points = std::max(points, 2);
    const double span = std::log10(kPlotHighHz / kPlotLowHz);
    plot.peakDb = kPlotFloorDb;
    for (int k = 0; k < points; ++k) {
        const double f = kPlotLowHz * std::pow(10.0, span * k / (points - 1));
        // H(f) = sum x[n] e^(-j 2 pi f n / fs), the phasor turned one step per sample.
        const double w = 2 * std::numbers::pi * f / kPedalSampleRate;
        const std::complex<double> step(std::cos(w), -std::sin(w));
        std::complex<double> phasor(1, 0);
        std::complex<double> sum(0, 0);
        for (double x : plot.waveform) {
            sum += x * phasor;
            phasor *= step;
        }
        const double magnitude = std::abs(sum);
        const double db = magnitude > 0 ? std::max(20 * std::log10(magnitude), kPlotFloorDb) : kPlotFloorDb;
        plot.frequencies.append(f);
        plot.magnitudeDb.append(db);
        plot.peakDb = std::max(plot.peakDb, db);
    }
    return plot;
}

} // namespace tovel
