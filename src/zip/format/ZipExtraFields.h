#pragma once
// Reading the extra fields that follow an entry's name: a chain of blocks,
// each a 16-bit header id and a 16-bit data size before its data.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileTime.h"

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

constexpr std::uint16_t kExtendedTimestampExtraId = 0x5455;
constexpr std::uint16_t kNtfsExtraId = 0x000a;
constexpr std::uint16_t kInfoZipUnixExtraId = 0x5855;

// The extended timestamp field with the modification time alone (flag 1),
// as Info-ZIP writes it in both headers. Empty when the time is outside
// what its signed 32-bit seconds can hold without being misread: before
// 1970 or from 2038 on.
std::string ExtendedTimestampField(FileTime lastWrite);

// The modification time the extra fields carry in UTC: the extended
// timestamp's, else NTFS's, else the old Info-ZIP Unix field's. Nothing
// when none of them holds one.
std::optional<FileTime> ExtraFieldTime(std::string_view extra);

// The name an Info-ZIP Unicode Path field (version 1) gives, when its
// CRC-32 is that of `headerName`, the name bytes of the header it sits in
// (a name changed by a tool that did not know the field no longer
// matches), and what it holds is UTF-8.
std::optional<std::string> UnicodePathName(std::string_view extra, std::string_view headerName);

}  // namespace kivo::zip
