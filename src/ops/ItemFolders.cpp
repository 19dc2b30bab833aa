#include "ops/ItemFolders.h"

#include "platform/Paths.h"

namespace kivo {

bool PlaceOf(const ItemRecord& item, ItemPlace& out) {
    out.folders.clear();
    const std::string_view path = item.path;
    if (item.fileEntry) {
        const std::size_t cut = path.rfind('/');
        if (cut == std::string_view::npos) {
            out.root = ".";
            out.name = path;
        } else {
            out.root = cut == 0 ? std::string("/") : std::string(path.substr(0, cut));
            out.name = path.substr(cut + 1);
        }
        return !out.name.empty();
    }
    const std::string_view relative = path.substr(item.relativeStart);
    std::vector<std::string_view> parts = SplitComponents(relative);
    if (parts.empty()) return false;
    out.name = parts.back();
    parts.pop_back();
    std::size_t first = 0;
    if (item.relativeStart == 0 && !path.empty() && path[0] == '/') {
        // A set folder that is the root: every component lies below it.
        out.root = "/";
    } else {
        if (parts.empty()) return false;
        // The entry folder: everything up to and including the first
        // component of the relative name.
        const std::size_t end = static_cast<std::size_t>(parts[0].data() - path.data()) + parts[0].size();
        out.root = std::string(path.substr(0, end));
        first = 1;
    }
    out.folders.assign(parts.begin() + static_cast<std::ptrdiff_t>(first), parts.end());
    return true;
}

std::error_code ReachItemFolder(FolderChain& chain, const ItemRecord& item, bool followLinks,
                                const FolderHandle*& folder, std::string& name) {
    ItemPlace place;
    if (!PlaceOf(item, place)) return ErrnoCode(EINVAL);
    FolderChain::Walk walk;
    walk.followLinks = followLinks && item.throughFolderLink;
    walk.expected = item.folderId;
    if (std::error_code error = chain.Reach(place.root, place.folders, walk, folder)) {
        // Handles of a chain that met a change are not reused.
        chain.Reset();
        return error;
    }
    name.assign(place.name);
    return {};
}

std::error_code ReachDestinationFolder(FolderChain& chain, const std::string& destinationRoot,
                                       std::string_view relativeName, bool create, FileId& rootId,
                                       const FolderHandle*& folder, std::string& name) {
    std::vector<std::string_view> parts = SplitComponents(relativeName);
    if (parts.empty()) return ErrnoCode(EINVAL);
    name.assign(parts.back());
    parts.pop_back();
    // The destination folder is made before a run starts; made again here
    // only if it went missing, as the folders below it are.
    if (!rootId.Known() && create && MakeFolders(destinationRoot) != 0) return ErrnoCode(ENOTDIR);
    FolderChain::Walk walk;
    walk.create = create;
    walk.rootExpected = rootId;
    if (std::error_code error = chain.Reach(destinationRoot, parts, walk, folder)) {
        chain.Reset();
        return error;
    }
    // What the root was first opened on is the destination this run
    // checked; every later reopening must find it again.
    if (!rootId.Known()) rootId = chain.rootId();
    return {};
}

}  // namespace kivo
