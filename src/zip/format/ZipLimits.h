#pragma once
// What the classic zip records can hold. A value beyond goes into the
// Zip64 records instead. The all-ones values are left out because readers
// take them as "look in the Zip64 records". Tests scale these down to see
// the Zip64 records on small archives.
#include <cstdint>

namespace kivo::zip {

struct ZipLimits {
    // Largest size or offset a 32-bit field may carry.
    std::uint64_t maxField32 = 0xFFFFFFFEu;
    // Largest number of entries the 16-bit counts may carry.
    std::uint64_t maxEntries = 0xFFFFu;
};

}  // namespace kivo::zip
