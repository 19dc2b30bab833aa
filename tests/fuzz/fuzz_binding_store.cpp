// Fuzz target for the binding store loader: no crash or leak, memory bounded
// by the input, file and memory loaders agree, saving what was loaded is
// stable.
#include <cstdlib>
#include <string_view>

#include "FuzzSeeds.h"
#include "StoreFuzzFile.h"
#include "model/OperationList.h"

namespace {

std::size_t LoadedSize(const kivo::OperationList& list) {
    std::size_t total = 0;
    for (const auto& operation : list.operations) {
        total += 1 + operation->setName.size() + operation->destination.size() +
                 operation->zipPassword.size() + operation->zipName.size();
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kivo::OperationList fromMemory;
    fromMemory.LoadFromBytes(bytes);
    if (LoadedSize(fromMemory) > 2 * size + 16) std::abort();

    kivo::OperationList fromFile;
    fromFile.Load(kivo::fuzz::WriteScratch(data, size));
    const std::string saved = fromMemory.SaveToBytes();
    if (fromFile.SaveToBytes() != saved) std::abort();

    kivo::OperationList again;
    if (!again.LoadFromBytes(saved) || again.SaveToBytes() != saved) std::abort();
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    kivo::OperationList empty;
    seeds.push_back(empty.SaveToBytes());

    kivo::OperationList list;
    const char* names[] = {"Docs", "Music", "Photos", "Tmp"};
    for (int kind = 0; kind < 4; ++kind) {
        auto operation = std::make_unique<kivo::Operation>();
        operation->kind = kind;
        operation->setName = names[kind];
        operation->destination = "/backup/" + std::string(names[kind]);
        operation->overwriteMode = kind % 3;
        operation->erasePasses = static_cast<std::uint32_t>(kind * 3);
        operation->flags = static_cast<std::uint32_t>(kind) & 7u;
        if (kind == 3) {
            operation->zipPassword = "secret";
            operation->zipName = "Backup";
            operation->zipNameByTime = 1;
        }
        operation->lastRun = kind ? 127491661890000000ULL : 0;
        list.operations.push_back(std::move(operation));
    }
    seeds.push_back(list.SaveToBytes());

    kivo::OperationList big;
    for (int i = 0; i < 30; ++i) {
        auto operation = std::make_unique<kivo::Operation>();
        operation->setName = "set" + std::to_string(i);
        operation->destination = std::string(200, static_cast<char>('a' + i % 26));
        big.operations.push_back(std::move(operation));
    }
    seeds.push_back(big.SaveToBytes());
    return seeds;
}
