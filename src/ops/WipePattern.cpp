#include "ops/WipePattern.h"

#include <atomic>
#include <cctype>
#include <cstring>

#include "platform/FileTime.h"

namespace kivo {
namespace {

thread_local std::uint32_t t_generatorState = 1;
std::atomic<SeedSource> g_seedSource{nullptr};

std::uint32_t CurrentSeed() {
    const SeedSource source = g_seedSource.load();
    return source != nullptr ? source() : TickCount();
}

}  // namespace

unsigned ParsePasses(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        // Saturate early so a long run of digits cannot overflow.
        if (value > kMaxPasses) return kMaxPasses;
    }
    return value;
}

void SeedWipeGenerator(std::uint32_t seed) { t_generatorState = seed; }

unsigned char NextWipeByte() {
    t_generatorState = t_generatorState * 214013u + 2531011u;
    return static_cast<unsigned char>((t_generatorState >> 16) & 0xFFu);
}

void FillWipePattern(unsigned char* buffer, std::size_t size, unsigned pass) {
    if (pass >= 1) {
        std::memset(buffer, static_cast<int>((pass - 1) & 0xFFu), size);
        return;
    }
    SeedWipeGenerator(CurrentSeed());
    for (std::size_t i = 0; i < size; ++i) buffer[i] = NextWipeByte();
}

void SetWipeSeedSourceForTesting(SeedSource source) { g_seedSource.store(source); }

}  // namespace kivo
