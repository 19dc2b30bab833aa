// Runs one Delete, Copy or Move the way kivo-cli does, for timing against
// the standard tools:
//   bench_ops copy SOURCE-FOLDER DEST [OVERWRITE-MODE]
//   bench_ops move SOURCE-FOLDER DEST [OVERWRITE-MODE]
//   bench_ops delete FOLDER PASSES [REMOVE-EMPTY-MODE]
// SOURCE-FOLDER/FOLDER is the one folder entry of the set.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "model/FileSet.h"
#include "ops/CopyWorker.h"
#include "ops/DeleteWorker.h"
#include "ops/MoveWorker.h"
#include "platform/Paths.h"

namespace {

// Keeps only the latest values, as a window does between repaints.
class LatestValues : public kivo::RunSink {
public:
    void SetPercent(int value) override { percent = value; }
    int percent = 0;
};

int Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s copy|move SOURCE-FOLDER DEST [MODE]\n"
                 "       %s delete FOLDER PASSES [REMOVE-EMPTY-MODE]\n",
                 program, program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage(argv[0]);
    const std::string command = argv[1];

    kivo::FileSet set;
    set.name = "bench";
    auto entry = std::make_unique<kivo::SetEntry>();
    entry->path = argv[2];
    set.entries.push_back(std::move(entry));

    kivo::CancelFlag cancel{0};
    LatestValues sink;
    kivo::RunResult result;
    if (command == "copy" || command == "move") {
        const std::string destination = kivo::Trim(argv[3]);
        // As the run dialog does before it starts a worker.
        if (kivo::MakeFolders(destination) != 0) {
            std::fprintf(stderr, "cannot create %s\n", destination.c_str());
            return 1;
        }
        kivo::MoveOptions options;
        options.destinationFolder = destination;
        if (argc > 4) options.overwriteMode = std::atoi(argv[4]);
        result = command == "copy" ? kivo::CopyWorker(&set, options, cancel, sink)
                                   : kivo::MoveWorker(&set, options, cancel, sink);
    } else if (command == "delete") {
        kivo::DeleteOptions options;
        options.passesText = argv[3];
        if (argc > 4) options.removeEmptyMode = std::atoi(argv[4]);
        result = kivo::DeleteWorker(&set, options, cancel, sink);
    } else {
        return Usage(argv[0]);
    }

    if (result.end == kivo::RunEnd::Failed) {
        std::fprintf(stderr, "%s\n", result.errorText.c_str());
        return 1;
    }
    std::printf("%s, %d%%\n", result.end == kivo::RunEnd::Done ? "done" : "stopped", sink.percent);
    return result.end == kivo::RunEnd::Done ? 0 : 1;
}
