#pragma once
// Unpredictable bytes from the system (getrandom), through the fault seam.
#include <cstddef>

namespace kivo {

// Fills `size` bytes; false with errno when the system cannot give them.
bool FillRandom(void* buffer, std::size_t size);

// Tests only: replaces the system source (nullptr restores it), so runs
// that use random bytes can be compared byte for byte.
using RandomSource = bool (*)(void* buffer, std::size_t size);
void SetRandomSourceForTesting(RandomSource source);

}  // namespace kivo
