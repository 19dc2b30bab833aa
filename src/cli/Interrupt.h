#pragma once
// Ctrl+C (SIGINT) during a run: it only raises the run's cancel flag, so
// the run ends as stopped and cleans up exactly as the Cancel button would
// have it.
#include "report/RunSink.h"

namespace kivo::cli {

// The flag every run and long query of this process polls.
CancelFlag& InterruptFlag();

// Installs the handler (restarting interrupted system calls). Until this
// is called SIGINT keeps its default action.
void CatchInterrupts();

}  // namespace kivo::cli
