#include <signal.h>

#include <atomic>

#include "platform/interrupt.h"

namespace kestrand {

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

void onSignal(int) { requested.store(true); }

}  // namespace

void watchForInterrupt() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The handler is reset after the first signal, so a second one ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() { return requested.load(); }

}  // namespace kestrand
