#pragma once
// Builds zip archives byte by byte, so tests control every field, including
// the ones other tools would never write.
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zip/format/ZipCrypto.h"
#include "zip/format/ZipFormat.h"

namespace kivo::test {

inline std::string RawDeflate(const std::string& data) {
    z_stream s{};
    deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, data.size()) + 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

inline std::uint32_t CrcOf(const std::string& data) {
    return static_cast<std::uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Member {
    Member(std::string n, std::string c, std::uint16_t m = zip::kMethodDeflated)
        : name(std::move(n)), content(std::move(c)), method(m) {}
    std::string name;
    std::string content;
    std::uint16_t method = zip::kMethodDeflated;
    std::string password;        // empty: not encrypted
    bool dataDescriptor = false;  // local CRC and sizes zero, values after the data
    std::uint16_t flags = 0;      // extra general-purpose bits
    std::uint16_t dosTime = 0x6C2A;  // 13:33:20
    std::uint16_t dosDate = 0x5A8C;  // 2025-04-12
    std::string centralExtra;    // extra field of the central header only
    std::string localExtra;      // extra field of the local header (after any Zip64 field)
    // Local sizes as markers with both real ones in a Zip64 field, as
    // Info-ZIP writes an entry read from standard input.
    bool localZip64 = false;
    std::uint16_t madeBy = 20;   // version made by; the high byte is the host
    std::uint32_t externalAttributes = 0;
    // XORed into the encryption header's byte 10, which writers after the
    // classic PKZIP 2 fill at random: only byte 11 checks the password.
    unsigned char byte10Noise = 0;
    // The entry's data as stored, in place of what `method` would make of
    // the content (another method's stream, an AES entry's data).
    std::optional<std::string> packed;
    std::string extraBoth;  // extra field of both headers (an AES field)
    // Sizes and CRC the headers state, in place of the content's own.
    std::optional<std::uint32_t> statedSize;
    std::optional<std::uint32_t> statedCrc;
};

inline void Put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
inline void Put32(std::string& s, std::uint32_t v) {
    Put16(s, static_cast<std::uint16_t>(v));
    Put16(s, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(std::string& s, std::uint64_t v) {
    Put32(s, static_cast<std::uint32_t>(v));
    Put32(s, static_cast<std::uint32_t>(v >> 32));
}

struct ArchiveBytes {
    std::string bytes;
    std::vector<std::size_t> localOffsets;
    std::size_t centralOffset = 0;
    std::size_t endOffset = 0;
    std::size_t zip64Offset = 0;
    std::size_t entries = 0;
};

inline std::string EndRecord(std::uint16_t thisDisk, std::uint16_t centralDisk,
                             std::uint16_t onDisk, std::uint16_t total, std::uint32_t size,
                             std::uint32_t offset, const std::string& comment) {
    std::string s;
    Put32(s, zip::kEndOfCentralDirSignature);
    Put16(s, thisDisk);
    Put16(s, centralDisk);
    Put16(s, onDisk);
    Put16(s, total);
    Put32(s, size);
    Put32(s, offset);
    Put16(s, static_cast<std::uint16_t>(comment.size()));
    return s + comment;
}

inline ArchiveBytes BuildArchive(const std::vector<Member>& members,
                                 const std::string& comment = std::string()) {
    ArchiveBytes a;
    std::string central;
    for (const Member& m : members) {
        std::string data = m.packed          ? *m.packed
                           : m.method == zip::kMethodDeflated ? RawDeflate(m.content)
                                                              : m.content;
        const std::uint32_t crc = m.statedCrc.value_or(CrcOf(m.content));
        const std::size_t contentSize = m.statedSize.value_or(m.content.size());
        std::uint16_t flags = m.flags;
        if (!m.password.empty()) {
            flags |= zip::kFlagEncrypted;
            // Streaming writers check against the DOS time, the CRC being
            // unknown when the header is written.
            const std::uint32_t check =
                m.dataDescriptor ? static_cast<std::uint32_t>(m.dosTime) << 16 : crc;
            std::string header = "0123456789";
            for (int i = 0; i < 10; ++i) header[i] = static_cast<char>(i);
            header += static_cast<char>(((check >> 16) & 0xFF) ^ m.byte10Noise);
            header += static_cast<char>(check >> 24);
            zip::ZipCrypto crypto;
            crypto.InitKeys(m.password.data(), m.password.size());
            data = header + data;
            crypto.EncryptBuffer(reinterpret_cast<unsigned char*>(data.data()), data.size());
        }
        if (m.dataDescriptor) flags |= zip::kFlagDataDescriptor;
        a.localOffsets.push_back(a.bytes.size());
        std::string& s = a.bytes;
        Put32(s, zip::kLocalFileHeaderSignature);
        Put16(s, 20);
        Put16(s, flags);
        Put16(s, m.method);
        Put16(s, m.dosTime);
        Put16(s, m.dosDate);
        std::string localExtra;
        if (m.localZip64) {
            Put16(localExtra, zip::kZip64ExtraId);
            Put16(localExtra, 16);
            Put64(localExtra, contentSize);
            Put64(localExtra, data.size());
        }
        localExtra += m.localExtra;
        localExtra += m.extraBoth;
        const auto marked = [&](std::size_t v) {
            return m.dataDescriptor ? 0u : m.localZip64 ? zip::kZip64Marker32 : static_cast<std::uint32_t>(v);
        };
        Put32(s, m.dataDescriptor ? 0 : crc);
        Put32(s, marked(data.size()));
        Put32(s, marked(contentSize));
        Put16(s, static_cast<std::uint16_t>(m.name.size()));
        Put16(s, static_cast<std::uint16_t>(localExtra.size()));
        s += m.name + localExtra + data;
        if (m.dataDescriptor) {
            Put32(s, zip::kDataDescriptorSignature);
            Put32(s, crc);
            Put32(s, static_cast<std::uint32_t>(data.size()));
            Put32(s, static_cast<std::uint32_t>(contentSize));
        }
        Put32(central, zip::kCentralDirectorySignature);
        Put16(central, m.madeBy);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, m.method);
        Put16(central, m.dosTime);
        Put16(central, m.dosDate);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(data.size()));
        Put32(central, static_cast<std::uint32_t>(contentSize));
        Put16(central, static_cast<std::uint16_t>(m.name.size()));
        Put16(central, static_cast<std::uint16_t>(m.centralExtra.size() + m.extraBoth.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, m.externalAttributes);
        Put32(central, static_cast<std::uint32_t>(a.localOffsets.back()));
        central += m.name + m.centralExtra + m.extraBoth;
    }
    a.centralOffset = a.bytes.size();
    a.entries = members.size();
    a.bytes += central;
    a.endOffset = a.bytes.size();
    const auto n = static_cast<std::uint16_t>(members.size());
    a.bytes += EndRecord(0, 0, n, n, static_cast<std::uint32_t>(central.size()),
                         static_cast<std::uint32_t>(a.centralOffset), comment);
    return a;
}

// Replaces the end record with a Zip64 record (with `extensible` as its
// extensible data), its locator, and a classic record holding either the
// markers or the real values (as Info-ZIP writes when it streams from
// standard input). Sets zip64Offset and moves endOffset to the classic
// record.
inline void UseZip64End(ArchiveBytes& a, bool markers, const std::string& extensible = "") {
    std::string& s = a.bytes;
    const std::uint64_t size = a.endOffset - a.centralOffset;
    s.resize(a.endOffset);
    a.zip64Offset = s.size();
    Put32(s, zip::kZip64EndOfCentralDirSignature);
    Put64(s, 44 + extensible.size());
    Put16(s, 45);
    Put16(s, 45);
    Put32(s, 0);
    Put32(s, 0);
    Put64(s, a.entries);
    Put64(s, a.entries);
    Put64(s, size);
    Put64(s, a.centralOffset);
    s += extensible;
    Put32(s, zip::kZip64EndOfCentralDirLocatorSignature);
    Put32(s, 0);
    Put64(s, a.zip64Offset);
    Put32(s, 1);
    a.endOffset = s.size();
    const auto count = markers ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(a.entries);
    s += EndRecord(0, 0, count, count, markers ? 0xFFFFFFFF : static_cast<std::uint32_t>(size),
                   markers ? 0xFFFFFFFF : static_cast<std::uint32_t>(a.centralOffset), "");
}

// A Zip64 extended information field holding `values` in order.
inline std::string Zip64Field(const std::vector<std::uint64_t>& values) {
    std::string s;
    Put16(s, zip::kZip64ExtraId);
    Put16(s, static_cast<std::uint16_t>(8 * values.size()));
    for (std::uint64_t v : values) Put64(s, v);
    return s;
}

inline void Patch16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
inline void Patch32(std::string& s, std::size_t at, std::uint32_t v) {
    Patch16(s, at, static_cast<std::uint16_t>(v));
    Patch16(s, at + 2, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace kivo::test
