#include "zip/ZipArchiveWriter.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/Attributes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "zip/ZipEntryWriter.h"
#include "zip/ZipFormat.h"

namespace kivo::zip {

namespace {

constexpr std::uint16_t kVersion = 11;
// The central directory is gathered into blocks of this size before writing.
constexpr std::size_t kDirectoryBlock = 65536;

// What the central directory needs of an entry once it is written.
struct CentralRecord {
    unsigned char localHeader[kLocalFileHeaderLen];
    std::string name;
    std::string extra;
    std::uint64_t offset;
};

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

// The archive under construction: removed unless Commit renames it into place.
class TempArchive {
public:
    explicit TempArchive(const std::string& finalPath) : finalPath_(finalPath) {}
    ~TempArchive() { Discard(); }
    TempArchive(const TempArchive&) = delete;
    TempArchive& operator=(const TempArchive&) = delete;

    bool Create() {
        // Hidden, and named after the archive so a leftover (after a crash)
        // shows where it came from.
        std::string prefix(1, '.');
        prefix += TempNamePart(finalPath_);
        prefix += '.';
        return file_.CreateSiblingTemp(FolderOf(finalPath_), prefix, tempPath_);
    }
    File& file() { return file_; }

    // Data on disk before the rename, so a crash cannot leave an empty file
    // where the previous archive was.
    bool Commit() {
        if (!file_.Flush() || !file_.Close()) return false;
        // A replaced archive keeps who may read it: a backup kept private
        // must not become readable to all by the next run.
        if (PathExists(finalPath_) && !CopyAttributes(finalPath_, tempPath_)) return false;
        if (!RenamePath(tempPath_, finalPath_)) return false;
        tempPath_.clear();
        return true;
    }

private:
    void Discard() {
        file_.Close();
        if (!tempPath_.empty()) RemoveFile(tempPath_);
        tempPath_.clear();
    }

    std::string finalPath_;
    std::string tempPath_;
    File file_;
};

void AppendCentralHeader(std::vector<unsigned char>& out, const CentralRecord& entry) {
    const unsigned char* local = entry.localHeader;
    unsigned char header[kCentralDirectoryHeaderLen] = {};
    PutU32(header + 0, kCentralDirectorySignature);
    PutU16(header + 4, kVersion);
    PutU16(header + 6, kVersion);
    std::memcpy(header + 8, local + 6, 2);    // flags
    std::memcpy(header + 10, local + 8, 2);   // method
    std::memcpy(header + 12, local + 10, 2);  // time
    std::memcpy(header + 14, local + 12, 2);  // date
    std::memcpy(header + 16, local + 14, 4);  // CRC-32
    std::memcpy(header + 20, local + 18, 4);  // compressed size
    std::memcpy(header + 24, local + 22, 4);  // uncompressed size
    std::memcpy(header + 28, local + 26, 2);  // name length
    std::memcpy(header + 30, local + 28, 2);  // extra length
    // comment length, disk, internal and external attributes: 0
    PutU32(header + 42, static_cast<std::uint32_t>(entry.offset));
    out.insert(out.end(), header, header + sizeof header);
    out.insert(out.end(), entry.name.begin(), entry.name.end());
    out.insert(out.end(), entry.extra.begin(), entry.extra.end());
}

bool WriteDirectory(File& archive, const std::vector<CentralRecord>& entries,
                    const ZipLimits& limits) {
    const std::int64_t start = archive.Position();
    if (start < 0 || static_cast<std::uint64_t>(start) > limits.maxField32) return false;

    std::vector<unsigned char> block;
    block.reserve(kDirectoryBlock + kCentralDirectoryHeaderLen + 2 * 0xFFFF);
    std::uint64_t directorySize = 0;
    for (const CentralRecord& entry : entries) {
        AppendCentralHeader(block, entry);
        directorySize += kCentralDirectoryHeaderLen + entry.name.size() + entry.extra.size();
        if (block.size() >= kDirectoryBlock) {
            if (!archive.Write(block.data(), block.size())) return false;
            block.clear();
        }
    }
    if (directorySize > limits.maxField32) return false;

    unsigned char end[kEndOfCentralDirLen] = {};
    PutU32(end + 0, kEndOfCentralDirSignature);
    PutU16(end + 8, static_cast<std::uint16_t>(entries.size()));
    PutU16(end + 10, static_cast<std::uint16_t>(entries.size()));
    PutU32(end + 12, static_cast<std::uint32_t>(directorySize));
    PutU32(end + 16, static_cast<std::uint32_t>(start));
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

int ZipArchiveWriter::Build(ItemList& items, const char* password, std::size_t passwordLength,
                            const std::string& archivePath, ZipProgress* progress) {
    if (password == nullptr) passwordLength = 0;
    const std::uint64_t count = items.Count();
    if (count > limits_.maxEntries) return 0;

    // The archive replaces what the path reaches: through a link, the
    // link's target. A read-only file or a folder there cannot be replaced.
    const std::string target = LinkTargetPath(archivePath);
    const std::uint32_t existing = GetAttributes(target);
    if (existing != kInvalidAttributes && (existing & (ATTR_READONLY | ATTR_DIRECTORY)) != 0) {
        return 0;
    }

    TempArchive archive(target);
    if (!archive.Create()) return 0;
    if (count == 0) return archive.Commit() ? 1 : 0;

    ZipProgress ownProgress;
    ZipProgress& sink = progress != nullptr ? *progress : ownProgress;
    sink.SetTotal(items.TotalSize() * 2);

    std::vector<CentralRecord> entries;
    try {
        entries.reserve(count);
    } catch (const std::bad_alloc&) {
        return 0;
    }

    ZipEntryWriter writer(limits_);
    ItemRecord item;
    for (std::uint64_t i = 0; i < count; ++i) {
        // An unreadable list would leave files out of a "complete" archive.
        if (!items.ReadNext(item)) return 0;
        const std::string name = EntryNameOf(item);
        if (!writer.AddFile(item.path, name, password, passwordLength, archive.file(), &sink) ||
            !writer.Succeeded()) {
            return 0;
        }
        CentralRecord& entry = entries.emplace_back();
        std::memcpy(entry.localHeader, writer.LocalHeader(), kLocalFileHeaderLen);
        entry.name = writer.Name();
        entry.extra = writer.Extra();
        entry.offset = writer.HeaderPosition();
    }

    if (!WriteDirectory(archive.file(), entries, limits_)) return 0;
    return archive.Commit() ? 1 : 0;
}

}  // namespace kivo::zip
