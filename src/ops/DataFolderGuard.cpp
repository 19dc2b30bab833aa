#include "ops/DataFolderGuard.h"

#include <vector>

#include "model/StringTable.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

// A folder from the data folder up to the root, and whether the scan of a
// set folder there could walk down to the data folder: no folder on the
// way down (the data folder included) has a name the scan never enters.
struct Above {
    FileId id;
    bool walkable = false;
};

std::vector<Above> FoldersAbove(const std::string& physical) {
    std::vector<Above> chain;
    bool hiddenBelow = false;
    std::string path = physical;
    for (;;) {
        FindData data;
        if (GetFindData(path, data, true)) chain.push_back(Above{IdOf(data), !hiddenBelow});
        const std::string name = BaseName(path);
        if (!name.empty() && name[0] == '.') hiddenBelow = true;
        const std::string parent = ParentFolder(path);
        if (parent.empty() || parent == path) break;
        path = parent;
    }
    return chain;
}

bool IsFolderAt(const std::string& path, FileId& id) {
    FindData data;
    if (!GetFindData(path, data, true) || (data.attributes & ATTR_DIRECTORY) == 0) return false;
    id = IdOf(data);
    return true;
}

}  // namespace

bool SetHoldsDataFolder(const FileSet& set, const std::string& dataFolder) {
    if (dataFolder.empty()) return false;
    FileId dataId;
    if (!IsFolderAt(dataFolder, dataId)) return false;
    const std::string physical = ResolvedPath(dataFolder);
    if (physical.empty()) return false;
    const std::vector<Above> chain = FoldersAbove(physical);
    for (const auto& entry : set.entries) {
        if (!entry || entry->path.empty()) continue;
        FileId id;
        if (IsFolderAt(entry->path, id)) {
            if (id == dataId) return true;
            if (entry->includeSubfolders == 0) continue;
            for (const Above& above : chain)
                if (above.walkable && above.id == id) return true;
            continue;
        }
        // A file entry goes from the folder its path names, links on the
        // way followed, as the run reaches it.
        FindData self;
        if (!GetFindData(entry->path, self, false)) continue;
        FileId parent;
        if (IsFolderAt(ParentFolder(NormalizedPath(entry->path)), parent) && parent == dataId) return true;
    }
    return false;
}

ItemOutcome RefuseDataFolder(const FileSet& set, const std::string& dataFolder) {
    if (!SetHoldsDataFolder(set, dataFolder)) return std::nullopt;
    return FailedWith(IDS_SET_HOLDS_DATA_FOLDER, dataFolder);
}

}  // namespace kivo
