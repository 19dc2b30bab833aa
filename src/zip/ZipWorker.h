#pragma once
// The Zip operation's worker: expands the set, then builds the archive.
#include <string>

#include "model/FileSet.h"
#include "report/RunSink.h"

namespace kivo::zip {

struct ZipJob {
    std::string outputPath;  // the archive to create
    std::string password;    // as typed; blanks only means no password
    bool aes = false;        // AES-256 instead of traditional encryption
};

// Runs on the worker thread. `set` may be null (nothing to do). Ends as
// done, stopped (cancel seen) or failed with "Error making zip file:\r\n%s".
RunResult ZipWorker(const FileSet* set, const ZipJob& job, CancelFlag& cancel, RunSink& sink);

}  // namespace kivo::zip
