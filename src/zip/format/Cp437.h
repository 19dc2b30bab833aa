#pragma once
// Entry names arrive as raw bytes: UTF-8 when the archive says so (or when
// the bytes happen to be valid UTF-8), otherwise in the DOS code page 437
// that zip tools have always assumed. The program works in UTF-8 throughout.
#include <cstdint>
#include <string>
#include <string_view>

namespace kivo::zip {

bool IsValidUtf8(std::string_view bytes);

// Every byte above 0x7F becomes the UTF-8 form of its code page 437 glyph;
// ASCII passes unchanged.
std::string Cp437ToUtf8(std::string_view bytes);

// The name as the program shows and writes it, from the raw name bytes,
// the entry's general-purpose flags and the host that made it: a name made
// on Unix is its bytes, as Unix tools take it, whatever they are.
std::string DecodeEntryName(std::string_view raw, std::uint16_t flags, unsigned host = 0);

}  // namespace kivo::zip
