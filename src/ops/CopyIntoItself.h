#pragma once
// Copy and Move must not write into a tree that the same run scans: the
// copies would be listed, or overwrite files still to be read.
#include <string>

#include "model/FileSet.h"

namespace kivo {

// True when `destinationFolder` (existing or still to be made) lies in or
// at a folder entry of `set` that scans sub-folders. Folders are compared by
// device and inode, walking up from where the destination is or will be
// once made, so links on the way and names that only look alike (x/S and
// x/SS) are told apart. Call before the destination is made.
bool DestinationInsideSet(const FileSet& set, const std::string& destinationFolder);

}  // namespace kivo
