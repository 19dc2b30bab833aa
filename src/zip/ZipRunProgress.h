#pragma once
// The ZipProgress of a run: cancels on the run's cancel flag and moves the
// run's progress bar.
#include "report/RunSink.h"
#include "zip/format/ZipProgress.h"

namespace kivo::zip {

class ZipRunProgress : public ZipProgress {
public:
    ZipRunProgress(const CancelFlag& cancel, RunSink& sink) : cancel_(cancel), sink_(sink) {}

    int IsCancelled() override { return cancel_.load(std::memory_order_relaxed); }
    void ShowPercent(int percent) override;

private:
    const CancelFlag& cancel_;
    RunSink& sink_;
    int shown_ = -1;
};

}  // namespace kivo::zip
