#include "zip/format/ZipDirectory.h"

#include <algorithm>
#include <cstring>

#include "zip/format/Cp437.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/WinZipAes.h"
#include "zip/format/ZipExtraFields.h"
#include "zip/format/ZipFolderIndex.h"
#include "zip/format/ZipFormat.h"

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
                          std::uint64_t archiveSize, bool zip64LocatorBefore) {
    if (GetU32(p) != kEndOfCentralDirSignature) return false;
    const std::uint16_t thisDisk = GetU16(p + 4);
    const std::uint16_t centralDisk = GetU16(p + 6);
    const std::uint16_t onDisk = GetU16(p + 8);
    const std::uint16_t total = GetU16(p + 10);
    std::uint64_t centralSize = GetU32(p + 12);
    std::uint64_t centralOffset = GetU32(p + 16);
    const std::uint16_t commentLength = GetU16(p + 20);
    // Behind a locator the markers stand for values in the Zip64 record,
    // which is checked on its own.
    if (zip64LocatorBefore) {
        if (centralSize == kZip64Marker32) centralSize = 0;
        if (centralOffset == kZip64Marker32) centralOffset = 0;
    }
    if (onDisk > total) return false;
    if (bytesRead - position < std::size_t{commentLength} + kEndOfCentralDirLen) return false;
    if (thisDisk < centralDisk) return false;
    if (thisDisk == centralDisk) {
        if (centralOffset >= archiveSize) return false;
        if (centralOffset + centralSize + commentLength + kEndOfCentralDirLen > archiveSize)
            return false;
    } else if (std::uint64_t{46} * onDisk >= archiveSize) {
        return false;
    }
    return true;
}

// The least an entry occupies by the central directory alone: its local
// header without name and extra field, and its compressed data.
struct EntrySpan {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    ZipEntry* file = nullptr;  // null for a folder's record
};

bool AddSpan(std::vector<EntrySpan>& spans, const unsigned char* header, std::string_view extra,
             std::uint64_t prefix, ZipEntry* file) {
    std::uint64_t compressed = GetU32(header + 20);
    std::uint64_t uncompressed = GetU32(header + 24);
    std::uint64_t offset = GetU32(header + 42);
    // A folder's record with a damaged Zip64 field has nothing to extract;
    // a file's was refused already.
    if (!ApplyZip64Field(extra, &uncompressed, &compressed, &offset)) return file == nullptr;
    constexpr std::uint64_t kMost = UINT64_MAX / 4;
    if (offset > kMost || compressed > kMost || prefix > kMost) return false;
    const std::uint64_t start = offset + prefix;
    spans.push_back({start, start + kLocalFileHeaderLen + compressed, file});
    return true;
}

// Entries may neither reach into the central directory nor share bytes:
// an archive whose entries all point at one large one would otherwise
// extract to many times its size. Each file learns where its data must
// end, which extraction checks with the local header's own lengths.
bool CheckSpans(std::vector<EntrySpan>& spans, std::uint64_t centralStart) {
    std::sort(spans.begin(), spans.end(),
              [](const EntrySpan& a, const EntrySpan& b) { return a.start < b.start; });
    std::uint64_t previousEnd = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const EntrySpan& span = spans[i];
        if (span.start < previousEnd || span.end > centralStart) return false;
        previousEnd = span.end;
        if (span.file != nullptr)
            span.file->spanLimit = i + 1 < spans.size() ? spans[i + 1].start : centralStart;
    }
    return true;
}

bool ReadAt(File& file, std::uint64_t offset, unsigned char* out, std::size_t size) {
    return file.Seek(offset) && file.ReadFull(out, size) == static_cast<std::int64_t>(size);
}

