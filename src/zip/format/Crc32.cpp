#include "zip/format/Crc32.h"

#ifdef KIVO_HAVE_ISAL
#include <isa-l/crc.h>
#endif

namespace kivo::zip {

namespace {

// Eight derived tables let the loop fold eight bytes per step; every file
// is read once just for its CRC, so this pass has to be cheap.
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeSlicedTables() {
    std::array<std::array<std::uint32_t, 256>, 8> tables{};
    tables[0] = kCrc32Table;
    for (std::size_t n = 0; n < 256; ++n) {
        for (std::size_t k = 1; k < 8; ++k) {
            const std::uint32_t prev = tables[k - 1][n];
            tables[k][n] = kCrc32Table[prev & 0xFF] ^ (prev >> 8);
        }
    }
    return tables;
}

constexpr auto kSliced = MakeSlicedTables();

[[maybe_unused]] std::uint32_t Advance(std::uint32_t crc, const unsigned char* p, std::size_t size) {
    while (size >= 8) {
        const std::uint32_t lo =
            crc ^ (static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                   (static_cast<std::uint32_t>(p[2]) << 16) |
                   (static_cast<std::uint32_t>(p[3]) << 24));
        crc = kSliced[7][lo & 0xFF] ^ kSliced[6][(lo >> 8) & 0xFF] ^
              kSliced[5][(lo >> 16) & 0xFF] ^ kSliced[4][lo >> 24] ^ kSliced[3][p[4]] ^
              kSliced[2][p[5]] ^ kSliced[1][p[6]] ^ kSliced[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = Crc32Step(crc, *p++);
    return crc;
}

}  // namespace

std::uint32_t Crc32::Update(const void* data, std::size_t size) {
#ifdef KIVO_HAVE_ISAL
    // ISA-L takes and returns the complemented value; it picks the folding
    // code for the processor at run time and has a portable one besides.
    register_ = ~crc32_gzip_refl(~register_, static_cast<const unsigned char*>(data), size);
#else
    register_ = Advance(register_, static_cast<const unsigned char*>(data), size);
#endif
    return ~register_;
}

std::uint32_t Crc32::Of(const void* data, std::size_t size) {
    Crc32 crc;
    return crc.Update(data, size);
}

}  // namespace kivo::zip
