#pragma once

#include <functional>

namespace tovel {

class Prompts;

// The program's general error report: runs an event handler and shows an error that escaped
// it once, in a message box; the program carries on. The application runs every event through
// this (TovelApplication::notify), so handlers never catch for the sake of reporting.
class ErrorBoundary {
public:
    // Returns false when the handler ended with an error (which has been shown).
    static bool run(Prompts &prompts, const std::function<void()> &handler);
};

} // namespace tovel
