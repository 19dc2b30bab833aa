#pragma once
// Deflate64 ("enhanced deflate", method 9): deflate with a 64 KiB window,
// length code 285 carrying 16 extra bits (lengths up to 65,538) and the
// distance codes 30 and 31 with 14 extra bits each. No maintained library
// packages a decoder, so this is the program's own.
#include <memory>

#include "zip/format/EntryDecoder.h"

namespace kivo::zip {

// Null when the decoder's memory cannot be allocated.
std::unique_ptr<EntryDecoder> MakeDeflate64Decoder();

}  // namespace kivo::zip
