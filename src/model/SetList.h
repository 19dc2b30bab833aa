#pragma once
// The ordered sets of the set store ("kivos.kvd").
//
// File layout: i32 set count, then per set its name (str), i32 entry count
// and per entry: path (str), pattern count (count), each pattern (str),
// i32 sub-folder flag, i32 filter mode. No magic, version or checksum.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/FileSet.h"
#include "model/StoreFile.h"

namespace kivo {

class SetList {
public:
    // Owned until moved out to whoever shows them.
    std::vector<std::unique_ptr<FileSet>> sets;

    // Appends the sets of the store at `path`, in file order, and says what
    // the file held. Of a damaged file the sets read completely stay, the
    // one being read when the damage shows is dropped. The result converts
    // to true only when every announced set was read. A set holding an entry
    // that is not a full path is kept, but makes the store Damaged.
    StoreRead Load(const std::string& path);
    StoreRead LoadFromBytes(std::string_view bytes);

    // Replaces the store at `path` with these sets in order; false when it
    // could not be written (the old store then stays as it was).
    bool Save(const std::string& path) const;
    std::string SaveToBytes() const;
    // Writes the whole store, count first, to `archive`.
    bool Store(Archive& archive) const;
};

// The same for sets owned elsewhere (rows of a list, a chooser).
bool SaveSets(const std::vector<const FileSet*>& sets, const std::string& path);
std::string SetStoreBytes(const std::vector<const FileSet*>& sets);

}  // namespace kivo