// The Zip64 end record the locator at `locatorPosition` belongs to, as
// `record` (its fixed 56 bytes) at `recordPosition`. It is looked for just
// before the locator first, where it lies unless it carries extensible
// data: there it is found even when data before the archive makes the
// locator's offset short. Otherwise it must be where the locator says.
bool FindZip64EndRecord(File& archive, std::uint64_t locatorPosition, std::uint64_t statedPosition,
                        unsigned char* record, std::uint64_t& recordPosition) {
    if (locatorPosition >= kZip64EndOfCentralDirLen) {
        recordPosition = locatorPosition - kZip64EndOfCentralDirLen;
        if (!ReadAt(archive, recordPosition, record, kZip64EndOfCentralDirLen)) return false;
        if (GetU32(record) == kZip64EndOfCentralDirSignature &&
            GetU64(record + 4) == kZip64EndOfCentralDirLen - 12)
            return true;
    }
    if (statedPosition > locatorPosition ||
        locatorPosition - statedPosition < kZip64EndOfCentralDirLen)
        return false;
    recordPosition = statedPosition;
    if (!ReadAt(archive, recordPosition, record, kZip64EndOfCentralDirLen)) return false;
    // The record with its extensible data ends where the locator begins.
    return GetU32(record) == kZip64EndOfCentralDirSignature &&
           GetU64(record + 4) == locatorPosition - statedPosition - 12;
}

// Where the directory really starts. Data before the archive (a
// self-extracting stub) makes every stated offset short by its length;
// the directory ends where the record stating it begins, which gives that
// length. The stated offset is the fallback, for archives with bytes
// between the directory and its record.
bool FindPrefix(File& archive, const CentralDirectoryInfo& info, std::uint64_t& prefix) {
    if (info.recordPosition < info.size) return false;
    const std::uint64_t start = info.recordPosition - info.size;
    unsigned char signature[4];
    if (start >= info.statedOffset && ReadAt(archive, start, signature, sizeof signature) &&
        GetU32(signature) == kCentralDirectorySignature) {
        prefix = start - info.statedOffset;
        return true;
    }
    prefix = 0;
    return info.statedOffset <= start;
}

// Whether a Zip64 locator signature lies just before the candidate at
// `position` of the buffer read from `start`. Behind the longest comment
// the locator lies before the buffer, and is read from the archive.
bool HasLocatorBefore(File& archive, const unsigned char* buffer, std::uint64_t start,
                      std::size_t position) {
    if (position >= kZip64EndOfCentralDirLocatorLen)
        return GetU32(buffer + position - kZip64EndOfCentralDirLocatorLen) == kZip64EndOfCentralDirLocatorSignature;
    if (start + position < kZip64EndOfCentralDirLocatorLen) return false;
    unsigned char signature[4];
    return ReadAt(archive, start + position - kZip64EndOfCentralDirLocatorLen, signature, sizeof signature) &&
           GetU32(signature) == kZip64EndOfCentralDirLocatorSignature;
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
        if (GetU32(p) != kEndOfCentralDirSignature) continue;
        const bool zip64LocatorBefore = HasLocatorBefore(archive, buffer.data(), start, position);
        if (!PassesEndRecordTests(p, position, bytesRead, size, zip64LocatorBefore)) continue;
        out.thisDisk = GetU16(p + 4);
        out.centralDisk = GetU16(p + 6);
        out.entriesOnDisk = GetU16(p + 8);
        out.totalEntries = GetU16(p + 10);
        out.centralSize = GetU32(p + 12);
        out.centralOffset = GetU32(p + 16);
        out.commentLength = GetU16(p + 20);
        out.zip64LocatorBefore = zip64LocatorBefore;
        out.position = start + position;
        return true;
    }
    return false;
}

