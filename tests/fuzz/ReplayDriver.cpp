// Deterministic stand-in for libFuzzer: mutates each seed with a fixed
// pseudo-random sequence (bit flips, byte sets, truncation, insertion,
// duplication of a slice) and feeds every variant to the target. Runs under
// the sanitizers as an ordinary test.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "FuzzSeeds.h"

namespace {

std::string Mutate(const std::string& seed, std::mt19937& rng) {
    std::string data = seed;
    const int steps = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < steps; ++i) {
        const std::size_t size = data.size();
        switch (rng() % 6) {
            case 0:
                if (size) data[rng() % size] ^= static_cast<char>(1u << (rng() % 8));
                break;
            case 1:
                if (size) data[rng() % size] = static_cast<char>(rng() % 256);
                break;
            case 2:
                if (size) data.resize(rng() % size);
                break;
            case 3:
                data.insert(data.begin() + static_cast<long>(size ? rng() % size : 0),
                            static_cast<char>(rng() % 256));
                break;
            case 4:
                if (size > 4) {
                    // Interesting values where counts and lengths live.
                    static const unsigned char kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
                    data[rng() % size] = static_cast<char>(kEdges[rng() % sizeof kEdges]);
                }
                break;
            default:
                if (size > 2 && size < (1u << 20)) {
                    const std::size_t from = rng() % size;
                    const std::size_t len = 1 + rng() % (size - from);
                    data.insert(rng() % size, data.substr(from, len));
                }
                break;
        }
    }
    return data;
}

}  // namespace

// Writes the seeds as files, to start a libFuzzer corpus from them.
int WriteSeeds(const char* folder) {
    int index = 0;
    for (const std::string& seed : FuzzSeeds()) {
        const std::string path = std::string(folder) + "/seed-" + std::to_string(index++);
        FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr || std::fwrite(seed.data(), 1, seed.size(), out) != seed.size()) {
            std::fprintf(stderr, "can not write %s\n", path.c_str());
            if (out != nullptr) std::fclose(out);
            return 1;
        }
        std::fclose(out);
    }
    std::printf("wrote %d seeds to %s\n", index, folder);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") return WriteSeeds(argv[2]);
    const long iterations = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2000;
    std::mt19937 rng(20261208u);
    const std::vector<std::string> seeds = FuzzSeeds();
    long runs = 0;
    for (const std::string& seed : seeds) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
        ++runs;
    }
    for (long i = 0; i < iterations && !seeds.empty(); ++i) {
        const std::string input = Mutate(seeds[rng() % seeds.size()], rng);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        ++runs;
    }
    std::printf("replayed %ld inputs\n", runs);
    return 0;
}
