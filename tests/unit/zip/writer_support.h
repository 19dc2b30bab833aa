#pragma once
// Helpers of the archive-writing tests: item lists made from files, and a
// parser of the archive bytes that shares nothing with the writer, so the
// layout is checked against the format rather than against itself.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Random.h"
#include "scan/ItemList.h"
#include "zip/format/ZipCrypto.h"
#include "support/TempDir.h"

namespace kivo::test {

// Adds `path` to `list` with its relative name starting at `relativeStart`.
inline void AddItem(ItemList& list, const std::string& path, std::size_t relativeStart) {
    ItemRecord record;
    record.path = path;
    record.relativeStart = static_cast<std::uint32_t>(relativeStart);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    record.size = ec ? 0 : size;
    if (!list.Add(record)) throw std::runtime_error("ItemList::Add failed for " + path);
}

// Adds files of `root` (names relative to it); their entry names are the
// names given, as when a set lists the files below the root's own name.
inline void AddItems(ItemList& list, const std::string& root,
                     const std::vector<std::string>& names) {
    for (const auto& name : names) AddItem(list, root + "/" + name, root.size() + 1);
}

inline std::uint16_t Le16(const std::string& b, std::size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("truncated archive");
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

inline std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(Le16(b, at)) |
           static_cast<std::uint32_t>(Le16(b, at + 2)) << 16;
}

inline std::uint64_t Le64(const std::string& b, std::size_t at) {
    return static_cast<std::uint64_t>(Le32(b, at)) | static_cast<std::uint64_t>(Le32(b, at + 4)) << 32;
}

// The values of the Zip64 extended information field (id 1) in an extra
// block, in their order; empty when there is none.
inline std::vector<std::uint64_t> Zip64Values(const std::string& extra) {
    std::vector<std::uint64_t> values;
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint16_t id = Le16(extra, at);
        const std::uint16_t size = Le16(extra, at + 2);
        if (id == 1) {
            for (std::size_t v = 0; v + 8 <= size; v += 8) values.push_back(Le64(extra, at + 4 + v));
        }
        at += 4 + size;
    }
    return values;
}

struct ParsedLocal {
    std::size_t position = 0;
    std::uint32_t signature = 0;
    std::uint16_t versionNeeded = 0, flags = 0, method = 0, time = 0, date = 0;
    std::uint32_t crc = 0, compressedSize = 0, uncompressedSize = 0;
    std::uint16_t nameLength = 0, extraLength = 0;
    std::string name;
    std::string extra;
    std::string data;  // compressedSize bytes after name and extra field
};

struct ParsedCentral {
    std::size_t position = 0;
    std::uint32_t signature = 0;
    std::uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0, time = 0,
                  date = 0;
    std::uint32_t crc = 0, compressedSize = 0, uncompressedSize = 0;
    std::uint16_t nameLength = 0, extraLength = 0, commentLength = 0, diskStart = 0,
                  internalAttributes = 0;
    std::uint32_t externalAttributes = 0, localHeaderOffset = 0;
    std::string name;
    std::string extra;
};

struct ParsedEnd {
    std::size_t position = 0;
    std::uint32_t signature = 0;
    std::uint16_t thisDisk = 0, directoryDisk = 0, entriesOnDisk = 0, totalEntries = 0;
    std::uint32_t directorySize = 0, directoryOffset = 0;
    std::uint16_t commentLength = 0;
};

// The Zip64 end record and its locator, when present.
struct ParsedZip64End {
    bool present = false;
    std::size_t position = 0;
    std::uint64_t recordSize = 0;
    std::uint16_t versionMadeBy = 0, versionNeeded = 0;
    std::uint32_t thisDisk = 0, directoryDisk = 0;
    std::uint64_t entriesOnDisk = 0, totalEntries = 0, directorySize = 0, directoryOffset = 0;
    std::uint32_t locatorDisk = 0, totalDisks = 0;
    std::uint64_t locatorOffset = 0;
};

struct ParsedArchive {
    std::vector<ParsedLocal> locals;
    std::vector<ParsedCentral> centrals;
    ParsedZip64End zip64;
    ParsedEnd end;
    std::size_t trailing = 0;  // bytes after the end record
};

