#pragma once
// The compression methods an entry's data may use, behind one streaming
// interface: the caller hands in compressed bytes as it reads them and takes
// out decoded bytes into a buffer of its own, so memory stays bounded
// whatever the entry's size.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kivo::zip {

constexpr std::uint16_t kMethodDeflate64 = 9;
constexpr std::uint16_t kMethodBzip2 = 12;
constexpr std::uint16_t kMethodLzma = 14;
constexpr std::uint16_t kMethodZstdOld = 20;
constexpr std::uint16_t kMethodZstd = 93;
constexpr std::uint16_t kMethodXz = 95;
constexpr std::uint16_t kMethodPpmd = 98;
constexpr std::uint16_t kMethodAes = 99;

// General-purpose flag bit 1 of an LZMA entry: its stream ends with an end
// marker.
constexpr std::uint16_t kFlagLzmaEndMarker = 0x0002;

// bzip2 entries of at least this size (several blocks) are decoded on
// every usable processor.
constexpr std::uint64_t kParallelBzip2From = 2ull << 20;

// The most one decoder may hold (dictionaries, windows); a stream asking
// for more fails as out of memory rather than taking the machine's memory.
constexpr std::uint64_t kMaxDecoderMemory = 1ull << 30;

enum class DecodeStatus {
    Ok,        // went on; call again (with more input once it is all taken)
    End,       // the stream is complete
    DataError, // the stream is damaged
    ChecksumError,  // a part of the stream fails its own check value
    NoMemory,  // the stream needs more than kMaxDecoderMemory, or allocation failed
};

class EntryDecoder {
public:
    virtual ~EntryDecoder() = default;

    // Decodes from `in` into `out`. `inputEnd` says no input follows the
    // `inSize` bytes given. `consumed` and `produced` say how much of each
    // buffer was used; Ok with both 0 and all input given means the stream
    // stopped short of its end.
    virtual DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                                unsigned char* out, std::size_t outSize, std::size_t& consumed,
                                std::size_t& produced) = 0;
};

// Whether entries of `method` can be decoded.
bool IsMethodSupported(std::uint16_t method);

// The method's common name ("PPMd"), or null for one without a known name.
const char* MethodName(std::uint16_t method);

// A decoder for `method`; `flags` are the entry's general-purpose flags and
// `uncompressedSize` its stated size (LZMA without an end marker needs
// both). Null when the method is not supported or a decoder cannot be set
// up; `status` then says NoMemory or DataError.
std::unique_ptr<EntryDecoder> MakeEntryDecoder(std::uint16_t method, std::uint16_t flags,
                                               std::uint64_t uncompressedSize,
                                               DecodeStatus& status);

}  // namespace kivo::zip
