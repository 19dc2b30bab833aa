#include "zip/ZipFolderIndex.h"

namespace kivo::zip {

namespace {

bool CountsAsPrime(std::size_t n) {
    if (n < 4) return true;
    if (n % 2 == 0) return false;
    // Divisors above the square root pair with one below it, so stopping
    // there decides exactly as trying every odd number up to n / 2 would.
    for (std::size_t d = 3; d * d <= n; d += 2)
        if (n % d == 0) return false;
    return true;
}

std::string Lowered(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::size_t FolderIndexSize(std::size_t entries) {
    std::size_t n = 2 * entries;
    if (n < 2) n = 2;
    while (!CountsAsPrime(n)) ++n;
    return n;
}

ZipFolderIndex::ZipFolderIndex(std::size_t entries) : heads_(FolderIndexSize(entries), -1) {}

std::size_t ZipFolderIndex::Bucket(const std::string& lowered) const {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (char c : lowered) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h % heads_.size();
}

ZipEntry* ZipFolderIndex::Find(const std::string& folderName) const {
    const std::string key = Lowered(folderName);
    for (std::int32_t i = heads_[Bucket(key)]; i >= 0; i = nodes_[i].next)
        if (nodes_[i].key == key) return nodes_[i].entry;
    return nullptr;
}

void ZipFolderIndex::Insert(const std::string& folderName, ZipEntry* entry) {
    std::string key = Lowered(folderName);
    const std::size_t bucket = Bucket(key);
    nodes_.push_back(Node{std::move(key), entry, heads_[bucket]});
    heads_[bucket] = static_cast<std::int32_t>(nodes_.size() - 1);
}

}  // namespace kivo::zip
