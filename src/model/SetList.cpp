#include "model/SetList.h"

#include <limits>

#include "model/Archive.h"
#include "model/EntryPath.h"
#include "model/StoreFile.h"

namespace kivo {

namespace {

// Never reserves from the count: it may be damaged.
RecordReader SetReader(std::vector<std::unique_ptr<FileSet>>& out) {
    return [&out](Archive& archive) {
        auto set = std::make_unique<FileSet>();
        if (!set->Serialize(archive)) return false;
        out.push_back(std::move(set));
        return true;
    };
}

bool WriteSets(Archive& archive, const std::vector<const FileSet*>& sets) {
    if (sets.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    if (!archive.WriteI32(static_cast<std::int32_t>(sets.size()))) return false;
    for (const FileSet* set : sets) {
        // Serialize does not change a set when storing.
        if (!const_cast<FileSet*>(set)->Serialize(archive)) return false;
    }
    return true;
}

std::vector<const FileSet*> Borrow(const std::vector<std::unique_ptr<FileSet>>& sets) {
    std::vector<const FileSet*> view;
    view.reserve(sets.size());
    for (const auto& set : sets) view.push_back(set.get());
    return view;
}

// An entry that is not a full path came from no editor of ours. It is kept,
// so that nothing the user wrote is lost, but the store counts as damaged:
// it is reported, and copied aside before it is written over.
StoreRead WithEntriesChecked(StoreRead read, const std::vector<std::unique_ptr<FileSet>>& sets,
                             std::size_t firstNew) {
    for (std::size_t i = firstNew; i < sets.size(); ++i) {
        for (const auto& entry : sets[i]->entries) {
            if (!entry->path.empty() && !IsFullPath(entry->path)) {
                read.state = StoreState::Damaged;
                return read;
            }
        }
    }
    return read;
}

}  // namespace

StoreRead SetList::Load(const std::string& path) {
    const std::size_t before = sets.size();
    return WithEntriesChecked(ReadStoreFile(path, SetReader(sets)), sets, before);
}

StoreRead SetList::LoadFromBytes(std::string_view bytes) {
    const std::size_t before = sets.size();
    return WithEntriesChecked(ReadStoreBytes(bytes, SetReader(sets)), sets, before);
}

bool SetList::Store(Archive& archive) const { return WriteSets(archive, Borrow(sets)); }

bool SetList::Save(const std::string& path) const { return SaveSets(Borrow(sets), path); }

std::string SetList::SaveToBytes() const { return SetStoreBytes(Borrow(sets)); }

bool SaveSets(const std::vector<const FileSet*>& sets, const std::string& path) {
    return ReplaceStoreFile(path, [&sets](Archive& archive) { return WriteSets(archive, sets); });
}

std::string SetStoreBytes(const std::vector<const FileSet*>& sets) {
    std::string bytes;
    Archive archive = Archive::StoreTo(bytes);
    WriteSets(archive, sets);
    return bytes;
}

}  // namespace kivo
