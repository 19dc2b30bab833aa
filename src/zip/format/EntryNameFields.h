#pragma once
// How an entry name is marked in its headers. Names on this platform are
// UTF-8: a name that is valid UTF-8 and not plain ASCII gets the language
// encoding flag, and an Info-ZIP Unicode Path extra field, which Info-ZIP's
// unzip needs because it ignores the flag in archives made on an MS-DOS
// host. Plain ASCII names, and byte strings that are not UTF-8 at all, get
// neither.
#include <cstdint>
#include <string>

namespace kivo::zip {

constexpr std::uint16_t kUnicodePathExtraId = 0x7075;
// Header id, data size, version and name CRC before the name itself.
constexpr std::size_t kUnicodePathExtraFixed = 9;

bool IsUtf8BeyondAscii(const std::string& name);

// General-purpose flags: bit 0 when encrypted, bit 11 for a UTF-8 name.
std::uint16_t EntryFlags(const std::string& entryName, bool encrypted);

// The extra field bytes of an entry: empty, or the Unicode Path field.
std::string EntryExtraField(const std::string& entryName);

}  // namespace kivo::zip
