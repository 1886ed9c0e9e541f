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
// and the whole file is held and traced as hex.
constexpr qint64 kMaxIrFileBytes = 64 * 1024 * 1024;

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

// The file's bytes as upper-case hex text, made a slice at a time with an event-loop turn after
// each.
QString hexTextInSlices(const QByteArray &bytes, Pacing &pacing);

} // namespace tovel
