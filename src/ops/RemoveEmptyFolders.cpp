#include "ops/RemoveEmptyFolders.h"

#include "model/EntryPath.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

class EmptyFolderRemoval {
public:
    explicit EmptyFolderRemoval(const ScannedFolders* scanned) : scanned_(scanned) {}

    // Removes what `folder` holds that is empty; true when nothing is left
    // in it (its own removal is the caller's). `listed`: the scan listed
    // this folder, so each sub-folder in it must be one it met.
    bool Empty(const FolderHandle& folder, bool listed) {
        FolderEnumerator names;
        if (!names.OpenAt(folder.fd(), /*followLinks=*/false)) return false;
        FindData entry;
        while (names.Next(entry)) {
            if (entry.name == "." || entry.name == "..") continue;
            // A linked folder belongs to someone else's tree: it stays.
            if (entry.isLink) return false;
            if ((entry.attributes & ATTR_DIRECTORY) == 0) return false;
            if (entry.name[0] == '.') continue;
            if (!RemoveChild(folder, entry, listed)) return false;
        }
        return true;
    }

private:
    // True when the sub-folder `entry` of `parent` is gone afterwards.
    bool RemoveChild(const FolderHandle& parent, const FindData& entry, bool parentListed) {
        bool listed = false;
        if (scanned_ != nullptr && parentListed) {
            if (!scanned_->met.Contains(entry.device, entry.inode)) return false;
            listed = scanned_->entered.Contains(entry.device, entry.inode);
        }
        FolderHandle child;
        if (parent.OpenChild(entry.name, child, /*followLink=*/false, IdOf(entry))) return false;
        if (!Empty(child, listed)) return false;
        child.Close();
        parent.RemoveFolder(entry.name);  // a failure just keeps the folder
        FindData still;
        return parent.Stat(entry.name, still).value() == ENOENT;
    }

    const ScannedFolders* scanned_;
};

// enterLinkedTop: folderPath may be a link to a folder; its sub-folders are
// walked, and the link and its target always stay.
int RemoveEmpty(const std::string& folderPath, int keepTop, bool enterLinkedTop, const FileId& expected,
                const ScannedFolders* scanned) {
    // A trailing separator would make the system look through the link.
    const std::string normalized = NormalizedPath(folderPath);
    if (IsLink(normalized)) {
        if (!enterLinkedTop) return 0;
        keepTop = 1;
    }
    // The set names this folder: a link here is followed, once.
    FolderHandle top;
    if (const std::error_code error = FolderHandle::Open(normalized, top, /*followLink=*/true, expected))
        return error.value() == ENOENT && keepTop == 0 ? 1 : 0;
    EmptyFolderRemoval removal(scanned);
    if (!removal.Empty(top, scanned != nullptr) || keepTop != 0) return 0;
    const FileId topId = top.id();
    top.Close();

    const std::string parentPath = ParentFolder(normalized);
    FolderHandle parent;
    if (FolderHandle::Open(parentPath.empty() ? std::string(".") : parentPath, parent, true)) return 0;
    const std::string name = BaseName(normalized);
    FindData now;
    if (parent.Stat(name, now) || now.isLink || IdOf(now) != topId) return 0;
    parent.RemoveFolder(name);  // a failure just keeps the folder
    return parent.Stat(name, now).value() == ENOENT ? 1 : 0;
}

}  // namespace

int RemoveEmptyFolders(const std::string& folderPath, int keepTop) {
    return RemoveEmpty(folderPath, keepTop, false, FileId{}, nullptr);
}

void RemoveEmptySetFolders(const FileSet& set, int removeEmptyMode, const std::vector<FileId>& entryIds,
                           const ScannedFolders* scanned) {
    if (removeEmptyMode != 0 && removeEmptyMode != 2) return;
    const int keepTop = removeEmptyMode == 2 ? 1 : 0;
    for (std::size_t i = 0; i < set.entries.size(); ++i) {
        const auto& entry = set.entries[i];
        if (!entry || !IsFullPath(entry->path) || !IsFolder(entry->path)) continue;
        FileId expected;
        if (i < entryIds.size()) {
            // An entry the scan did not reach was not the run's to change.
            if (!entryIds[i].Known()) continue;
            expected = entryIds[i];
        }
        // A set folder that is a link was entered by the run (the set
        // names it), but the link and the folder it leads to are not the
        // set's to remove: for it "Yes" acts as "Sub-folders only".
        RemoveEmpty(entry->path, keepTop, true, expected, scanned);
    }
}

}  // namespace kivo
