#pragma once
// Delete and Move must never take away the program's own data folder: its
// stores hold every set and saved operation, and a run of one set must not
// end all the others.
#include <string>

#include "model/FileSet.h"
#include "ops/RunEngine.h"

namespace kivo {

// True when a Delete or Move of `set` would reach `dataFolder` or a file in
// it: a folder entry that is the data folder, or one that scans sub-folders
// and holds it on a path the scan would walk (real folders, none named with
// a leading '.'), or a file entry directly in it. Folders are compared by
// device and inode, so a link to the data folder or to a folder above it is
// seen through. An empty or missing data folder holds nothing to protect.
bool SetHoldsDataFolder(const FileSet& set, const std::string& dataFolder);

// The refusal of such a run, or nullopt.
ItemOutcome RefuseDataFolder(const FileSet& set, const std::string& dataFolder);

}  // namespace kivo
