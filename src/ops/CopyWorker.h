#pragma once
// Copy: every file of the set into a destination folder under its relative
// name, following the overwrite policy.
#include <string>

#include "model/FileSet.h"
#include "report/RunSink.h"

namespace kivo {

struct CopyOptions {
    std::string destinationFolder;  // trimmed; created before the run starts
    int overwriteMode = 2;          // 0 Always, 1 Never, 2 If Older
    int skipIfMissing = 0;          // 1: only files that exist at the destination
};

// Runs on the caller's thread until the run ends. `set` may be null.
RunResult CopyWorker(const FileSet* set, const CopyOptions& options, CancelFlag& cancel,
                     RunSink& sink);

}  // namespace kivo
