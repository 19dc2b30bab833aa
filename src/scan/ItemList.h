#pragma once
// The expanded set: one record per file in an anonymous temporary file, so
// any number of files costs the same small amount of memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "report/RunSink.h"
#include "platform/File.h"
#include "platform/FileTime.h"
#include "platform/Folder.h"

namespace kivo {

// Longest path a record holds, in bytes without the terminator (PATH_MAX
// less one). A longer path is refused, never cut.
constexpr std::size_t kMaxItemPath = 4095;

struct ItemRecord {
    std::uint32_t attributes = 0;
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    std::uint64_t size = 0;
    std::uint32_t relativeStart = 0;  // index in path where the relative name begins
    bool isLink = false;              // reached through a symbolic link
    // The set names this file itself (not a folder above it).
    bool fileEntry = false;
    // Below its set entry, the scan entered a folder link on the way here.
    bool throughFolderLink = false;
    // What the scan saw, for the run to check before it acts: the file (what
    // a link leads to when the scan followed links, else the name itself)
    // and the folder that holds it.
    FileId fileId;
    FileId folderId;
    std::string path;                 // full path
    std::string alternateName;        // short 8.3 name; always empty here

    std::string RelativeName() const { return path.substr(relativeStart); }
};

class ItemList {
public:
    // `cancel` may be null; `sink` (may be null) receives the counter text
    // "%s Files,  %s" after every record added.
    explicit ItemList(const CancelFlag* cancel = nullptr, RunSink* sink = nullptr);
    ~ItemList();
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;

    // False when cancelled, reading has begun, the backing file is missing,
    // the path is empty or longer than kMaxItemPath, or the data could not
    // be written. Count and total only ever cover records that can be read
    // back: when a buffered write fails, the records it held are taken out
    // of them again.
    bool Add(const ItemRecord& record);
    int IsCancelled() const;
    std::uint64_t Count() const { return count_; }
    std::uint64_t TotalSize() const { return total_; }
    // Writes what is still buffered and tells whether the list holds every
    // record it was offered (paths refused for their length aside). A list
    // that lost records to a missing backing file or a failed write must not
    // be processed as if it were the whole set. Call before reading.
    bool Complete();
    // The next record in the order added; false at the end or on a read error.
    bool ReadNext(ItemRecord& record);
    // A line for the sink about something the expansion passed over.
    void Notice(const std::string& text) {
        if (sink_ != nullptr) sink_->Notice(text);
    }

private:
    bool FlushPending();
    void ReportCounter();
    bool FillReadBuffer();

    File file_;
    const CancelFlag* cancel_;
    RunSink* sink_;
    std::uint64_t total_ = 0;
    std::uint64_t count_ = 0;
    bool reading_ = false;
    bool lost_ = false;  // a record offered could not be stored
    std::string counterFormat_;  // "%s Files,  %s", looked up once

    // Records are packed into one buffer both ways; only whole flushes reach
    // the file, each written at `committed_`, so a failed write never leaves
    // a torn record in the part that is read back.
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;              // bytes waiting (filling) or held (reading)
    std::size_t readPos_ = 0;           // next unread byte in the buffer
    std::uint64_t committed_ = 0;       // bytes of whole records in the file
    std::uint64_t fileReadPos_ = 0;     // next file offset to read
    std::uint64_t pendingCount_ = 0;    // records in the buffer, not yet written
    std::uint64_t pendingSize_ = 0;     // their total size
};

}  // namespace kivo
