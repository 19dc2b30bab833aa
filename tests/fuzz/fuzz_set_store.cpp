// Fuzz target for the set store loader. Besides crashes and leaks it checks
// that what a load keeps is bounded by the input (a damaged count or length
// must not turn into memory), that the file and memory loaders agree, and
// that saving what was loaded is stable.
#include <cstdlib>
#include <string_view>

#include "FuzzSeeds.h"
#include "StoreFuzzFile.h"
#include "model/SetList.h"

namespace {

std::size_t LoadedSize(const kivo::SetList& list) {
    std::size_t total = 0;
    for (const auto& set : list.sets) {
        total += 1 + set->name.size();
        for (const auto& entry : set->entries) {
            total += 1 + entry->path.size();
            for (const auto& pattern : entry->patterns) total += 1 + pattern.size();
        }
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kivo::SetList fromMemory;
    fromMemory.LoadFromBytes(bytes);
    // Every record takes at least one input byte, and text read as UTF-16
    // grows to at most 3 bytes per 2.
    if (LoadedSize(fromMemory) > 2 * size + 16) std::abort();

    kivo::SetList fromFile;
    fromFile.Load(kivo::fuzz::WriteScratch(data, size));
    const std::string saved = fromMemory.SaveToBytes();
    if (fromFile.SaveToBytes() != saved) std::abort();

    // What was kept reads back in full (an entry that is no full path still
    // marks it damaged) and saves to the same bytes.
    kivo::SetList again;
    const kivo::StoreRead read = again.LoadFromBytes(saved);
    if (read.records != fromMemory.sets.size() || again.sets.size() != fromMemory.sets.size() ||
        again.SaveToBytes() != saved) {
        std::abort();
    }
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    kivo::SetList empty;
    seeds.push_back(empty.SaveToBytes());

    kivo::SetList list;
    auto docs = std::make_unique<kivo::FileSet>();
    docs->name = "Docs";
    auto folder = std::make_unique<kivo::SetEntry>();
    folder->path = "/home/user/docs";
    folder->patterns = {"*.html", "*.gif", "*\\temp\\*"};
    folder->filterMode = 0;
    docs->entries.push_back(std::move(folder));
    auto file = std::make_unique<kivo::SetEntry>();
    file->path = "/etc/hosts";
    docs->entries.push_back(std::move(file));
    list.sets.push_back(std::move(docs));
    auto other = std::make_unique<kivo::FileSet>();
    other->name = std::string(300, 'L');  // 3-byte prefix
    list.sets.push_back(std::move(other));
    seeds.push_back(list.SaveToBytes());

    // A UTF-16 name, which the writer never produces itself.
    seeds.push_back(std::string("\x01\x00\x00\x00\xFF\xFE\xFF\x02" "A\x00\xE9\x00\x00\x00\x00\x00",
                                16));

    // Larger than one read buffer.
    kivo::SetList big;
    for (int i = 0; i < 20; ++i) {
        auto set = std::make_unique<kivo::FileSet>();
        set->name = "set" + std::to_string(i);
        auto entry = std::make_unique<kivo::SetEntry>();
        entry->path = "/" + std::string(240, static_cast<char>('a' + i));
        entry->patterns = {"*.a", "*.b"};
        set->entries.push_back(std::move(entry));
        big.sets.push_back(std::move(set));
    }
    seeds.push_back(big.SaveToBytes());
    return seeds;
}
