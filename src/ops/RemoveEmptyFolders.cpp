#include "ops/RemoveEmptyFolders.h"

#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

bool NameExists(const std::string& path) {
    FindData data;
    return GetFindData(path, data, /*followLinks=*/false);
}

// enterLinkedTop: folderPath may be a link to a folder; its sub-folders are
// walked, and the link and its target always stay.
int RemoveEmpty(const std::string& folderPath, int keepTop, bool enterLinkedTop) {
    // A linked folder belongs to someone else's tree: it stays as it is. A
    // trailing separator would make the system look through the link.
    const std::string normalized = NormalizedPath(folderPath);
    if (IsLink(normalized)) {
        if (!enterLinkedTop) return 0;
        keepTop = 1;
    }

    FolderEnumerator names;
    if (names.Open(normalized)) {
        FindData entry;
        while (names.Next(entry)) {
            if (entry.isLink) return 0;
            if ((entry.attributes & ATTR_DIRECTORY) != 0) {
                if (!entry.name.empty() && entry.name[0] == '.') continue;
                if (RemoveEmpty(JoinPath(folderPath, entry.name), 0, false) == 0) return 0;
            } else {
                return 0;
            }
        }
        names.Close();
    }
    if (keepTop == 0) RemoveFolder(folderPath);  // a failure just keeps the folder
    return NameExists(folderPath) ? 0 : 1;
}

}  // namespace

int RemoveEmptyFolders(const std::string& folderPath, int keepTop) {
    return RemoveEmpty(folderPath, keepTop, false);
}

void RemoveEmptySetFolders(const FileSet& set, int removeEmptyMode) {
    if (removeEmptyMode != 0 && removeEmptyMode != 2) return;
    const int keepTop = removeEmptyMode == 2 ? 1 : 0;
    for (const auto& entry : set.entries) {
        // A set folder that is a link was entered by the run (the set
        // names it), but the link and the folder it leads to are not the
        // set's to remove: for it "Yes" acts as "Sub-folders only".
        if (entry && !entry->path.empty() && IsFolder(entry->path))
            RemoveEmpty(entry->path, keepTop, true);
    }
}

}  // namespace kivo
