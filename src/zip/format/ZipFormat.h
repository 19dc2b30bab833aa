#pragma once
// Record layouts of the zip format, with the field names the format uses.
// Shared by the writer and the reader; all integers are little-endian.
#include <cstdint>

namespace kivo::zip {

constexpr std::uint32_t kLocalFileHeaderSignature = 0x04034b50;    // "PK\3\4"
constexpr std::uint32_t kCentralDirectorySignature = 0x02014b50;   // "PK\1\2"
constexpr std::uint32_t kEndOfCentralDirSignature = 0x06054b50;    // "PK\5\6"
constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;     // "PK\7\8"
constexpr std::uint32_t kZip64EndOfCentralDirSignature = 0x06064b50;         // "PK\6\6"
constexpr std::uint32_t kZip64EndOfCentralDirLocatorSignature = 0x07064b50;  // "PK\6\7"

constexpr unsigned kLocalFileHeaderLen = 30;
constexpr unsigned kCentralDirectoryHeaderLen = 46;
constexpr unsigned kEndOfCentralDirLen = 22;
constexpr unsigned kEncryptionHeaderLen = 12;
constexpr unsigned kZip64EndOfCentralDirLen = 56;  // without the extensible data sector
constexpr unsigned kZip64EndOfCentralDirLocatorLen = 20;
// The Zip64 record's "size of zip64 end of central directory record": what
// follows that field.
constexpr std::uint64_t kZip64EndOfCentralDirRecordSize = kZip64EndOfCentralDirLen - 12;

// Zip64 extended information extra field.
constexpr std::uint16_t kZip64ExtraId = 0x0001;
// Values that did not fit their field; the real value is in the Zip64 records.
constexpr std::uint32_t kZip64Marker32 = 0xFFFFFFFFu;
constexpr std::uint16_t kZip64Marker16 = 0xFFFF;
// "version needed to extract" of an entry or archive that uses Zip64.
constexpr std::uint16_t kVersionZip64 = 45;

// "version made by", upper byte: the host whose attributes the external
// attributes hold. Unix hosts put st_mode in their upper 16 bits.
constexpr std::uint16_t kHostUnix = 3;
constexpr unsigned kUnixModeShift = 16;

// External attributes, low byte: the MS-DOS directory attribute.
constexpr std::uint32_t kDosDirectoryAttribute = 0x10;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8 = 0x0800;  // language encoding flag

inline std::uint16_t GetU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t GetU64(const unsigned char* p) {
    return std::uint64_t{GetU32(p)} | (std::uint64_t{GetU32(p + 4)} << 32);
}
inline void PutU16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void PutU32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
inline void PutU64(unsigned char* p, std::uint64_t v) {
    PutU32(p, static_cast<std::uint32_t>(v));
    PutU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace kivo::zip
