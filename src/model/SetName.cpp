#include "model/SetName.h"

#include <algorithm>
#include <iterator>

#include "model/CaseFoldTable.h"

namespace kivo {

namespace {

// A byte that is not part of a valid UTF-8 sequence stands for itself,
// above every code point, so it never equals a decoded letter.
constexpr char32_t kInvalidByte = 0x110000;

char32_t Invalid(std::string_view text, std::size_t& pos) {
    return kInvalidByte + static_cast<unsigned char>(text[pos++]);
}

// The folded code point at `pos`, which moves past it. Overlong forms,
// surrogates and values above U+10FFFF are invalid, one byte at a time.
char32_t NextUnit(std::string_view text, std::size_t& pos) {
    const auto byteAt = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        ++pos;
        return FoldCase(lead);
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        smallest = 0x10000;
    } else {
        return Invalid(text, pos);
    }
    if (text.size() - pos < length) return Invalid(text, pos);
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byteAt(pos + i);
        if ((next & 0xC0) != 0x80) return Invalid(text, pos);
        code = (code << 6) | (next & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return Invalid(text, pos);
    }
    pos += length;
    return FoldCase(code);
}

}  // namespace

char32_t FoldCase(char32_t c) {
    using casefold::kRanges;
    const auto after = std::upper_bound(std::begin(kRanges), std::end(kRanges), c,
                                        [](char32_t code, const casefold::Range& range) {
                                            return code < range.first;
                                        });
    if (after == std::begin(kRanges)) return c;
    const casefold::Range& range = *std::prev(after);
    if (c > range.last || (c - range.first) % range.step != 0) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + range.delta);
}

bool SameSetName(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (NextUnit(a, i) != NextUnit(b, j)) return false;
    }
    return i == a.size() && j == b.size();
}

}  // namespace kivo
