#pragma once
// Entry data in the methods other tools write, made with the reference
// libraries, for archives no tool on this platform writes (zstd, xz, LZMA
// without an end marker).
#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kivo::test {

inline std::string ZstdStream(const std::string& data) {
    std::string out(ZSTD_compressBound(data.size()), '\0');
    const std::size_t n = ZSTD_compress(out.data(), out.size(), data.data(), data.size(), 3);
    if (ZSTD_isError(n)) throw std::runtime_error("zstd");
    out.resize(n);
    return out;
}

inline std::string XzStream(const std::string& data) {
    std::string out(lzma_stream_buffer_bound(data.size()), '\0');
    std::size_t pos = 0;
    if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr,
                                reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                                reinterpret_cast<uint8_t*>(out.data()), &pos, out.size()) != LZMA_OK)
        throw std::runtime_error("xz");
    out.resize(pos);
    return out;
}

inline std::string Bzip2Stream(const std::string& data) {
    std::string out(data.size() + data.size() / 100 + 600, '\0');
    auto length = static_cast<unsigned>(out.size());
    if (BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(data.data()),
                                 static_cast<unsigned>(data.size()), 9, 0, 0) != BZ_OK)
        throw std::runtime_error("bzip2");
    out.resize(length);
    return out;
}

// The zip LZMA layout: version 2 bytes, properties size 2 bytes (5), the
// properties, the raw LZMA1 stream; with or without the end marker.
inline std::string ZipLzmaStream(const std::string& data, bool endMarker) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6)) throw std::runtime_error("lzma preset");
    options.dict_size = 1 << 20;
    options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_filter filters[] = {{endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
                             {LZMA_VLI_UNKNOWN, nullptr}};
    uint8_t props[5];
    lzma_filter forProps{LZMA_FILTER_LZMA1, &options};
    if (lzma_properties_encode(&forProps, props) != LZMA_OK) throw std::runtime_error("props");
    std::string out(data.size() + data.size() / 2 + 1024, '\0');
    std::size_t pos = 0;
    if (lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const uint8_t*>(data.data()),
                               data.size(), reinterpret_cast<uint8_t*>(out.data()), &pos,
                               out.size()) != LZMA_OK)
        throw std::runtime_error("lzma");
    out.resize(pos);
    std::string header = {5, 4, 5, 0};
    header.append(reinterpret_cast<const char*>(props), sizeof props);
    return header + out;
}

}  // namespace kivo::test
