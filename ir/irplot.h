#pragma once

#include <QList>

namespace tovel {

// What the summary's picture shows of a block: its waveform, and its magnitude response over
// the audible band on a logarithmic frequency axis.
struct IrPlot {
    QList<double> waveform;    // each word over full scale, -1 .. +1, at 48 kHz
    QList<double> frequencies; // Hz, 20 .. 20,000, evenly spaced on a log axis
    QList<double> magnitudeDb; // at each frequency; 0 dB is a full-scale unit impulse
    double peakDb = 0;         // the largest of magnitudeDb
};

constexpr double kPlotLowHz = 20;
constexpr double kPlotHighHz = 20000;
// A block of zero words has no level: its response is drawn at this floor.
constexpr double kPlotFloorDb = -120;

// points: how many frequencies, at least 2.
IrPlot makeIrPlot(const QList<qint32> &words, int points = 240);

} // namespace tovel
