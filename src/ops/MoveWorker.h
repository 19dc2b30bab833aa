#pragma once
// Move: every file of the set copied into a destination folder and its
// source deleted; then the source folders this leaves empty removed.
#include "ops/CopyWorker.h"

namespace kivo {

struct MoveOptions : CopyOptions {
    int removeEmptyMode = 0;  // 0 Yes, 1 No, 2 Sub-folders only
    // The program's own data folder: a set that holds it is refused.
    std::string dataFolder;
};

// Runs on the caller's thread until the run ends. `set` may be null.
RunResult MoveWorker(const FileSet* set, const MoveOptions& options, CancelFlag& cancel,
                     RunSink& sink);

}  // namespace kivo
