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

}  // namespace

int RemoveEmptyFolders(const std::string& folderPath, int keepTop) {
    // A linked folder belongs to someone else's tree: it stays as it is. A
    // trailing separator would make the system look through the link.
    const std::string normalized = NormalizedPath(folderPath);
    if (IsLink(normalized)) return 0;

    FolderEnumerator names;
    if (names.Open(normalized)) {
        FindData entry;
        while (names.Next(entry)) {
            if (entry.isLink) return 0;
            if ((entry.attributes & ATTR_DIRECTORY) != 0) {
                if (!entry.name.empty() && entry.name[0] == '.') continue;
                if (RemoveEmptyFolders(JoinPath(folderPath, entry.name), 0) == 0) return 0;
            } else {
                return 0;
            }
        }
        names.Close();
    }
    if (keepTop == 0) RemoveFolder(folderPath);  // a failure just keeps the folder
    return NameExists(folderPath) ? 0 : 1;
}

void RemoveEmptySetFolders(const FileSet& set, int removeEmptyMode) {
    if (removeEmptyMode != 0 && removeEmptyMode != 2) return;
    const int keepTop = removeEmptyMode == 2 ? 1 : 0;
    for (const auto& entry : set.entries) {
        if (entry && !entry->path.empty() && IsFolder(entry->path))
            RemoveEmptyFolders(entry->path, keepTop);
    }
}

}  // namespace kivo
