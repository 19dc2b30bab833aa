#include "scan/FileIdentities.h"

#include <algorithm>

namespace kivo {

void FileIdentities::AddUnsorted(std::uint64_t device, std::uint64_t inode) {
    keys_.push_back(Key{device, inode});
}

void FileIdentities::Sort() {
    std::sort(keys_.begin(), keys_.end());
    runLengths_.assign(1, keys_.size());
}

void FileIdentities::Add(std::uint64_t device, std::uint64_t inode) {
    std::size_t sorted = 0;
    for (const std::size_t length : runLengths_) sorted += length;
    if (sorted != keys_.size()) Sort();
    keys_.push_back(Key{device, inode});
    runLengths_.push_back(1);
    while (runLengths_.size() >= 2) {
        const std::size_t last = runLengths_.back();
        const std::size_t before = runLengths_[runLengths_.size() - 2];
        if (before > 2 * last) break;
        const auto end = keys_.end();
        const auto middle = end - static_cast<std::ptrdiff_t>(last);
        std::inplace_merge(middle - static_cast<std::ptrdiff_t>(before), middle, end);
        runLengths_.pop_back();
        runLengths_.back() = before + last;
    }
}

bool FileIdentities::Contains(std::uint64_t device, std::uint64_t inode) const {
    const Key key{device, inode};
    auto begin = keys_.begin();
    for (const std::size_t length : runLengths_) {
        const auto end = begin + static_cast<std::ptrdiff_t>(length);
        if (std::binary_search(begin, end, key)) return true;
        begin = end;
    }
    return false;
}

}  // namespace kivo
