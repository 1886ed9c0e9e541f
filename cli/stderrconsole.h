#pragma once

#include "core/seams.h"

#include <cstdio>

namespace tovel {

// The diagnostic console of `tovel --console`: each trace line as a line on standard error,
// written at once so that it lands between the messages in the order things happened.
class StderrConsole : public Console {
public:
    explicit StderrConsole(std::FILE *stream = stderr) : m_stream(stream) {}
    void printToConsole(const QString &text) override;
    void appendConsoleLine(const QString &text) override;

private:
    std::FILE *m_stream;
};

} // namespace tovel
