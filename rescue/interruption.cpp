#include "interruption.h"

#include <atomic>
#include <csignal>

namespace {

// A lock-free atomic may be stored from a signal handler, and unlike a
// volatile sig_atomic_t its value is seen by the other threads as well:
// the conversions run on a pool.
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the interruption flag must be lock-free");
std::atomic<int> requested{0};

extern "C" void onInterruption(int signal)
{
    requestInterruption(signal);
}

} // namespace

void installInterruptionHandlers()
{
    struct sigaction action = {};
    action.sa_handler = onInterruption;
    sigemptyset(&action.sa_mask);
    // Calls the handler interrupts go on: the work decides when to stop.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptionRequested()
{
    return requested.load() != 0;
}

int interruptionSignal()
{
    return requested.load();
}

void requestInterruption(int signal)
{
    // The first signal is the one the exit status tells of.
    int none = 0;
    requested.compare_exchange_strong(none, signal);
}

void clearInterruption()
{
    requested.store(0);
}
