#include "model/StoreFile.h"

#include "model/Archive.h"
#include "platform/Attributes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {

bool ReadStoreFile(const std::string& path, const std::function<bool(Archive&)>& read) {
    File file;
    if (!file.Open(path, File::Mode::Read)) return false;
    Archive archive = Archive::LoadFrom(file);
    return read(archive);
}

bool ReplaceStoreFile(const std::string& storePath, const std::function<bool(Archive&)>& write) {
    // A store kept as a link to a file elsewhere is updated there; the link
    // stays a link.
    const std::string path = LinkTargetPath(storePath);
    const std::uint32_t attributes = GetAttributes(path);
    if (attributes != kInvalidAttributes &&
        (attributes & (ATTR_READONLY | ATTR_DIRECTORY)) != 0) {
        return false;
    }

    unsigned mode = 0600;
    if (attributes != kInvalidAttributes && GetPermissions(path, mode)) mode &= 0700;

    std::string folder = ParentFolder(path);
    if (folder.empty()) folder = ".";
    File file;
    std::string tempPath;
    if (!file.CreateSiblingTemp(folder, "." + BaseName(path) + ".", tempPath,
                                File::Access::OwnerOnly)) {
        return false;
    }

    bool written = file.SetMode(mode);
    if (written) {
        Archive archive = Archive::StoreTo(file);
        written = write(archive) && archive.Flush();
    }
    written = written && file.Flush();
    written = file.Close() && written;
    if (written && RenamePath(tempPath, path)) return true;
    RemoveFile(tempPath);
    return false;
}

}  // namespace kivo
