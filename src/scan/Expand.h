#pragma once
// Expansion of a set into the item list the workers read.
#include <string>

#include "model/FileSet.h"
#include "scan/ItemList.h"

namespace kivo {

struct ExpandOptions {
    // Enter folders reached through symbolic links (with a cycle guard).
    // Copy, Zip and the Filter Builder follow them; Delete and Move do not.
    bool followFolderLinks = true;
};

void ExpandSet(const FileSet& set, ItemList& list, const ExpandOptions& options = {});
void ExpandEntry(const SetEntry& entry, ItemList& list, const ExpandOptions& options = {});

}  // namespace kivo
