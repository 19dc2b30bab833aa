#pragma once
// Removal of the folders a Delete or Move left without files.
#include <string>

#include "model/FileSet.h"

namespace kivo {

// Removes folderPath's sub-folders that hold no file, and folderPath itself
// unless keepTop is 1. A folder is visited only up to its first file or
// first sub-folder that survives. Folders whose name begins with '.' are
// never entered and keep their parent. A symbolic link is an entry that
// stays and is never entered, so nothing outside the tree is touched.
// Returns 1 when folderPath no longer exists afterwards, else 0.
int RemoveEmptyFolders(const std::string& folderPath, int keepTop);

// The closing step of Delete and Move: mode 0 removes each set folder and its
// empty sub-folders, 2 only the sub-folders, 1 nothing. File entries and
// missing folders are passed over.
void RemoveEmptySetFolders(const FileSet& set, int removeEmptyMode);

}  // namespace kivo
