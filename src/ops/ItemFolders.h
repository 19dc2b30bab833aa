#pragma once
// Where a run acts on a record: the folder that holds the file, reached
// through handles from the set entry down, each level opened without
// following links and the last one checked against what the scan saw.
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/Folder.h"
#include "scan/ItemList.h"

namespace kivo {

// A record's path split at its set entry: the folder the walk starts from
// (the entry folder itself, or a file entry's folder: named by the user, so
// a link there is followed), the folders below it, and the file's name.
struct ItemPlace {
    std::string root;
    std::vector<std::string_view> folders;  // views into the record's path
    std::string_view name;
};

// False for a path that has no file name.
bool PlaceOf(const ItemRecord& item, ItemPlace& out);

// Reaches the folder that holds `item` through `chain`, never through a link
// below the entry unless `followLinks` and the scan itself entered one on
// the way, and only when the folder is the one the scan saw. On success
// `folder` points at its handle and `name` holds the file's name.
std::error_code ReachItemFolder(FolderChain& chain, const ItemRecord& item, bool followLinks,
                                const FolderHandle*& folder, std::string& name);

// The destination side: `destinationRoot` (named by the user: followed, and
// made with its parents when missing), then each folder of `relativeName`
// but the last component made with mkdirat and opened without following a
// link. With `create` false a missing folder gives ENOENT and nothing is
// made. The root's identity is kept in `rootId` at the first call and
// required from then on.
std::error_code ReachDestinationFolder(FolderChain& chain, const std::string& destinationRoot,
                                       std::string_view relativeName, bool create, FileId& rootId,
                                       const FolderHandle*& folder, std::string& name);

}  // namespace kivo
