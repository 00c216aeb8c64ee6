#include "tools/cli/Interrupt.h"

#include <signal.h>

#include <atomic>

namespace kestiva::cli {

namespace {

// Lock-free, so the handler may store into it.
std::atomic<bool> interruptFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int) {
    interruptFlag.store(true);
}

}  // namespace

void watchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Back to the default after the first: a user who presses again wants out now.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() {
    return interruptFlag.load();
}

}  // namespace kestiva::cli
