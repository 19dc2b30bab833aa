#pragma once
// Watches the size of every allocation made while a probe is alive, so a
// test can show that a damaged length or count never turns into a large
// allocation.
#include <cstddef>

namespace kivo::testing {

class AllocationProbe {
public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;

    // The largest single allocation since the probe started.
    std::size_t largest() const;
};

}  // namespace kivo::testing
