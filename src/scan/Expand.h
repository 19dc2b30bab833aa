#pragma once
// Expansion of a set into the item list the workers read.
#include <cstdint>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "scan/FileIdentities.h"
#include "scan/ItemList.h"

namespace kivo {

struct ExpandOptions {
    // Enter folders reached through symbolic links (with a cycle guard).
    // Copy, Zip and the Filter Builder follow them; Delete and Move do not.
    // A folder entry that is itself a link is entered either way: the set
    // names it, as a command line names the folders `find -H` follows.
    bool followFolderLinks = true;
    // When set, receives the device and inode of every file listed (what a
    // link leads to, for a link), unsorted: the caller sorts them.
    FileIdentities* listed = nullptr;
    // When set, receives one identity per set entry, in set order: the
    // folder or file the entry led to when it was scanned (links followed),
    // unknown for an entry that could not be reached or was not scanned.
    std::vector<FileId>* entryIds = nullptr;
    // When set, receive the device and inode of every folder (not a link)
    // the scan met under a folder entry, entered or not, and of those whose
    // names it listed, unsorted.
    FileIdentities* folders = nullptr;
    FileIdentities* enteredFolders = nullptr;
    // When set, receives the full path of every link to a folder that the
    // scan passed over because it follows no links, in the order met.
    std::vector<std::string>* passedFolderLinks = nullptr;
};

// Every entry in set order; stops after the entry during which the list
// was cancelled. An entry that is not a full path is passed over with a
// notice naming it ("Not a full path, skipped: %s") on the list's sink.
void ExpandSet(const FileSet& set, ItemList& list, const ExpandOptions& options = {});

// A file entry is listed as it is (no filter); a folder entry is scanned.
// An entry that cannot be reached is skipped silently; one that is not a
// full path with the notice above.
void ExpandEntry(const SetEntry& entry, ItemList& list, const ExpandOptions& options = {});

// Lists the files under `folder` that the entry's filter takes, depth-first
// (sub-folders only when the entry asks for them); returns how many were
// added. Relative names start at the last component of the entry's path.
std::uint64_t ScanFolder(const SetEntry& entry, const std::string& folder, ItemList& list,
                         const ExpandOptions& options = {});

// Index in `fullPath` where the relative name of a file found under a folder
// entry whose normalised path is `entryLength` bytes long begins: just after
// the separator that precedes the entry folder's last component (for the
// root "/": after the root).
std::uint32_t RelativeNameStart(const std::string& fullPath, std::size_t entryLength);

}  // namespace kivo
