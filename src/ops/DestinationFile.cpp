#include "ops/DestinationFile.h"

#include <cerrno>
#include <utility>

#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {

DestinationFile::~DestinationFile() { Discard(); }

DestinationFile::DestinationFile(DestinationFile&& other) noexcept
    : file_(std::move(other.file_)),
      path_(std::move(other.path_)),
      tempPath_(std::exchange(other.tempPath_, std::string())) {}

DestinationFile& DestinationFile::operator=(DestinationFile&& other) noexcept {
    if (this != &other) {
        Discard();
        file_ = std::move(other.file_);
        path_ = std::move(other.path_);
        tempPath_ = std::exchange(other.tempPath_, std::string());
    }
    return *this;
}

bool DestinationFile::Commit() {
    if (tempPath_.empty()) return false;
    file_.Close();
    if (!RenamePath(tempPath_, path_)) {
        Discard();
        return false;
    }
    tempPath_.clear();
    return true;
}

void DestinationFile::Discard() {
    file_.Close();
    if (tempPath_.empty()) return;
    RemoveFile(tempPath_);
    tempPath_.clear();
}

DestinationFile CreateDestinationFile(const std::string& path) {
    DestinationFile out;
    if (path.empty()) return out;

    // A folder of that name can never be replaced by a file.
    FindData existing;
    if (GetFindData(path, existing, /*followLinks=*/false) && !existing.isLink &&
        (existing.attributes & ATTR_DIRECTORY) != 0) {
        errno = EISDIR;
        return out;
    }

    std::string folder = ParentFolder(path);
    if (folder.empty()) {
        folder = ".";
    } else if (folder != "/") {
        MakeFolders(folder);  // a failure shows when the file cannot be created
    }

    std::string tempPath;
    if (!out.file_.CreateSiblingTemp(folder, kDestinationTempPrefix, tempPath)) return out;
    out.path_ = path;
    out.tempPath_ = tempPath;
    return out;
}

}  // namespace kivo
