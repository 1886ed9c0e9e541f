#pragma once

#include "core/seams.h"

namespace tovel {

// The session's console: every trace line goes on to the sink attached last. Lines traced
// before any sink is attached (the main window's start-up runs before the console exists)
// go nowhere.
class ConsoleRelay : public Console {
public:
    void attach(Console *sink) { m_sink = sink; }
    Console *sink() const { return m_sink; }
    void printToConsole(const QString &text) override
    {
        if (m_sink)
            m_sink->printToConsole(text);
    }
    void appendConsoleLine(const QString &text) override
    {
        if (m_sink)
            m_sink->appendConsoleLine(text);
    }

private:
    Console *m_sink = nullptr;
};

} // namespace tovel