bool ReadCentralDirectoryInfo(File& archive, const EndRecord& end, CentralDirectoryInfo& out) {
    out.recordPosition = end.position;
    if (!end.zip64LocatorBefore) {
        out.entries = end.totalEntries;
        out.size = end.centralSize;
        out.statedOffset = end.centralOffset;
        out.zip64 = false;
        return end.entriesOnDisk == end.totalEntries;
    }
    unsigned char locator[kZip64EndOfCentralDirLocatorLen];
    const std::uint64_t locatorPosition = end.position - kZip64EndOfCentralDirLocatorLen;
    if (!ReadAt(archive, locatorPosition, locator, sizeof locator)) return false;
    // One disk only: the record on disk 0, and at most one disk in all.
    if (GetU32(locator + 4) != 0 || GetU32(locator + 16) > 1) return false;
    unsigned char record[kZip64EndOfCentralDirLen];
    std::uint64_t recordPosition = 0;
    if (!FindZip64EndRecord(archive, locatorPosition, GetU64(locator + 8), record, recordPosition))
        return false;
    const std::uint64_t onDisk = GetU64(record + 24);
    out.entries = GetU64(record + 32);
    out.size = GetU64(record + 40);
    out.statedOffset = GetU64(record + 48);
    out.recordPosition = recordPosition;
    out.zip64 = true;
    if (GetU32(record + 16) != 0 || GetU32(record + 20) != 0 || onDisk != out.entries) return false;
    // Where the classic record holds a real value rather than a marker, the
    // two must tell the same; a classic count holds the low 16 bits.
    const auto agrees16 = [](std::uint16_t classic, std::uint64_t wide) {
        return classic == kZip64Marker16 || classic == (wide & 0xFFFF);
    };
    const auto agrees32 = [](std::uint32_t classic, std::uint64_t wide) {
        return classic == kZip64Marker32 || classic == wide;
    };
    return agrees16(end.entriesOnDisk, onDisk) && agrees16(end.totalEntries, out.entries) &&
           agrees32(end.centralSize, out.size) && agrees32(end.centralOffset, out.statedOffset);
}

ZipDirectory::~ZipDirectory() { Clear(); }

void ZipDirectory::Clear() {
    archive_.Close();
    path_.clear();
    entries_.clear();
    folderEntries_.clear();
    hasFolders_ = false;
}

int ZipDirectory::Load(const std::string& path) {
    Clear();
    if (!archive_.Open(path, File::Mode::Read)) return 0;
    EndRecord end;
    CentralDirectoryInfo info;
    // Behind a locator the disk numbers may be markers too; the Zip64
    // record's own then count.
    const auto firstDisk = [&end](std::uint16_t disk) {
        return disk == 0 || (end.zip64LocatorBefore && disk == kZip64Marker16);
    };
    if (!FindEndRecord(archive_, end) || !firstDisk(end.thisDisk) || !firstDisk(end.centralDisk) ||
        !ReadCentralDirectoryInfo(archive_, end, info) || !ReadCentralDirectory(info)) {
        Clear();
        return 0;
    }
    path_ = path;
    return 1;
}

bool ZipDirectory::ReadCentralDirectory(const CentralDirectoryInfo& info) {
    std::uint64_t prefix = 0;
    if (!FindPrefix(archive_, info, prefix)) return false;
    // The classic count wraps past 65,535 entries, so the directory is read
    // until its stated size is used up, and the count only confirms it.
    // Every header takes at least 46 bytes, which bounds what a damaged
    // count may reserve.
    const std::uint64_t mostEntries = info.size / kCentralDirectoryHeaderLen;
    const std::uint64_t statedEntries = std::min(info.entries, mostEntries);
    ZipFolderIndex index(static_cast<std::size_t>(statedEntries));
    SequentialReader reader(archive_);
    if (!reader.Start(info.statedOffset + prefix)) return false;
    entries_.reserve(static_cast<std::size_t>(statedEntries));
    std::vector<EntrySpan> spans;
    unsigned char header[kCentralDirectoryHeaderLen];
    std::string rawName;
    std::string extra;
    std::uint64_t used = 0;
    std::uint64_t count = 0;
    while (used < info.size) {
        if (info.size - used < kCentralDirectoryHeaderLen) return false;
        if (!reader.Read(header, sizeof header)) return false;
        if (GetU32(header) != kCentralDirectorySignature) return false;
        const std::size_t nameLength = GetU16(header + 28);
        if (nameLength > kMaxNameLength) return false;
        const std::size_t extraLength = GetU16(header + 30);
        const std::size_t commentLength = GetU16(header + 32);
        used += kCentralDirectoryHeaderLen + nameLength + extraLength + commentLength;
        if (used > info.size) return false;
        rawName.resize(nameLength);
        extra.resize(extraLength);
        if (!reader.Read(rawName.data(), nameLength) || !reader.Read(extra.data(), extraLength))
            return false;
        const std::size_t before = entries_.size();
        if (!AddPath(rawName, header, extra, prefix, index)) return false;
        if (commentLength != 0 && !reader.Skip(commentLength)) return false;
        ++count;
        ZipEntry* file =
            entries_.size() > before && !entries_.back()->isFolder ? entries_.back().get() : nullptr;
        if (!AddSpan(spans, header, extra, prefix, file)) return false;
    }
    folderEntries_.clear();
    // 65,536 entries in a classic record count as 0 but are there to read.
    if (!(info.zip64 ? count == info.entries : count % 65536 == info.entries)) return false;
    return CheckSpans(spans, info.statedOffset + prefix);
}