// Walks the archive front to back: local entries, central headers, end
// record. Throws on anything that does not fit that shape.
inline ParsedArchive ParseArchive(const std::string& b) {
    ParsedArchive out;
    std::size_t at = 0;
    while (at + 4 <= b.size() && Le32(b, at) == 0x04034b50) {
        ParsedLocal l;
        l.position = at;
        l.signature = Le32(b, at);
        l.versionNeeded = Le16(b, at + 4);
        l.flags = Le16(b, at + 6);
        l.method = Le16(b, at + 8);
        l.time = Le16(b, at + 10);
        l.date = Le16(b, at + 12);
        l.crc = Le32(b, at + 14);
        l.compressedSize = Le32(b, at + 18);
        l.uncompressedSize = Le32(b, at + 22);
        l.nameLength = Le16(b, at + 26);
        l.extraLength = Le16(b, at + 28);
        const std::size_t nameAt = at + 30;
        const std::size_t dataAt = nameAt + l.nameLength + l.extraLength;
        l.name = b.substr(nameAt, l.nameLength);
        l.extra = b.substr(nameAt + l.nameLength, l.extraLength);
        std::uint64_t dataSize = l.compressedSize;
        if (l.compressedSize == 0xFFFFFFFFu) {
            const auto zip64 = Zip64Values(l.extra);
            if (zip64.size() != 2) throw std::runtime_error("local Zip64 field without both sizes");
            dataSize = zip64[1];
        }
        if (dataAt + dataSize > b.size()) throw std::runtime_error("entry past end");
        l.data = b.substr(dataAt, dataSize);
        at = dataAt + dataSize;
        out.locals.push_back(l);
    }
    while (at + 4 <= b.size() && Le32(b, at) == 0x02014b50) {
        ParsedCentral c;
        c.position = at;
        c.signature = Le32(b, at);
        c.versionMadeBy = Le16(b, at + 4);
        c.versionNeeded = Le16(b, at + 6);
        c.flags = Le16(b, at + 8);
        c.method = Le16(b, at + 10);
        c.time = Le16(b, at + 12);
        c.date = Le16(b, at + 14);
        c.crc = Le32(b, at + 16);
        c.compressedSize = Le32(b, at + 20);
        c.uncompressedSize = Le32(b, at + 24);
        c.nameLength = Le16(b, at + 28);
        c.extraLength = Le16(b, at + 30);
        c.commentLength = Le16(b, at + 32);
        c.diskStart = Le16(b, at + 34);
        c.internalAttributes = Le16(b, at + 36);
        c.externalAttributes = Le32(b, at + 38);
        c.localHeaderOffset = Le32(b, at + 42);
        if (at + 46 + c.nameLength + c.extraLength > b.size())
            throw std::runtime_error("name past end");
        c.name = b.substr(at + 46, c.nameLength);
        c.extra = b.substr(at + 46 + c.nameLength, c.extraLength);
        at += 46 + c.nameLength + c.extraLength + c.commentLength;
        out.centrals.push_back(c);
    }
    if (at + 4 <= b.size() && Le32(b, at) == 0x06064b50) {
        ParsedZip64End& z = out.zip64;
        z.present = true;
        z.position = at;
        z.recordSize = Le64(b, at + 4);
        z.versionMadeBy = Le16(b, at + 12);
        z.versionNeeded = Le16(b, at + 14);
        z.thisDisk = Le32(b, at + 16);
        z.directoryDisk = Le32(b, at + 20);
        z.entriesOnDisk = Le64(b, at + 24);
        z.totalEntries = Le64(b, at + 32);
        z.directorySize = Le64(b, at + 40);
        z.directoryOffset = Le64(b, at + 48);
        at += 12 + z.recordSize;
        if (Le32(b, at) != 0x07064b50) throw std::runtime_error("no Zip64 locator");
        z.locatorDisk = Le32(b, at + 4);
        z.locatorOffset = Le64(b, at + 8);
        z.totalDisks = Le32(b, at + 16);
        at += 20;
    }
    if (at + 22 > b.size() || Le32(b, at) != 0x06054b50) throw std::runtime_error("no end record");
    ParsedEnd& e = out.end;
    e.position = at;
    e.signature = Le32(b, at);
    e.thisDisk = Le16(b, at + 4);
    e.directoryDisk = Le16(b, at + 6);
    e.entriesOnDisk = Le16(b, at + 8);
    e.totalEntries = Le16(b, at + 10);
    e.directorySize = Le32(b, at + 12);
    e.directoryOffset = Le32(b, at + 16);
    e.commentLength = Le16(b, at + 20);
    out.trailing = b.size() - (at + 22);
    return out;
}

