// Drives the archive reader the way the viewer and the extract dialog do,
// for comparison with Info-ZIP's unzip.
// Usage: bench_unzip extract ARCHIVE TARGET [PASSWORD]
//        bench_unzip list ARCHIVE
#include <cstdio>
#include <string>

#include "scan/Format.h"
#include "zip/ExtractRun.h"
#include "zip/format/ZipDirectory.h"

namespace {

int Extract(const char* archive, const char* target, const char* password) {
    kivo::zip::ZipDirectory directory;
    if (!directory.Load(archive)) {
        std::fprintf(stderr, "cannot load %s\n", archive);
        return 1;
    }
    kivo::zip::ExtractTask task;
    task.directory = &directory;
    for (const auto& entry : directory.Entries()) task.pending.push_back(entry.get());
    task.targetFolder = target;
    if (password) task.password = password;
    std::string message;
    if (!kivo::zip::PrepareTargetFolder(task.targetFolder, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    kivo::CancelFlag cancel{0};
    kivo::RunSink sink;  // no window: progress goes nowhere
    const kivo::RunResult result = kivo::zip::RunExtraction(task, sink, cancel, nullptr);
    if (result.end != kivo::RunEnd::Done) {
        std::fprintf(stderr, "%s\n", result.errorText.c_str());
        return 1;
    }
    return 0;
}

// Loads the directory and prints one line per entry, as a listing would.
int List(const char* archive) {
    kivo::zip::ZipDirectory directory;
    if (!directory.Load(archive)) {
        std::fprintf(stderr, "cannot load %s\n", archive);
        return 1;
    }
    std::uint64_t total = 0;
    for (const auto& entry : directory.Entries()) {
        std::printf("%10u  %s\n", entry->uncompressedSize, entry->name.c_str());
        total += entry->uncompressedSize;
    }
    std::printf("%s bytes in %zu entries\n", kivo::FormatCount(total).c_str(),
                directory.Entries().size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "extract" && argc >= 4) return Extract(argv[2], argv[3], argc > 4 ? argv[4] : nullptr);
    if (command == "list" && argc == 3) return List(argv[2]);
    std::fprintf(stderr, "usage: %s extract ARCHIVE TARGET [PASSWORD] | list ARCHIVE\n", argv[0]);
    return 2;
}
