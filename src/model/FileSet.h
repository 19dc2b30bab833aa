#pragma once
// A set: a name and an ordered list of file and folder entries.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

class Archive;

// One file or folder of a set. Whether the path is a file or a folder is not
// stored; it is looked up whenever the entry is used.
class SetEntry {
public:
    virtual ~SetEntry() = default;
    std::string path;
    // Filter patterns of a folder entry; empty takes every file.
    std::vector<std::string> patterns;
    std::int32_t includeSubfolders = 1;
    std::int32_t filterMode = 1;  // 0 include listed only, else exclude listed

    std::unique_ptr<SetEntry> Clone() const;
    // Reads or writes the record; the direction is the archive's. On loading,
    // `patterns` is replaced by exactly the patterns read.
    bool Serialize(Archive& archive);
};

class FileSet {
public:
    virtual ~FileSet() = default;
    std::string name;
    std::vector<std::unique_ptr<SetEntry>> entries;

    // Storing writes the name, the entry count and each entry; loading reads
    // the name and appends the announced entries. False when the archive
    // failed; a set read that way is incomplete and must be discarded.
    bool Serialize(Archive& archive);
};

}  // namespace kivo
