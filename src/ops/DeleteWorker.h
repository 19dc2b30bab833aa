#pragma once
// Delete: every file of the set, overwritten the chosen number of times and
// then deleted, and the folders this leaves empty removed.
#include <string>

#include "model/FileSet.h"
#include "report/RunSink.h"

namespace kivo {

struct DeleteOptions {
    std::string passesText = "0";  // leading digits, capped at 257
    int removeEmptyMode = 0;       // 0 Yes, 1 No, 2 Sub-folders only
    // The program's own data folder: a set that holds it is refused.
    std::string dataFolder;
};

// Runs on the caller's thread until the run ends. `set` may be null.
RunResult DeleteWorker(const FileSet* set, const DeleteOptions& options, CancelFlag& cancel,
                       RunSink& sink);

}  // namespace kivo
