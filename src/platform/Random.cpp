#include "platform/Random.h"

#include <sys/random.h>

#include <atomic>
#include <cerrno>

#include "platform/Faults.h"

namespace kivo {
namespace {

std::atomic<RandomSource> testSource{nullptr};

}  // namespace

bool FillRandom(void* buffer, std::size_t size) {
    if (faults::ShouldFail(faults::Call::Random, nullptr)) return false;
    if (const RandomSource source = testSource.load()) return source(buffer, size);
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::getrandom(out, size, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void SetRandomSourceForTesting(RandomSource source) { testSource.store(source); }

}  // namespace kivo
