#include "zip/ZipArchiveWriter.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <new>
#include <vector>

#include "platform/Attributes.h"
#include "platform/Cpu.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Folder.h"
#include "platform/Paths.h"
#include "platform/PrivateTemp.h"
#include "zip/format/ZipEntryWriter.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/WinZipAes.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

constexpr std::uint16_t kVersion = 11;
// The central directory is gathered into blocks of this size before writing.
constexpr std::size_t kDirectoryBlock = 65536;
// Deflate never runs on more threads than this, however many processors
// there are: beyond it, reading and writing in order is the limit.
constexpr unsigned kMaxThreads = 8;

std::string FolderOf(const std::string& path) {
    const std::string folder = ParentFolder(path);
    return folder.empty() ? std::string(".") : folder;
}

// The archive's name as part of its temporary file's name, short enough
// that the two together stay within the 255 bytes a name may have, and
// cut at a character boundary.
std::string TempNamePart(const std::string& path) {
    constexpr std::size_t kMaxPart = 200;
    std::string name = BaseName(path);
    if (name.size() > kMaxPart) {
        std::size_t cut = kMaxPart;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

// The archive under construction: an unnamed private file in the archive's
// folder, named only when complete, so neither a failure nor a kill leaves
// a partial archive or a temporary behind.
class TempArchive {
public:
    explicit TempArchive(const std::string& finalPath) : finalPath_(finalPath) {}
    TempArchive(const TempArchive&) = delete;
    TempArchive& operator=(const TempArchive&) = delete;

    bool Create() {
        // Hidden, and named after the archive, where a named temporary must
        // stand in for an unnamed one, so a leftover shows where it came from.
        std::string prefix(1, '.');
        prefix += TempNamePart(finalPath_);
        prefix += '.';
        if (FolderHandle::Open(FolderOf(finalPath_), folder_, /*followLink=*/true)) return false;
        return !temp_.Create(folder_, BaseName(finalPath_), prefix);
    }
    File& file() { return temp_.file(); }

    // Data on disk before the name, so a crash cannot leave an empty file
    // where the previous archive was.
    bool Commit() {
        // A replaced archive keeps who may read it: a backup kept private
        // must not become readable to all by the next run. A new one gets
        // the usual mode.
        FindData existing;
        const bool replacing = !folder_.Stat(BaseName(finalPath_), existing);
        unsigned mode = 0666 & ~CurrentUmask();
        if (replacing && !GetPermissions(finalPath_, mode)) return false;
        if (!temp_.file().Flush() || !temp_.file().SetMode(mode)) return false;
        std::error_code named = replacing ? temp_.Replace() : temp_.LinkAsNew();
        // Made by someone else in between: replaced as an existing one.
        if (named.value() == EEXIST) named = temp_.Replace();
        if (named) return false;
        return temp_.file().Close();
    }

private:
    std::string finalPath_;
    FolderHandle folder_;
    PrivateTemp temp_;
};

}  // namespace

// The central header of one entry. Sizes and offset that do not fit their
// 32-bit fields go into a Zip64 field, only those, in the order the format
// gives (uncompressed size, compressed size, offset).
void AppendCentralHeader(std::vector<unsigned char>& out, const EntryRecord& entry,
                         const ZipLimits& limits) {
    const bool bigSize = entry.size > limits.maxField32;
    const bool bigCompressed = entry.compressedSize > limits.maxField32;
    const bool bigOffset = entry.offset > limits.maxField32;
    unsigned char zip64[4 + 3 * 8] = {};
    std::size_t zip64Len = 0;
    if (bigSize || bigCompressed || bigOffset) {
        zip64Len = 4;
        for (const auto& [big, value] : {std::pair{bigSize, entry.size},
                                         std::pair{bigCompressed, entry.compressedSize},
                                         std::pair{bigOffset, entry.offset}}) {
            if (!big) continue;
            PutU64(zip64 + zip64Len, value);
            zip64Len += 8;
        }
        PutU16(zip64 + 0, kZip64ExtraId);
        PutU16(zip64 + 2, static_cast<std::uint16_t>(zip64Len - 4));
    }
    const std::uint16_t version = entry.aes ? kAesVersionNeeded
                                  : zip64Len != 0 || entry.zip64Local ? kVersionZip64
                                                                      : kVersion;
    auto field32 = [](bool big, std::uint64_t value) {
        return big ? kZip64Marker32 : static_cast<std::uint32_t>(value);
    };

    unsigned char header[kCentralDirectoryHeaderLen] = {};
    PutU32(header + 0, kCentralDirectorySignature);
    PutU16(header + 4, static_cast<std::uint16_t>((kHostUnix << 8) | version));
    PutU16(header + 6, version);
    PutU16(header + 8, entry.flags);
    PutU16(header + 10, entry.aes ? kMethodAes : kMethodDeflated);
    PutU16(header + 12, entry.time);
    PutU16(header + 14, entry.date);
    PutU32(header + 16, entry.aes ? 0 : entry.crc);
    PutU32(header + 20, field32(bigCompressed, entry.compressedSize));
    PutU32(header + 24, field32(bigSize, entry.size));
    PutU16(header + 28, static_cast<std::uint16_t>(entry.name.size()));
    PutU16(header + 30, static_cast<std::uint16_t>(zip64Len + entry.extra.size()));
    // comment length, disk, internal attributes: 0
    PutU32(header + 38, entry.externalAttributes);
    PutU32(header + 42, field32(bigOffset, entry.offset));
    out.insert(out.end(), header, header + sizeof header);
    out.insert(out.end(), entry.name.begin(), entry.name.end());
    out.insert(out.end(), zip64, zip64 + zip64Len);
    out.insert(out.end(), entry.extra.begin(), entry.extra.end());
}

namespace {

// The Zip64 end record and its locator, for archives whose entry count or
// directory position the classic end record cannot hold.
void AppendZip64End(std::vector<unsigned char>& out, std::uint64_t count, std::uint64_t size,
                    std::uint64_t offset) {
    unsigned char record[kZip64EndOfCentralDirLen + kZip64EndOfCentralDirLocatorLen] = {};
    PutU32(record + 0, kZip64EndOfCentralDirSignature);
    PutU64(record + 4, kZip64EndOfCentralDirRecordSize);
    PutU16(record + 12, kVersionZip64);  // version made by
    PutU16(record + 14, kVersionZip64);  // version needed
    // number of this disk, disk where the directory starts: 0
    PutU64(record + 24, count);  // entries on this disk
    PutU64(record + 32, count);  // total entries
    PutU64(record + 40, size);
    PutU64(record + 48, offset);
    unsigned char* locator = record + kZip64EndOfCentralDirLen;
    PutU32(locator + 0, kZip64EndOfCentralDirLocatorSignature);
    // disk with the Zip64 end record: 0
    PutU64(locator + 8, offset + size);  // where the Zip64 end record starts
    PutU32(locator + 16, 1);             // total number of disks
    out.insert(out.end(), record, record + sizeof record);
}

bool WriteDirectory(File& archive, std::uint64_t start, const std::vector<EntryRecord>& entries,
                    const ZipLimits& limits) {
    std::vector<unsigned char> block;
    block.reserve(kDirectoryBlock + kCentralDirectoryHeaderLen + 2 * 0xFFFF);
    std::uint64_t directorySize = 0;
    for (const EntryRecord& entry : entries) {
        const std::size_t before = block.size();
        AppendCentralHeader(block, entry, limits);
        directorySize += block.size() - before;
        if (block.size() >= kDirectoryBlock) {
            if (!archive.Write(block.data(), block.size())) return false;
            block.clear();
        }
    }

    const std::uint64_t count = entries.size();
    const bool manyEntries = count > limits.maxEntries;
    const bool bigSize = directorySize > limits.maxField32;
    const bool bigOffset = start > limits.maxField32;
    if (manyEntries || bigSize || bigOffset || start + directorySize > limits.maxField32) {
        AppendZip64End(block, count, directorySize, start);
    }
    const std::uint16_t count16 = manyEntries ? kZip64Marker16 : static_cast<std::uint16_t>(count);
    unsigned char end[kEndOfCentralDirLen] = {};
    PutU32(end + 0, kEndOfCentralDirSignature);
    PutU16(end + 8, count16);
    PutU16(end + 10, count16);
    PutU32(end + 12, bigSize ? kZip64Marker32 : static_cast<std::uint32_t>(directorySize));
    PutU32(end + 16, bigOffset ? kZip64Marker32 : static_cast<std::uint32_t>(start));
    block.insert(block.end(), end, end + sizeof end);
    return archive.Write(block.data(), block.size());
}

}  // namespace

std::string EntryNameOf(const ItemRecord& item) {
    std::string name = item.relativeStart <= item.path.size() ? item.path.substr(item.relativeStart)
                                                              : std::string();
    // A set folder that is the root gives whole paths; entry names are
    // relative, so the leading separators go.
    const auto first = name.find_first_not_of(kSeparator);
    name.erase(0, first == std::string::npos ? name.size() : first);
    return name;
}

unsigned ZipArchiveWriter::DeflateThreads() const {
    if (threads_ != 0) return threads_;
    return std::min(UsableCpuCount(), kMaxThreads);
}

int ZipArchiveWriter::Build(ItemList& items, const char* password, std::size_t passwordLength,
                            const std::string& archivePath, ZipProgress* progress, bool aes) {
    if (password == nullptr) passwordLength = 0;
    const std::uint64_t count = items.Count();

    // The archive replaces what the path reaches: through a link, the
    // link's target. A read-only file or a folder there cannot be replaced.
    const std::string target = LinkTargetPath(archivePath);
    const std::uint32_t existing = GetAttributes(target);
    if (existing != kInvalidAttributes && (existing & (ATTR_READONLY | ATTR_DIRECTORY)) != 0) {
        return 0;
    }

    TempArchive archive(target);
    if (!archive.Create()) return 0;
    // No tool opens a file of 0 bytes; the end record alone is a valid
    // archive without entries.
    if (count == 0) {
        return WriteDirectory(archive.file(), 0, {}, limits_) && archive.Commit() ? 1 : 0;
    }

    ZipProgress ownProgress;
    ZipProgress& sink = progress != nullptr ? *progress : ownProgress;
    sink.SetTotal(items.TotalSize() * 2);

    // Stops its threads before the temporary archive is removed.
    ZipEntryWriter writer(archive.file(), password, passwordLength, sink, limits_,
                          DeflateThreads(), aes);
    ItemRecord item;
    for (std::uint64_t i = 0; i < count; ++i) {
        // An unreadable list would leave files out of a "complete" archive.
        if (!items.ReadNext(item)) return 0;
        if (!writer.AddFile(item.path, EntryNameOf(item))) return 0;
    }
    if (!writer.Finish()) return 0;
    if (!WriteDirectory(archive.file(), writer.Position(), writer.Entries(), limits_)) return 0;
    return archive.Commit() ? 1 : 0;
}

}  // namespace kivo::zip
