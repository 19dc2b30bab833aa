#pragma once
// Ctrl+C (SIGINT), SIGTERM and SIGHUP during a run: they only raise the
// run's cancel flag, so the run ends as stopped and cleans up exactly as the
// Cancel button would have it, and the process then exits 128 + the signal
// number (130, 143, 129), as a process ended by the signal would be seen.
// `systemctl stop`, `timeout` and a closed terminal send the last two.
#include "report/RunSink.h"

namespace kivo::cli {

// The flag every run and long query of this process polls.
CancelFlag& InterruptFlag();

// Installs the handler, once, at start-up: for each of the three signals
// only when the disposition inherited is not "ignore", so that `nohup`
// (which ignores SIGHUP) still protects a run. Outside an
// InterruptibleWork scope a signal ends the process as its default action
// would: nothing there needs cleaning up.
void CatchInterrupts();

// While one lives, the signals raise InterruptFlag() instead.
class InterruptibleWork {
public:
    InterruptibleWork();
    ~InterruptibleWork();
    InterruptibleWork(const InterruptibleWork&) = delete;
    InterruptibleWork& operator=(const InterruptibleWork&) = delete;
};

// The exit status of work stopped by a signal: 128 + the signal that raised
// the flag (130 when none did).
int InterruptedStatus();

}  // namespace kivo::cli
