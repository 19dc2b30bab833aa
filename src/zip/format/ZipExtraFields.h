#pragma once
// Reading the extra fields that follow an entry's name: a chain of blocks,
// each a 16-bit header id and a 16-bit data size before its data.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kivo::zip {

// The data of the first block with `id`, or nothing when the chain holds
// none. The walk stops at a block whose size runs past the end: writers
// disagree about padding, so a damaged tail only hides what it holds.
std::optional<std::string_view> FindExtraField(std::string_view extra, std::uint16_t id);

// Replaces each 32-bit value that holds the 0xFFFFFFFF marker by the next
// 64-bit value of a Zip64 extended information field, in the order the
// values are given (uncompressed size, compressed size, local header
// offset). A value without the marker takes nothing from the field. No
// field leaves the markers as they are; false when the field is too short
// for the markers it must answer.
bool ApplyZip64Field(std::string_view extra, std::uint64_t* uncompressed,
                     std::uint64_t* compressed, std::uint64_t* offset);

}  // namespace kivo::zip
