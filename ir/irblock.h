#pragma once

#include <QList>
#include <QString>

namespace tovel {

class Console;

// The impulse response as the pedal receives it: one 32-bit word per sample, a 24-bit
// two's-complement value sign-extended, sent big-endian. In hex text that is the sign byte
// (00 or FF) and the sample's three bytes, most significant first: -1.0 is FF800000.
struct IrBlock {
    QList<qint32> words; // exactly the block's length
    QString text;        // the words as hex, 8 digits each
    int fromFile = 0;    // words taken from the file; the ones after are silence
    int clipped = 0;     // samples beyond full scale, held at the largest word
    bool normalised = false;
    bool silent = false; // nothing but zero words (normalising leaves it so)
    double gainDb = 0;   // the normalising gain
};

// The hex text of one word.
QString irWordHex(qint32 word);

// The largest positive word: "just below full scale".
constexpr qint32 kLargestWord = 0x7FFFFF;
constexpr qint32 kSmallestWord = -0x800000;

// Turns the samples (24-bit units, IrSamples::values) into a block of n words and prints each
// word to the console as a line of its own. Samples after the n-th are ignored; a file with
// fewer pads the block with zero words (a shorter response is the same response). With
// normalise, the block is scaled so that its peak is the largest word.
IrBlock ConvertIrSamples(const QList<double> &samples, int n, bool normalise, Console &console);

} // namespace tovel