bool ZipDirectory::AddPath(std::string& rawName, const unsigned char* header,
                           std::string_view extra, std::uint64_t prefix, ZipFolderIndex& index) {
    const std::uint16_t flags = GetU16(header + 8);
    const unsigned host = header[5];
    // A Unicode Path field that still matches the header's name is the
    // name, in UTF-8; it then meets every rule the header's name would.
    std::uint16_t nameFlags = flags;
    if (auto unicode = UnicodePathName(extra, rawName)) {
        rawName = std::move(*unicode);
        nameFlags |= kFlagUtf8;
    }
    // The name ends at its first NUL, as a terminated string would.
    const std::size_t nul = rawName.find('\0');
    if (nul != std::string::npos) rawName.resize(nul);
    const std::size_t first = rawName.find_first_not_of('/');
    if (first == std::string::npos) return false;
    std::string name = DecodeEntryName(std::string_view(rawName).substr(first), nameFlags, host);
    // Some tools mark a folder only by the MS-DOS directory attribute, on
    // the hosts whose attributes are DOS ones (MS-DOS, OS/2, NTFS, VFAT).
    if (name.back() != '/' && (GetU32(header + 38) & kDosDirectoryAttribute) != 0 &&
        (host == 0 || host == 6 || host == 10 || host == 14))
        name += '/';

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
        if (folderEntries_.size() <= static_cast<std::size_t>(parent))
            folderEntries_.resize(static_cast<std::size_t>(parent) + 1);
        folderEntries_[static_cast<std::size_t>(parent)] = entry.get();
        entries_.push_back(std::move(entry));
    }
    if (name.back() == '/') {
        // An explicit folder keeps the mode it was made with.
        ZipEntry* folder = folderEntries_[static_cast<std::size_t>(parent)];
        folder->host = static_cast<std::uint8_t>(host);
        folder->externalAttributes = GetU32(header + 38);
        return true;
    }

    auto entry = std::make_unique<ZipEntry>();
    entry->compressedSize = GetU32(header + 20);
    entry->uncompressedSize = GetU32(header + 24);
    std::uint64_t offset = GetU32(header + 42);
    if (!ApplyZip64Field(extra, &entry->uncompressedSize, &entry->compressedSize, &offset))
        return false;
    if (offset > UINT64_MAX - prefix) return false;
    entry->offset = offset + prefix;
    if (const auto utc = ExtraFieldTime(extra)) {
        entry->time = *utc;
        entry->timeFromExtra = true;
    } else {
        entry->time = DosFieldsToFileTime(GetU16(header + 14), GetU16(header + 12));
    }
    entry->host = static_cast<std::uint8_t>(host);
    entry->externalAttributes = GetU32(header + 38);
    entry->crc = GetU32(header + 16);
    entry->flags = flags;
    entry->encrypted = (flags & kFlagEncrypted) != 0;
    entry->method = GetU16(header + 10);
    entry->dataMethod = entry->method;
    AesField aes;
    if ((flags & kFlagStrongEncryption) != 0 || FindExtraField(extra, kStrongEncryptionExtraId)) {
        entry->encryption = EntryEncryption::Strong;
    } else if (entry->method == kMethodAes && FindAesField(extra, aes)) {
        entry->dataMethod = aes.method;
        entry->encryption = aes.strength == 1   ? EntryEncryption::Aes128
                            : aes.strength == 2 ? EntryEncryption::Aes192
                                                : EntryEncryption::Aes256;
    } else if (entry->encrypted) {
        entry->encryption = EntryEncryption::ZipCrypto;
    }
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
