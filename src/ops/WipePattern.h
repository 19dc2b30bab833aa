#pragma once
// The bytes an overwrite pass writes: pass 0 pseudo-random, pass p >= 1 the
// byte value p - 1, so 257 passes end with every byte value once.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kivo {

constexpr unsigned kMaxPasses = 257;

// Number of passes from the passes box: its leading decimal digits (blanks
// before them allowed), 0 when there are none, capped at kMaxPasses.
unsigned ParsePasses(const std::string& text);

// The run-time library's linear congruential generator, one state per
// thread so runs in other threads never share or disturb it.
void SeedWipeGenerator(std::uint32_t seed);
// Low 8 bits of one draw, i.e. bits 16 to 23 of the new state.
unsigned char NextWipeByte();

// Fills `size` bytes with the pattern of `pass`. Pass 0 seeds the generator
// from the seed source first, as every file's first pass does.
void FillWipePattern(unsigned char* buffer, std::size_t size, unsigned pass);

// The seed source of pass 0: the tick count, or a fixed value for tests.
using SeedSource = std::uint32_t (*)();
void SetWipeSeedSourceForTesting(SeedSource source);  // null restores the tick count

}  // namespace kivo
