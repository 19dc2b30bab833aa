#include "zip/ZipDirectory.h"

#include <algorithm>
#include <cstring>

#include "zip/Cp437.h"
#include "zip/ZipFolderIndex.h"
#include "zip/ZipFormat.h"

namespace kivo::zip {

namespace {

// A central directory header and its name share one 65,536-byte buffer in
// the program's format limits, so longer names are not accepted.
constexpr std::size_t kMaxNameLength = 65536 - kCentralDirectoryHeaderLen - 1;

// Every level of a name implies a folder entry holding the whole name up to
// that level, so one 64 KiB name of single-letter levels would need about a
// gigabyte. Real archives imply a few megabytes of folder names at most;
// past this bound the archive is treated as unreadable.
constexpr std::uint64_t kMaxFolderNameBytes = 64ull << 20;

// Forward-only reader over the central directory: one system call per 64 KiB
// instead of two or three per entry.
class SequentialReader {
public:
    explicit SequentialReader(File& file) : file_(file), buffer_(kChunk) {}

    bool Start(std::uint64_t offset) {
        begin_ = end_ = 0;
        return file_.Seek(offset);
    }

    // Exactly `size` bytes or false.
    bool Read(void* out, std::size_t size) {
        auto* dest = static_cast<unsigned char*>(out);
        while (size > 0) {
            if (begin_ == end_ && !Fill()) return false;
            const std::size_t n = std::min(size, end_ - begin_);
            std::memcpy(dest, buffer_.data() + begin_, n);
            begin_ += n, dest += n, size -= n;
        }
        return true;
    }

