#pragma once
// The expanded set: one record per file in an anonymous temporary file, so
// any number of files costs the same small amount of memory.
#include <cstdint>
#include <string>

#include "ops/RunSink.h"
#include "platform/File.h"
#include "platform/FileTime.h"

namespace kivo {

struct ItemRecord {
    std::uint32_t attributes = 0;
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    std::uint64_t size = 0;
    std::uint32_t relativeStart = 0;  // index in path where the relative name begins
    bool isLink = false;              // reached through a symbolic link
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

    bool Add(const ItemRecord& record);
    int IsCancelled() const;
    std::uint64_t Count() const { return count_; }
    std::uint64_t TotalSize() const { return total_; }
    bool ReadNext(ItemRecord& record);

private:
    File file_;
    const CancelFlag* cancel_;
    RunSink* sink_;
    std::uint64_t total_ = 0;
    std::uint64_t count_ = 0;
    bool reading_ = false;
    // implementation detail: buffered reading/writing state may be added here
};

}  // namespace kivo
