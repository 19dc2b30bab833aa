#include "zip/format/ZipExtraFields.h"

#include "zip/format/Cp437.h"
#include "zip/format/Crc32.h"
#include "zip/format/EntryNameFields.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Seconds since 1970 as a file time; the fields carry them signed.
FileTime FromUnixSeconds(std::int64_t seconds) {
    const std::int64_t sinceFileTimeEpoch = seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds);
    return sinceFileTimeEpoch <= 0 ? 0 : static_cast<FileTime>(sinceFileTimeEpoch) * kTicksPerSecond;
}

std::optional<FileTime> ExtendedTimestampTime(std::string_view extra) {
    const auto field = FindExtraField(extra, kExtendedTimestampExtraId);
    // The flags tell which times the local header carries; the central
    // field keeps the flags but may carry the modification time alone.
    if (!field || field->size() < 5 || (Bytes(*field)[0] & 1) == 0) return std::nullopt;
    return FromUnixSeconds(static_cast<std::int32_t>(GetU32(Bytes(*field) + 1)));
}

std::optional<FileTime> NtfsTime(std::string_view extra) {
    const auto field = FindExtraField(extra, kNtfsExtraId);
    if (!field) return std::nullopt;
    // Four reserved bytes, then attributes (tag, size, data); tag 1 holds
    // the modification, access and creation times as file times.
    std::size_t at = 4;
    while (field->size() >= at + 4) {
        const std::uint16_t tag = GetU16(Bytes(*field) + at);
        const std::size_t size = GetU16(Bytes(*field) + at + 2);
        at += 4;
        if (size > field->size() - at) break;
        if (tag == 1 && size >= 8) {
            const std::uint64_t time = GetU64(Bytes(*field) + at);
            if (time == 0) return std::nullopt;
            return time;
        }
        at += size;
    }
    return std::nullopt;
}

std::optional<FileTime> InfoZipUnixTime(std::string_view extra) {
    const auto field = FindExtraField(extra, kInfoZipUnixExtraId);
    // Access time, then modification time.
    if (!field || field->size() < 8) return std::nullopt;
    return FromUnixSeconds(static_cast<std::int32_t>(GetU32(Bytes(*field) + 4)));
}

}  // namespace

std::string ExtendedTimestampField(FileTime lastWrite) {
    const std::uint64_t seconds = lastWrite / kTicksPerSecond;
    if (seconds < kEpochDifferenceSeconds || seconds - kEpochDifferenceSeconds >= (1ull << 31))
        return std::string();
    unsigned char field[9];
    PutU16(field, kExtendedTimestampExtraId);
    PutU16(field + 2, 5);
    field[4] = 1;  // the modification time follows
    PutU32(field + 5, static_cast<std::uint32_t>(seconds - kEpochDifferenceSeconds));
    return std::string(reinterpret_cast<const char*>(field), sizeof field);
}

std::optional<FileTime> ExtraFieldTime(std::string_view extra) {
    if (auto time = ExtendedTimestampTime(extra)) return time;
    if (auto time = NtfsTime(extra)) return time;
    return InfoZipUnixTime(extra);
}

std::optional<std::string> UnicodePathName(std::string_view extra, std::string_view headerName) {
    const auto field = FindExtraField(extra, kUnicodePathExtraId);
    if (!field || field->size() < 5 || Bytes(*field)[0] != 1) return std::nullopt;
    if (GetU32(Bytes(*field) + 1) != Crc32::Of(headerName.data(), headerName.size()))
        return std::nullopt;
    const std::string_view name = field->substr(5);
    if (name.empty() || !IsValidUtf8(name)) return std::nullopt;
    return std::string(name);
}

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
