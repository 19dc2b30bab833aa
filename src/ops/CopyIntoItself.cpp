#include "ops/CopyIntoItself.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "model/EntryPath.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

using Identity = std::pair<std::uint64_t, std::uint64_t>;

std::vector<Identity> ScannedTrees(const FileSet& set) {
    std::vector<Identity> trees;
    for (const auto& entry : set.entries) {
        if (!entry || !IsFullPath(entry->path) || entry->includeSubfolders == 0) continue;
        FindData data;
        if (GetFindData(entry->path, data) && (data.attributes & ATTR_DIRECTORY) != 0)
            trees.emplace_back(data.device, data.inode);
    }
    return trees;
}

// The path the destination folder has, or will have once its missing
// folders are made, with every link resolved: its textual parents are then
// its real parents.
std::string PhysicalPath(const std::string& folder) {
    std::string existing = NormalizedPath(folder);
    std::vector<std::string> missing;  // deepest first
    while (!existing.empty() && !PathExists(existing)) {
        const std::string parent = ParentFolder(existing);
        missing.push_back(BaseName(existing));
        if (parent == existing) break;
        existing = parent;
    }
    std::string path = ResolvedPath(existing.empty() ? std::string(".") : existing);
    if (path.empty()) return std::string();
    // The missing part is made as plain folders, so ".." in it is the
    // folder above, as the system will take it.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (it->empty() || *it == ".") continue;
        if (*it == "..") {
            path = ParentFolder(path);
            if (path.empty()) path = "/";
        } else {
            path = JoinPath(path, *it);
        }
    }
    return path;
}

}  // namespace

bool DestinationInsideSet(const FileSet& set, const std::string& destinationFolder) {
    const std::vector<Identity> trees = ScannedTrees(set);
    if (trees.empty()) return false;
    std::string path = PhysicalPath(destinationFolder);
    while (!path.empty()) {
        FindData data;
        if (GetFindData(path, data) &&
            std::find(trees.begin(), trees.end(), Identity(data.device, data.inode)) != trees.end())
            return true;
        const std::string parent = ParentFolder(path);
        if (parent == path) break;
        path = parent;
    }
    return false;
}

}  // namespace kivo
