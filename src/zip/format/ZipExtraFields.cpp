#include "zip/format/ZipExtraFields.h"

#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::optional<std::string_view> FindExtraField(std::string_view extra, std::uint16_t id) {
    std::size_t at = 0;
    while (extra.size() - at >= 4) {
        const std::uint16_t blockId = GetU16(Bytes(extra) + at);
        const std::size_t size = GetU16(Bytes(extra) + at + 2);
        at += 4;
        if (size > extra.size() - at) break;
        if (blockId == id) return extra.substr(at, size);
        at += size;
    }
    return std::nullopt;
}

bool ApplyZip64Field(std::string_view extra, std::uint64_t* uncompressed,
                     std::uint64_t* compressed, std::uint64_t* offset) {
    std::uint64_t* const values[] = {uncompressed, compressed, offset};
    bool marked = false;
    for (std::uint64_t* value : values) marked |= value && *value == kZip64Marker32;
    if (!marked) return true;
    const std::optional<std::string_view> field = FindExtraField(extra, kZip64ExtraId);
    if (!field) return true;
    std::size_t at = 0;
    for (std::uint64_t* value : values) {
        if (!value || *value != kZip64Marker32) continue;
        if (field->size() - at < 8) return false;
        *value = GetU64(Bytes(*field) + at);
        at += 8;
    }
    return true;
}

}  // namespace kivo::zip
