#pragma once
// bzip2 blocks are independent: each starts with a 48-bit magic (at any
// bit position) and carries its own CRC. This decoder finds the blocks of
// an entry, decodes a batch of them at once on several threads with
// libbz2, and hands the results out in order, checking each block's CRC
// and the stream's combined CRC. Memory stays bounded: only one batch of
// blocks is held.
#include <memory>

#include "zip/format/EntryDecoder.h"

namespace kivo::zip {

// `workers` threads (at least 2 make sense); `fallback` decodes a stream
// whose header is not the usual one ("BZh1" to "BZh9") from the start, on
// one thread. A damaged block ends the stream with ChecksumError.
std::unique_ptr<EntryDecoder> MakeParallelBzip2Decoder(unsigned workers,
                                                       std::unique_ptr<EntryDecoder> fallback);

}  // namespace kivo::zip
