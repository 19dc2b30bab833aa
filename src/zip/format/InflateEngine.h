#pragma once
// Raw deflate (method 8) has two decoders: ISA-L's, several times faster,
// where the program was built with it, and zlib's. Both give the same bytes
// for a sound stream and fail on the same damaged ones.
#include <memory>

#include "zip/format/EntryDecoder.h"

namespace kivo::zip {

enum class InflateEngine { Zlib, Isal };

// Whether the program was built with `engine`.
bool InflateEngineBuilt(InflateEngine engine);

// The engine new Deflate entries are decoded with: ISA-L where built, else
// zlib. Choosing one not built changes nothing and returns false.
bool SelectInflateEngine(InflateEngine engine);
InflateEngine SelectedInflateEngine();

// A raw inflate decoder of `engine` (null, with `status` set, when it
// cannot be set up or was not built).
std::unique_ptr<EntryDecoder> MakeInflateDecoder(InflateEngine engine, DecodeStatus& status);

}  // namespace kivo::zip
