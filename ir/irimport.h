#pragma once

#include "ir/irblock.h"

#include <QString>
#include <functional>
#include <optional>

namespace tovel {

class Console;
class Pacing;
struct IrLayout;

// Files larger than this are refused unread: an impulse response needs a few thousand bytes,
// and the whole file is held in memory.
constexpr qint64 kMaxIrFileBytes = 64 * 1024 * 1024;
// The console's hex lines of the file show at most this many bytes (a second and more of a
// stereo 24-bit file); the rest is counted, not traced.
constexpr qint64 kTracedIrBytes = 64 * 1024;

struct IrImportResult {
    enum class Outcome {
        Spliced, // program holds the effect's program with the new block
        Refused, // the file cannot give an impulse response: refusal says why
        Stopped, // the effect's program could not be loaded (the loader has said why)
    };
    Outcome outcome = Outcome::Refused;
    QString refusal;
    QString program;
    QString summary; // "Selected file data:" and four lines, then what was done beyond them
    IrBlock block;
};

// Reads a WAV file, traces it to the console, converts the start of its first channel into the
// layout's block and splices that into the effect's program, which catalogueProgram gives
// (nullopt when it could not be loaded). Between the long steps it turns the event loop, so
// the window stays responsive on a large file.
IrImportResult importImpulseResponse(const QString &path, const IrLayout &layout, bool normalise,
                                     Console &console, Pacing &pacing,
                                     const std::function<std::optional<QString>()> &catalogueProgram);

// A console line of `count` bytes of the file from byte `from`: the label, then their upper-case
// hex digits, two a byte. Beyond kTracedIrBytes, the digits of the first kTracedIrBytes and
// " ... N more bytes, M in all".
QString tracedIrBytes(const QString &label, const QByteArray &bytes, qint64 from, qint64 count);

} // namespace tovel
