#pragma once
// Sends a file that is written front to back to the disk window by window
// without stalling on each: at every full window its write-back is started
// and the window before it waited for, so the disk works while the next
// window is written and never more than one window is in flight. Where the
// kernel lacks range write-back, each window is an fdatasync.
//
// Durability points (the end of a pass, a file before its rename, sources
// before they go) need File::Flush or a file system sync; this is not one.
#include <cstdint>

#include "platform/File.h"

namespace kivo {

class WriteBehind {
public:
    explicit WriteBehind(std::uint64_t window) : window_(window) {}

    // Counts `bytes` more written at the end of `file`. False (errno set)
    // when data could not be written out; fault point Flush, once a window.
    bool Wrote(File& file, std::uint64_t bytes);

private:
    std::uint64_t window_;
    std::uint64_t end_ = 0;
    std::uint64_t windowStart_ = 0;
    std::uint64_t previousStart_ = 0;
    std::uint64_t previousLength_ = 0;
    bool declined_ = false;
};

}  // namespace kivo
