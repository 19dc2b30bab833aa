#pragma once
// A set: a name and an ordered list of file and folder entries.
// (Interface agreed across the tree; the model owner may add members.)
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

class Archive;

class SetEntry {
public:
    virtual ~SetEntry() = default;
    std::string path;
    std::vector<std::string> patterns;
    std::int32_t includeSubfolders = 1;
    std::int32_t filterMode = 1;  // 0 include listed only, else exclude listed

    std::unique_ptr<SetEntry> Clone() const;
    // Reads or writes the record; the direction is the archive's.
    bool Serialize(Archive& archive);
};

class FileSet {
public:
    virtual ~FileSet() = default;
    std::string name;
    std::vector<std::unique_ptr<SetEntry>> entries;

    bool Serialize(Archive& archive);
};

}  // namespace kivo
