#include "model/FileSet.h"

#include <limits>

#include "model/Archive.h"

namespace kivo {

std::unique_ptr<SetEntry> SetEntry::Clone() const {
    auto copy = std::make_unique<SetEntry>();
    copy->path = path;
    copy->patterns = patterns;
    copy->includeSubfolders = includeSubfolders;
    copy->filterMode = filterMode;
    return copy;
}

bool SetEntry::Serialize(Archive& archive) {
    if (!archive.String(path)) return false;
    if (archive.IsStoring()) {
        if (!archive.WriteCount(patterns.size())) return false;
        for (const std::string& pattern : patterns) {
            if (!archive.WriteString(pattern)) return false;
        }
    } else {
        std::uint32_t count = 0;
        if (!archive.ReadCount(count)) return false;
        // The count comes from the file and may be damaged: the array grows
        // only with patterns actually read, never from the count.
        std::vector<std::string> read;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string pattern;
            if (!archive.ReadString(pattern)) return false;
            read.push_back(std::move(pattern));
        }
        patterns = std::move(read);
    }
    return archive.Int32(includeSubfolders) && archive.Int32(filterMode);
}

bool FileSet::Serialize(Archive& archive) {
    if (!archive.String(name)) return false;
    if (archive.IsStoring()) {
        if (entries.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            return false;
        }
        if (!archive.WriteI32(static_cast<std::int32_t>(entries.size()))) return false;
        for (const auto& entry : entries) {
            if (!entry->Serialize(archive)) return false;
        }
        return true;
    }
    std::int32_t count = 0;
    if (!archive.ReadI32(count)) return false;
    // A negative count announces no entries.
    for (std::int32_t i = 0; i < count; ++i) {
        auto entry = std::make_unique<SetEntry>();
        if (!entry->Serialize(archive)) return false;
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace kivo
