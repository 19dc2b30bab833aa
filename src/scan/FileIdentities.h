#pragma once
// A set of files known by device and inode, 16 bytes a file, that can grow
// while it is searched: Copy and Move keep the files a run lists and the
// files it writes, however many, without a node per file.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivo {

class FileIdentities {
public:
    // Found by Contains at once.
    void Add(std::uint64_t device, std::uint64_t inode);
    // Cheaper when nothing is looked up while the set fills (a scan): found
    // by Contains only after the next Sort.
    void AddUnsorted(std::uint64_t device, std::uint64_t inode);
    // Makes every key one sorted run, sorted in place.
    void Sort();
    bool Contains(std::uint64_t device, std::uint64_t inode) const;
    std::size_t Size() const { return keys_.size(); }
    // Room for `count` keys in all, taken at once rather than by doubling.
    void Reserve(std::size_t count) { keys_.reserve(count); }

private:
    struct Key {
        std::uint64_t device;
        std::uint64_t inode;
        bool operator<(const Key& other) const {
            return device != other.device ? device < other.device : inode < other.inode;
        }
        bool operator==(const Key& other) const = default;
    };

    // keys_ holds sorted runs back to back, longest first, each more than
    // twice as long as the next, then the keys added unsorted: a key is found with one binary search per
    // run (a few dozen at most), and each key is merged O(log n) times.
    std::vector<Key> keys_;
    std::vector<std::size_t> runLengths_;
};

}  // namespace kivo
