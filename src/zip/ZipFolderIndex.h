#pragma once
// The index that keeps one entry per folder while a directory loads: folder
// names compared without regard to case, in a chained table whose size is
// fixed from the entry count, so loading stays linear.
#include <cstdint>
#include <string>
#include <vector>

namespace kivo::zip {

class ZipEntry;

// The smallest n >= 2 * entries that counts as prime here: below 4 every n
// does, even numbers do not, odd ones when no odd divisor from 3 divides them.
std::size_t FolderIndexSize(std::size_t entries);

class ZipFolderIndex {
public:
    explicit ZipFolderIndex(std::size_t entries);

    // The folder entry for a name (trailing slash included), or null.
    ZipEntry* Find(const std::string& folderName) const;
    void Insert(const std::string& folderName, ZipEntry* entry);
    std::size_t BucketCount() const { return heads_.size(); }

private:
    struct Node {
        std::string key;  // lower-cased
        ZipEntry* entry;
        std::int32_t next;
    };
    std::size_t Bucket(const std::string& lowered) const;
    std::vector<std::int32_t> heads_;
    std::vector<Node> nodes_;
};

}  // namespace kivo::zip
