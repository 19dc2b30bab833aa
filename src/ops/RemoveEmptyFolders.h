#pragma once
// Removal of the folders a Delete or Move left without files.
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "platform/Folder.h"
#include "scan/FileIdentities.h"

namespace kivo {

// The folders a scan met under the set's folder entries (entered or not, no
// links), and those whose names it listed.
struct ScannedFolders {
    FileIdentities met;
    FileIdentities entered;
};

// Removes folderPath's sub-folders that hold no file, and folderPath itself
// unless keepTop is 1. A folder is visited only up to its first file or
// first sub-folder that survives. Folders whose name begins with '.' are
// never entered and keep their parent. A symbolic link is an entry that
// stays and is never entered, so nothing outside the tree is touched.
// Returns 1 when folderPath no longer exists afterwards, else 0.
int RemoveEmptyFolders(const std::string& folderPath, int keepTop);

// The closing step of Delete and Move: mode 0 removes each set folder and its
// empty sub-folders, 2 only the sub-folders, 1 nothing. File entries and
// missing folders are passed over. Every folder is reached through a handle
// of its parent, without following a link; a set folder must still be what
// `entryIds` says the scan found there (one identity per entry), and, when
// `scanned` is given, a sub-folder of a folder the scan listed is entered or
// removed only if the scan met it: a folder put in the place of one is left
// alone. Below a folder the scan met without listing it (a set folder
// scanned without sub-folders) nothing was seen to compare with.
void RemoveEmptySetFolders(const FileSet& set, int removeEmptyMode,
                           const std::vector<FileId>& entryIds = {},
                           const ScannedFolders* scanned = nullptr);

}  // namespace kivo
