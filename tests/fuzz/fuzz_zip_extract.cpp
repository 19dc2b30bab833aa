// Extracts every entry of a fuzzed archive into a target folder deep inside
// a scratch folder, and aborts if anything appears outside the target.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FuzzSeeds.h"
#include "ZipFuzzSeeds.h"
#include "zip/ExtractEntry.h"
#include "zip/format/ZipDirectory.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder per process, removed at exit.
struct ScratchFolder {
    fs::path path = fs::temp_directory_path() / ("kivo-fuzz-extract-" + std::to_string(::getpid()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const fs::path& Scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

// Deep enough that names climbing a few levels would still land in Scratch.
fs::path TargetFolder() { return Scratch() / "a" / "b" / "c" / "target"; }

// Also aborts on a temporary file left inside the target: a failed entry
// must leave nothing behind.
void CheckNothingOutsideTarget() {
    const fs::path target = TargetFolder();
    const std::string inside = target.string() + "/";
    for (auto it = fs::recursive_directory_iterator(Scratch()); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& p = it->path();
        if (p == Scratch() / "in.zip") continue;
        if (p == Scratch() / "a" || p == Scratch() / "a" / "b" || p == Scratch() / "a" / "b" / "c")
            continue;
        if (p == target) continue;
        if (p.string().compare(0, inside.size(), inside) == 0) {
            if (p.filename().string().rfind(kivo::zip::kExtractTempPrefix, 0) != 0) continue;
            std::fprintf(stderr, "temporary file left behind: %s\n", p.c_str());
            std::abort();
        }
        std::fprintf(stderr, "written outside the target folder: %s\n", p.c_str());
        std::abort();
    }
}

}  // namespace

std::vector<std::string> FuzzSeeds() { return ZipSeedArchives(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string archive = (Scratch() / "in.zip").string();
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::error_code ec;
    fs::remove_all(TargetFolder(), ec);
    fs::create_directories(TargetFolder());

    kivo::zip::ZipDirectory directory;
    if (directory.Load(archive)) {
        kivo::zip::ZipProgress progress;
        const std::string password = "pw";
        for (const auto& entry : directory.Entries()) {
            kivo::zip::ExtractEntry(*entry, directory.ArchiveFile(), TargetFolder().string(), "",
                                    &password, progress, false);
        }
    }
    CheckNothingOutsideTarget();
    return 0;
}
