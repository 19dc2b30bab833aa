#include "ops/CopyHelpers.h"

#include "platform/Attributes.h"

namespace kivo {

int GetFileInfo(const std::string& path, FindData& info) {
    if (path.empty()) return 0;
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
    if (!trimmed.empty() && GetFindData(trimmed, info)) return 1;
    // The root has no name of its own to look up.
    if (IsFolder(path)) {
        info = FindData{};
        info.name = path;
        info.attributes = ATTR_DIRECTORY;
        return 1;
    }
    return 0;
}

int ShouldSkipCopy(const std::string& sourcePath, const std::string& destinationPath,
                   int overwriteMode, int skipIfMissing) {
    // Names are case-sensitive here, so the text comparison is exact.
    if (sourcePath == destinationPath) return 1;
    FindData destination;
    if (GetFileInfo(destinationPath, destination) == 0) return skipIfMissing;

    FindData source;
    const bool haveSource = GetFileInfo(sourcePath, source) != 0;
    // Another name of the very same file: copying would read what it writes.
    if (haveSource && source.device == destination.device && source.inode == destination.inode)
        return 1;

    if (overwriteMode == kOverwriteAlways) return 0;
    if (overwriteMode == kOverwriteNever) return 1;
    if (!haveSource) return 1;
    return destination.lastWriteTime < source.lastWriteTime ? 0 : 1;
}

bool CopyFileTimes(const File& source, File& destination) {
    FindData times;
    if (!GetFindData(source.path(), times)) return false;
    return destination.SetTimes(times.lastAccessTime, times.lastWriteTime);
}

}  // namespace kivo
