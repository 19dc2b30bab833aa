// Loads a fuzzed archive and runs every query the viewer makes on it.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>

#include "FuzzSeeds.h"
#include "ZipFuzzSeeds.h"
#include "zip/format/ZipDirectory.h"

namespace {

// A scratch folder per process, removed at exit.
struct ScratchFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("kivo-fuzz-zipdir-" + std::to_string(::getpid()));
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& ArchivePath() {
    static const ScratchFolder folder;
    static const std::string path = (folder.path / "in.zip").string();
    return path;
}

}  // namespace

std::vector<std::string> FuzzSeeds() { return ZipSeedArchives(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(ArchivePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    kivo::zip::ZipDirectory directory;
    if (!directory.Load(ArchivePath())) {
        if (!directory.Entries().empty() || !directory.Path().empty()) std::abort();
        return 0;
    }
    std::size_t listed = directory.CollectEntries("", false).size();
    for (const auto& entry : directory.Entries()) {
        if (entry->name.empty() || entry->name.front() == '/') std::abort();
        if (entry->isFolder) {
            listed += directory.ListSubfolders(entry->name).size();
            listed += directory.CollectEntries(entry->name, true).size();
        }
    }
    // Every entry is somewhere below the top level.
    if (directory.CollectEntries("", true).size() > directory.Entries().size()) std::abort();
    (void)listed;
    return 0;
}
