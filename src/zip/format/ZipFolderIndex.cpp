#include "zip/format/ZipFolderIndex.h"

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

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsLowered(const std::string& lowered, std::string_view text) {
    if (lowered.size() != text.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (lowered[i] != Lower(text[i])) return false;
    return true;
}

}  // namespace

std::size_t FolderIndexSize(std::size_t entries) {
    std::size_t n = 2 * entries;
    if (n < 2) n = 2;
    while (!CountsAsPrime(n)) ++n;
    return n;
}

ZipFolderIndex::ZipFolderIndex(std::size_t entries) : heads_(FolderIndexSize(entries), -1) {}

std::uint32_t ZipFolderIndex::Hash(std::int32_t parent, std::string_view component) {
    std::uint32_t h = 2166136261u;  // FNV-1a over the parent id, then the component
    const auto p = static_cast<std::uint32_t>(parent);
    for (int shift = 0; shift < 32; shift += 8) h = (h ^ ((p >> shift) & 0xFF)) * 16777619u;
    for (char c : component) h = (h ^ static_cast<unsigned char>(Lower(c))) * 16777619u;
    return h;
}

std::int32_t ZipFolderIndex::Find(std::int32_t parent, std::string_view component) const {
    const std::uint32_t h = Hash(parent, component);
    for (std::int32_t i = heads_[h % heads_.size()]; i >= 0; i = nodes_[i].next) {
        const Node& node = nodes_[i];
        if (node.hash == h && node.parent == parent && EqualsLowered(node.key, component)) return i;
    }
    return -1;
}

std::int32_t ZipFolderIndex::Insert(std::int32_t parent, std::string_view component) {
    const std::uint32_t h = Hash(parent, component);
    std::string key(component);
    for (char& c : key) c = Lower(c);
    const std::size_t bucket = h % heads_.size();
    nodes_.push_back(Node{parent, h, std::move(key), heads_[bucket]});
    heads_[bucket] = static_cast<std::int32_t>(nodes_.size() - 1);
    return heads_[bucket];
}

}  // namespace kivo::zip
