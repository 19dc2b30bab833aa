#include "cli/Interrupt.h"

#include <csignal>

namespace kivo::cli {

namespace {

CancelFlag gInterrupt{0};

// A signal handler may only do async-signal-safe work: a lock-free atomic
// store is, and nothing else happens here.
static_assert(CancelFlag::is_always_lock_free);

extern "C" void OnInterrupt(int) { gInterrupt.store(1, std::memory_order_relaxed); }

}  // namespace

CancelFlag& InterruptFlag() { return gInterrupt; }

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace kivo::cli
