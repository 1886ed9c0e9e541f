#pragma once

namespace tovel {

// Ctrl-C (SIGINT) and SIGTERM during a firmware upgrade or backup: the first one asks the run
// to stop at its next wait, so that it ends with a message saying where the pedal stands; a
// second one ends the program at once, as the signal would have.
class Interruption {
public:
    static void catchSignals();
    static bool requested();
};

} // namespace tovel
