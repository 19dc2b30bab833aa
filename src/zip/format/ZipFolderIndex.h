#pragma once
// The index that keeps one entry per folder while a directory loads: folder
// names compared without regard to case, in a chained table whose size is
// fixed from the entry count, so loading stays linear.
//
// A folder is known by the folder it sits in and its last component, so a
// name is looked up one component at a time: the work per name stays linear
// in its length however many levels it has.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::zip {

// The smallest n >= 2 * entries that counts as prime here: below 4 every n
// does, even numbers do not, odd ones when no odd divisor from 3 divides them.
std::size_t FolderIndexSize(std::size_t entries);

class ZipFolderIndex {
public:
    static constexpr std::int32_t kTopLevel = -1;

    explicit ZipFolderIndex(std::size_t entries);

    // The id of folder `component` inside the folder `parent` (an id, or
    // kTopLevel), or -1 when it is not known yet.
    std::int32_t Find(std::int32_t parent, std::string_view component) const;
    // Enters a folder that Find did not know; returns its id.
    std::int32_t Insert(std::int32_t parent, std::string_view component);
    std::size_t BucketCount() const { return heads_.size(); }

    // Bytes of the folder names made for this index's entries so far; the
    // caller bounds it, as one deep name can imply a great many long ones.
    std::uint64_t folderNameBytes = 0;

private:
    struct Node {
        std::int32_t parent;
        std::uint32_t hash;
        std::string key;  // the component, lower-cased
        std::int32_t next;
    };
    static std::uint32_t Hash(std::int32_t parent, std::string_view component);
    std::vector<std::int32_t> heads_;
    std::vector<Node> nodes_;
};

}  // namespace kivo::zip
