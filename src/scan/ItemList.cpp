#include "scan/ItemList.h"

#include <cstring>

#include "model/StringTable.h"
#include "scan/Format.h"

namespace kivo {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// On-file layout of one record: this header, then the path bytes, then the
// short-name bytes. Native byte order: the file never outlives the process.
struct RecordHeader {
    std::uint32_t attributes;
    std::uint32_t relativeStart;
    std::uint64_t creationTime;
    std::uint64_t lastAccessTime;
    std::uint64_t lastWriteTime;
    std::uint64_t size;
    std::uint64_t fileDevice;
    std::uint64_t fileInode;
    std::uint64_t folderDevice;
    std::uint64_t folderInode;
    std::uint32_t flags;
    std::uint16_t pathLength;
    std::uint16_t alternateLength;
};
static_assert(sizeof(RecordHeader) == 80);
static_assert(kMaxItemPath <= 0xFFFF);

constexpr std::uint32_t kFlagLink = 1;
constexpr std::uint32_t kFlagFileEntry = 2;
constexpr std::uint32_t kFlagThroughFolderLink = 4;
constexpr std::size_t kMaxAlternateName = 13;
constexpr std::size_t kMaxRecordSize = sizeof(RecordHeader) + kMaxItemPath + kMaxAlternateName;
static_assert(kMaxRecordSize <= kBufferSize);

}  // namespace

ItemList::ItemList(const CancelFlag* cancel, RunSink* sink) : cancel_(cancel), sink_(sink) {
    // Without a backing file every Add fails and the list stays empty.
    if (!file_.OpenAnonymousTemp()) lost_ = true;
}

bool ItemList::Complete() {
    if (!reading_ && !FlushPending()) ReportCounter();
    return !lost_;
}

ItemList::~ItemList() = default;

int ItemList::IsCancelled() const {
    if (reading_ || cancel_ == nullptr) return 0;
    return cancel_->load(std::memory_order_relaxed);
}

bool ItemList::Add(const ItemRecord& record) {
    if (IsCancelled() != 0 || !file_.IsOpen() || reading_) return false;
    if (record.path.empty() || record.path.size() > kMaxItemPath) return false;
    if (record.alternateName.size() > kMaxAlternateName) return false;
    if (record.relativeStart > record.path.size()) return false;

    const std::size_t needed =
        sizeof(RecordHeader) + record.path.size() + record.alternateName.size();
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    if (used_ + needed > kBufferSize && !FlushPending()) {
        ReportCounter();
        return false;
    }

    RecordHeader header{};
    header.attributes = record.attributes;
    header.relativeStart = record.relativeStart;
    header.creationTime = record.creationTime;
    header.lastAccessTime = record.lastAccessTime;
    header.lastWriteTime = record.lastWriteTime;
    header.size = record.size;
    header.fileDevice = record.fileId.device;
    header.fileInode = record.fileId.inode;
    header.folderDevice = record.folderId.device;
    header.folderInode = record.folderId.inode;
    header.flags = (record.isLink ? kFlagLink : 0) | (record.fileEntry ? kFlagFileEntry : 0) |
                   (record.throughFolderLink ? kFlagThroughFolderLink : 0);
    header.pathLength = static_cast<std::uint16_t>(record.path.size());
    header.alternateLength = static_cast<std::uint16_t>(record.alternateName.size());

    char* out = buffer_.get() + used_;
    std::memcpy(out, &header, sizeof header);
    std::memcpy(out + sizeof header, record.path.data(), record.path.size());
    std::memcpy(out + sizeof header + record.path.size(), record.alternateName.data(),
                record.alternateName.size());
    used_ += needed;

    ++pendingCount_;
    pendingSize_ += record.size;
    ++count_;
    total_ += record.size;
    ReportCounter();
    return true;
}

bool ItemList::FlushPending() {
    if (used_ == 0) return true;
    const bool written = file_.WriteAt(committed_, buffer_.get(), used_);
    if (written) {
        committed_ += used_;
    } else {
        // The records of this buffer are lost: take them out of the count
        // and total so those keep describing exactly what can be read back.
        lost_ = true;
        count_ -= pendingCount_;
        total_ -= pendingSize_;
    }
    used_ = 0;
    pendingCount_ = 0;
    pendingSize_ = 0;
    return written;
}

void ItemList::ReportCounter() {
    if (sink_ == nullptr) return;
    if (counterFormat_.empty()) counterFormat_ = LoadText(IDS_FILES_COUNTER);
    sink_->SetCounter(FormatWith(counterFormat_, {FormatCount(count_), FormatSize(total_)}));
}

bool ItemList::FillReadBuffer() {
    // Keep the unread tail (a record cut by the buffer's end) and append.
    const std::size_t tail = used_ - readPos_;
    if (tail > 0 && readPos_ > 0) std::memmove(buffer_.get(), buffer_.get() + readPos_, tail);
    used_ = tail;
    readPos_ = 0;
    const std::uint64_t left = committed_ - fileReadPos_;
    std::size_t want = kBufferSize - used_;
    if (want > left) want = static_cast<std::size_t>(left);
    if (want == 0) return false;
    if (!file_.Seek(fileReadPos_)) return false;
    const std::int64_t got = file_.ReadFull(buffer_.get() + used_, want);
    if (got <= 0) return false;
    used_ += static_cast<std::size_t>(got);
    fileReadPos_ += static_cast<std::uint64_t>(got);
    return true;
}

bool ItemList::ReadNext(ItemRecord& record) {
    if (!file_.IsOpen()) {
        // Even an empty list has begun reading: the cancel flag no longer
        // concerns it.
        reading_ = true;
        return false;
    }
    if (!reading_) {
        if (!FlushPending()) ReportCounter();
        reading_ = true;
        used_ = 0;
        readPos_ = 0;
        fileReadPos_ = 0;
        if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    }

    RecordHeader header;
    if (used_ - readPos_ < sizeof header && !FillReadBuffer()) return false;
    if (used_ - readPos_ < sizeof header) return false;
    std::memcpy(&header, buffer_.get() + readPos_, sizeof header);
    if (header.pathLength == 0 || header.pathLength > kMaxItemPath ||
        header.alternateLength > kMaxAlternateName || header.relativeStart > header.pathLength) {
        return false;
    }
    const std::size_t total = sizeof header + header.pathLength + header.alternateLength;
    if (used_ - readPos_ < total && !FillReadBuffer()) return false;
    if (used_ - readPos_ < total) return false;

    const char* in = buffer_.get() + readPos_ + sizeof header;
    record.attributes = header.attributes;
    record.relativeStart = header.relativeStart;
    record.creationTime = header.creationTime;
    record.lastAccessTime = header.lastAccessTime;
    record.lastWriteTime = header.lastWriteTime;
    record.size = header.size;
    record.isLink = (header.flags & kFlagLink) != 0;
    record.fileEntry = (header.flags & kFlagFileEntry) != 0;
    record.throughFolderLink = (header.flags & kFlagThroughFolderLink) != 0;
    record.fileId = FileId{header.fileDevice, header.fileInode};
    record.folderId = FileId{header.folderDevice, header.folderInode};
    record.path.assign(in, header.pathLength);
    record.alternateName.assign(in + header.pathLength, header.alternateLength);
    readPos_ += total;
    return true;
}

}  // namespace kivo
