#pragma once
// The zip CRC-32 (reflected polynomial 0xEDB88320, start 0xFFFFFFFF, final
// complement). The 256-entry table is public because the traditional zip
// cipher steps its keys through the same table without the complements.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kivo::zip {

namespace detail {
constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
}  // namespace detail

inline constexpr std::array<std::uint32_t, 256> kCrc32Table = detail::MakeCrc32Table();

// One table step of a raw (uncomplemented) CRC register with one byte.
constexpr std::uint32_t Crc32Step(std::uint32_t value, unsigned char byte) {
    return kCrc32Table[(value ^ byte) & 0xFF] ^ (value >> 8);
}

// Running CRC-32 over a sequence of blocks.
class Crc32 {
public:
    // Feeds `size` bytes and returns the CRC-32 of everything fed so far.
    std::uint32_t Update(const void* data, std::size_t size);
    std::uint32_t Value() const { return ~register_; }
    void Reset() { register_ = 0xFFFFFFFFu; }

    // CRC-32 of one buffer.
    static std::uint32_t Of(const void* data, std::size_t size);

private:
    std::uint32_t register_ = 0xFFFFFFFFu;
};

}  // namespace kivo::zip
