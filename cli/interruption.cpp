#include "cli/interruption.h"

#include <csignal>

namespace tovel {

namespace {

volatile std::sig_atomic_t g_requested = 0;

void onSignal(int)
{
    g_requested = 1;
}

} // namespace

void Interruption::catchSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The handler runs once; the next signal finds the default action again.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interruption::requested()
{
    return g_requested != 0;
}

} // namespace tovel
