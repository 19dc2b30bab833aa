#pragma once
// The done/total counters of a run and the bar position derived from them.
#include <cstdint>

#include "report/RunSink.h"

namespace kivo {

class RunProgress {
public:
    explicit RunProgress(RunSink& sink) : sink_(sink) {}

    // Starts counting towards `total`; done goes back to 0.
    void Start(std::uint64_t total);

    // Adds one unit of work and sends the new position. With a total of 0
    // nothing is computed and the bar keeps its position.
    void Add(std::uint64_t amount);

    std::uint64_t done() const { return done_; }
    std::uint64_t total() const { return total_; }

    // done * 100 / total in unsigned 64-bit arithmetic; a file that grew
    // since the scan can push done past total, and the bar only goes to 100.
    static int Percent(std::uint64_t done, std::uint64_t total);

private:
    RunSink& sink_;
    std::uint64_t done_ = 0;
    std::uint64_t total_ = 0;
};

}  // namespace kivo
