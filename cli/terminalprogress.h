#pragma once

#include "firmware/firmwareupgrade.h"

#include <QString>
#include <cstdio>

namespace tovel {

// An upgrade's progress on a terminal: one line, rewritten in place ("Erase", "Writing 51 of
// 107", "Verify 40%"), ended when the run ends. Only shown where a person watches.
class TerminalProgress {
public:
    explicit TerminalProgress(std::FILE *stream) : m_stream(stream) {}
    void show(UpgradeStep step, int value, int maximum);
    // Ends the line, if one was drawn.
    void finish();

    // The line for a step: its name, and how far it is when it has a measure.
    static QString text(UpgradeStep step, int value, int maximum);

private:
    std::FILE *m_stream;
    QString m_shown;
};

} // namespace tovel
