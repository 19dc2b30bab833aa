#include "cli/Interrupt.h"

#include <csignal>

#include "cli/ExitCodes.h"

namespace kivo::cli {

namespace {

CancelFlag gInterrupt{0};
std::atomic<int> gSignal{0};
std::atomic<int> gActive{0};

// A signal handler may only do async-signal-safe work: lock-free atomics,
// signal() and raise() are.
static_assert(CancelFlag::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int signal) {
    if (gActive.load(std::memory_order_relaxed) == 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    gSignal.store(signal, std::memory_order_relaxed);
    gInterrupt.store(1, std::memory_order_relaxed);
}

}  // namespace

CancelFlag& InterruptFlag() { return gInterrupt; }

void CatchInterrupts() {
    for (const int signal : kStopSignals) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) != 0 || inherited.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

InterruptibleWork::InterruptibleWork() { gActive.store(1); }
InterruptibleWork::~InterruptibleWork() { gActive.store(0); }

int InterruptedStatus() {
    const int signal = gSignal.load();
    return signal != 0 ? 128 + signal : kExitInterrupted;
}

}  // namespace kivo::cli