    // Moves forward; skipping past the end is noticed by the next read.
    bool Skip(std::uint64_t size) {
        const std::size_t buffered = end_ - begin_;
        if (size <= buffered) {
            begin_ += static_cast<std::size_t>(size);
            return true;
        }
        const std::int64_t position = file_.Position();
        if (position < 0) return false;
        begin_ = end_ = 0;
        return file_.Seek(static_cast<std::uint64_t>(position) + (size - buffered));
    }

private:
    static constexpr std::size_t kChunk = 65536;
    bool Fill() {
        const std::int64_t n = file_.Read(buffer_.data(), buffer_.size());
        if (n <= 0) return false;
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
        return true;
    }
    File& file_;
    std::vector<unsigned char> buffer_;
    std::size_t begin_ = 0, end_ = 0;
};

bool PassesEndRecordTests(const unsigned char* p, std::size_t position, std::size_t bytesRead,
                          std::uint64_t archiveSize) {
    if (GetU32(p) != kEndOfCentralDirSignature) return false;
    const std::uint16_t thisDisk = GetU16(p + 4);
    const std::uint16_t centralDisk = GetU16(p + 6);
    const std::uint16_t onDisk = GetU16(p + 8);
    const std::uint16_t total = GetU16(p + 10);
    const std::uint32_t centralSize = GetU32(p + 12);
    const std::uint32_t centralOffset = GetU32(p + 16);
    const std::uint16_t commentLength = GetU16(p + 20);
    if (onDisk > total) return false;
    if (bytesRead - position < std::size_t{commentLength} + kEndOfCentralDirLen) return false;
    if (thisDisk < centralDisk) return false;
    if (thisDisk == centralDisk) {
        if (centralOffset >= archiveSize) return false;
        if (std::uint64_t{centralOffset} + centralSize + commentLength + kEndOfCentralDirLen >
            archiveSize)
            return false;
    } else if (std::uint64_t{46} * onDisk >= archiveSize) {
        return false;
    }
    return true;
}

}  // namespace

bool FindEndRecord(File& archive, EndRecord& out) {
    const std::int64_t signedSize = archive.Size();
    if (signedSize < static_cast<std::int64_t>(kEndOfCentralDirLen)) return false;
    const auto size = static_cast<std::uint64_t>(signedSize);
    std::vector<unsigned char> buffer(kEndRecordSearchSize);
    const std::uint64_t start = size > kEndRecordSearchSize ? size - kEndRecordSearchSize : 0;
    if (!archive.Seek(start)) return false;
    const std::int64_t got = archive.ReadFull(buffer.data(), buffer.size());
    if (got < static_cast<std::int64_t>(kEndOfCentralDirLen)) return false;
    const auto bytesRead = static_cast<std::size_t>(got);
    for (std::size_t position = bytesRead - kEndOfCentralDirLen + 1; position-- > 0;) {
        const unsigned char* p = buffer.data() + position;
        if (!PassesEndRecordTests(p, position, bytesRead, size)) continue;
        out.thisDisk = GetU16(p + 4);
        out.centralDisk = GetU16(p + 6);
        out.entriesOnDisk = GetU16(p + 8);
        out.totalEntries = GetU16(p + 10);
        out.centralSize = GetU32(p + 12);
        out.centralOffset = GetU32(p + 16);
        out.commentLength = GetU16(p + 20);
        out.zip64LocatorBefore = position >= kZip64EndLocatorLen &&
                                 GetU32(p - kZip64EndLocatorLen) == kZip64EndLocatorSignature;
        return true;
    }
    return false;
}

ZipDirectory::~ZipDirectory() { Clear(); }

void ZipDirectory::Clear() {
    archive_.Close();
    path_.clear();
    entries_.clear();
    hasFolders_ = false;
}

int ZipDirectory::Load(const std::string& path) {
    Clear();
    if (!archive_.Open(path, File::Mode::Read)) return 0;
    EndRecord end;
    if (!FindEndRecord(archive_, end) || end.thisDisk != 0 || end.centralDisk != 0 ||
        end.entriesOnDisk == 0 || end.entriesOnDisk != end.totalEntries ||
        (end.zip64LocatorBefore && end.HasZip64Marker()) || !ReadCentralDirectory(end)) {
        Clear();
        return 0;
    }
    path_ = path;
    return 1;
}

bool ZipDirectory::ReadCentralDirectory(const EndRecord& end) {
    // The 16-bit count wraps past 65,535 entries, so the directory is read
    // until its stated size is used up, and the count only confirms it.
    // Every header takes at least 46 bytes, which bounds what a damaged
    // count may reserve.
    const std::uint64_t directorySize = end.centralSize;
    const std::uint64_t mostEntries = directorySize / kCentralDirectoryHeaderLen;
    const std::uint64_t statedEntries = std::min<std::uint64_t>(end.totalEntries, mostEntries);
    ZipFolderIndex index(static_cast<std::size_t>(statedEntries));
    SequentialReader reader(archive_);
    if (!reader.Start(end.centralOffset)) return false;
    entries_.reserve(static_cast<std::size_t>(statedEntries));
    unsigned char header[kCentralDirectoryHeaderLen];
    std::string rawName;
    std::uint64_t used = 0;
    std::uint64_t count = 0;
    while (used < directorySize) {
        if (directorySize - used < kCentralDirectoryHeaderLen) return false;
        if (!reader.Read(header, sizeof header)) return false;
        if (GetU32(header) != kCentralDirectorySignature) return false;
        const std::size_t nameLength = GetU16(header + 28);
        if (nameLength > kMaxNameLength) return false;
        const std::uint64_t skip = std::uint64_t{GetU16(header + 30)} + GetU16(header + 32);
        used += kCentralDirectoryHeaderLen + nameLength + skip;
        if (used > directorySize) return false;
        rawName.resize(nameLength);
        if (!reader.Read(rawName.data(), nameLength)) return false;
        // The name ends at its first NUL, as a terminated string would.
        const std::size_t nul = rawName.find('\0');
        if (nul != std::string::npos) rawName.resize(nul);
        if (!AddPath(rawName, header, index)) return false;
        if (skip != 0 && !reader.Skip(skip)) return false;
        ++count;
    }
    return count % 65536 == end.totalEntries;
}

bool ZipDirectory::AddPath(const std::string& rawName, const unsigned char* header,
                           ZipFolderIndex& index) {
    const std::size_t first = rawName.find_first_not_of('/');
    if (first == std::string::npos) return false;
    const std::uint16_t flags = GetU16(header + 8);
    std::string name = DecodeEntryName(std::string_view(rawName).substr(first), flags);

    std::int32_t parent = ZipFolderIndex::kTopLevel;
    std::size_t begin = 0;
    for (std::size_t slash = name.find('/'); slash != std::string::npos;
         begin = slash + 1, slash = name.find('/', begin)) {
        hasFolders_ = true;
        const std::string_view component = std::string_view(name).substr(begin, slash - begin);
        const std::int32_t known = index.Find(parent, component);
        if (known >= 0) {
            parent = known;
            continue;
        }
        index.folderNameBytes += slash + 1;
        if (index.folderNameBytes > kMaxFolderNameBytes) return false;
        parent = index.Insert(parent, component);
        auto entry = std::make_unique<ZipEntry>();
        entry->name = name.substr(0, slash + 1);
        entry->displayName = DisplayNameOf(entry->name);
        entry->isFolder = true;
        entries_.push_back(std::move(entry));
    }
    if (name.back() == '/') return true;

    auto entry = std::make_unique<ZipEntry>();
    entry->offset = GetU32(header + 42);
    entry->time = DosFieldsToFileTime(GetU16(header + 14), GetU16(header + 12));
    entry->crc = GetU32(header + 16);
    entry->flags = flags;
    entry->encrypted = (flags & kFlagEncrypted) != 0;
    entry->compressedSize = GetU32(header + 20);
    entry->uncompressedSize = GetU32(header + 24);
    entry->method = GetU16(header + 10);
    entry->displayName = DisplayNameOf(name);
    entry->name = std::move(name);
    entries_.push_back(std::move(entry));
    return true;
}

std::vector<std::string> ZipDirectory::ListSubfolders(const std::string& folderPath) const {
    std::vector<std::string> names;
    for (const auto& entry : entries_)
        if (entry->isFolder && entry->IsChildOf(folderPath, false))
            names.push_back(entry->displayName);
    return names;
}

std::vector<ZipEntry*> ZipDirectory::CollectEntries(const std::string& folderPath,
                                                    bool recursive) const {
    std::vector<ZipEntry*> out;
    for (const auto& entry : entries_)
        if (entry->IsChildOf(folderPath, recursive)) out.push_back(entry.get());
    return out;
}

}  // namespace kivo::zip
