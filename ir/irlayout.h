#pragma once

#include <QString>

namespace tovel {

// Where an IR loader's program holds its impulse response: a block of 32-bit sample words
// that an import replaces whole, so the program keeps its length (and its length field stays
// right). The pedal plays the words at 48 kHz.
struct IrLayout {
    const char *effect; // display name, compared exactly
    int blockByte;      // first byte of the block in the program image
    int words;          // words in the block, each one sample
    // Samples shown as cut out of the file in the console's "irdata: " line; only `words` of
    // them are converted.
    int cutOutSamples;
    // The block's place is the editor's own choice, not the maker's: the program must show the
    // placeholder impulse there before anything is spliced in, or another catalogue's program
    // of that name would be overwritten where it holds code.
    bool placeholderRequired;

    int keptDigits() const { return 2 * blockByte; }
    int blockDigits() const { return 8 * words; }
    // Where the program resumes after the block, counting digits from 0.
    int resumeDigit() const { return keptDigits() + blockDigits(); }
};

// The layout of the named effect; nullptr for an effect that takes no impulse response.
const IrLayout *irLayoutFor(const QString &effect);

// The layouts of every IR loader, in catalogue order.
const IrLayout *irLayouts(int *count);

// The word every catalogue IR block begins with: a full-scale negative impulse.
inline constexpr char kIrPlaceholderWord[] = "FF800000";

// program with its IR block replaced by words (8 hex digits per word, layout.words of them).
// Empty when the program is too short to hold the block, or lacks the placeholder where the
// layout requires it; the caller says why.
QString spliceIrBlock(const QString &program, const IrLayout &layout, const QString &words);

} // namespace tovel
