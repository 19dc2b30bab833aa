#pragma once
// What every run shares: Ctrl+C raises the cancel flag, the progress line
// on standard error, and the mapping of the run's end to the exit status.
#include <functional>
#include <string>

#include "cli/Args.h"
#include "cli/Stores.h"
#include "model/FileSet.h"
#include "report/RunSink.h"

namespace kivo::cli {

using RunBody = std::function<RunResult(CancelFlag& cancel, RunSink& sink)>;

// Done 0; stopped 128 + the signal (130 for Ctrl+C); failed 1 with the run's
// message on standard error.
int ExecuteRun(const Context& context, const RunBody& body);

// "yes" 0, "no" 1, "sub" 2 (the radio order of "Remove Empty Folders").
int ParseRemoveEmpty(const ParsedArgs& args, int fallback);
// "always" 0, "never" 1, "if-older" 2.
int ParseOverwrite(const ParsedArgs& args, int fallback);

// The run dialogs' Start for Copy and Move: the destination trimmed (and
// here made absolute) and created. Prints "Can not create folder:\r\n%s"
// and returns false when it cannot be created.
bool PrepareDestination(std::string& folder);

// PrepareDestination for a run of `set`, refused first, before any folder
// is made, when the destination lies in a tree the set scans ("Can not copy
// a folder into itself:\r\n%s").
bool PrepareDestination(const FileSet& set, std::string& folder);

// Delete and Move: true, with "This set holds Kivo's own data folder: %s"
// printed, when a run of `set` would remove the data folder or its stores.
// Checked before anything is made, as the run itself checks again.
bool RefuseDataFolderRun(const FileSet& set, const std::string& dataFolder);

}  // namespace kivo::cli
