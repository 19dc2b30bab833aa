#pragma once
// Progress and cancellation as seen by the zip writer and by extraction.
// Callers derive from it and override IsCancelled and ShowPercent.
#include <cstdint>

namespace kivo::zip {

class ZipProgress {
public:
    virtual ~ZipProgress() = default;
    // Nonzero asks the running operation to stop.
    virtual int IsCancelled() { return 0; }
    virtual void SetTotal(std::uint64_t total) { total_ = total; }
    // Adds bytes processed since the last call and shows the new percentage
    // (nothing is shown while the total is 0).
    virtual void AddDone(std::uint64_t bytes);
    virtual void ShowPercent(int /*percent*/) {}

    std::uint64_t Total() const { return total_; }
    std::uint64_t Done() const { return done_; }

private:
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
};

}  // namespace kivo::zip