// The Info-ZIP Unicode Path extra field for a UTF-8 name, built from the
// format's description: id 0x7075, data size, version 1, CRC-32 of the name
// field, the UTF-8 name.
inline std::string UnicodePathExtra(const std::string& name) {
    std::string field = "\x75\x70";
    const std::size_t size = 5 + name.size();
    field += static_cast<char>(size & 0xFF);
    field += static_cast<char>(size >> 8);
    field += '\x01';
    const auto crc = static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size())));
    for (int i = 0; i < 4; ++i) field += static_cast<char>((crc >> (8 * i)) & 0xFF);
    return field + name;
}

// The extended timestamp field (id 0x5455) as Info-ZIP writes it with the
// modification time only: flags 1, then the time as 32-bit Unix seconds.
inline std::string ExtendedTimestampExtra(std::uint32_t unixSeconds) {
    std::string field("\x55\x54\x05\x00\x01", 5);
    for (int i = 0; i < 4; ++i) field += static_cast<char>((unixSeconds >> (8 * i)) & 0xFF);
    return field;
}

// Gives 0, 1, 2, ... from the start of every request for random bytes, so
// encrypted archives can be compared byte for byte, while in scope.
struct FixedRandom {
    FixedRandom() { SetRandomSourceForTesting(&Counting); }
    ~FixedRandom() { SetRandomSourceForTesting(nullptr); }
    FixedRandom(const FixedRandom&) = delete;
    FixedRandom& operator=(const FixedRandom&) = delete;
    static bool Counting(void* buffer, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            static_cast<unsigned char*>(buffer)[i] = static_cast<unsigned char>(i);
        return true;
    }
};

// An encrypted entry's data decrypted with `password`: the 12 header bytes,
// then the deflated bytes.
inline std::string Decrypted(const std::string& data, const std::string& password) {
    zip::ZipCrypto crypto;
    crypto.InitKeys(password.data(), password.size());
    std::string plain = data;
    crypto.DecryptBuffer(reinterpret_cast<unsigned char*>(plain.data()), plain.size());
    return plain;
}

// The check bytes readers compare: header bytes 10 and 11 hold bits 16..31
// of the CRC.
inline bool CheckBytesMatch(const std::string& decrypted, std::uint32_t crc) {
    return decrypted.size() >= 12 &&
           static_cast<unsigned char>(decrypted[10]) == ((crc >> 16) & 0xFF) &&
           static_cast<unsigned char>(decrypted[11]) == (crc >> 24);
}

// Raw inflate of a whole entry's data.
inline std::string Inflate(const std::string& data) {
    z_stream s{};
    if (inflateInit2(&s, -15) != Z_OK) throw std::runtime_error("inflateInit2");
    std::string out;
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    char buf[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        s.next_out = reinterpret_cast<Bytef*>(buf);
        s.avail_out = sizeof buf;
        rc = inflate(&s, Z_NO_FLUSH);
        out.append(buf, sizeof buf - s.avail_out);
    }
    const bool whole = rc == Z_STREAM_END && s.avail_in == 0;
    inflateEnd(&s);
    if (!whole) throw std::runtime_error("bad deflate data");
    return out;
}

inline std::uint32_t ZlibCrc(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Names in `folder`, so a test can see that no temporary file was left.
inline std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Text of `size` bytes that deflates to something, but not to nothing.
inline std::string SampleText(std::size_t size, unsigned seed = 1) {
    std::string s;
    s.reserve(size);
    std::uint32_t x = seed * 2654435761u + 1;
    static const char* const words[] = {"zip ", "archive ", "entry ", "deflate ", "kivo\n",
                                        "set ", "copy ", "crc "};
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 16) % 8];
        if ((x >> 8) % 13 == 0) s += static_cast<char>('A' + (x >> 20) % 26);
    }
    s.resize(size);
    return s;
}

// Bytes that do not compress.
inline std::string NoiseBytes(std::size_t size, unsigned seed = 7) {
    std::string s(size, '\0');
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& c : s) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

}  // namespace kivo::test
