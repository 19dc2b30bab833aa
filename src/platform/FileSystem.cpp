#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Attributes.h"
#include "platform/Faults.h"
#include "platform/Paths.h"

namespace kivo {

std::uint32_t AttributesFromStat(const std::string& name, const struct stat& st);

namespace {

FileTime ToFileTime(const struct statx_timestamp& ts) {
    timespec t{};
    t.tv_sec = ts.tv_sec;
    t.tv_nsec = ts.tv_nsec;
    return FileTimeFromTimespec(t);
}


void FillFromStatx(const struct statx& sx, const std::string& name, FindData& out) {
    struct stat st {};
    st.st_mode = sx.stx_mode;
    out.attributes = AttributesFromStat(name, st);
    out.lastWriteTime = ToFileTime(sx.stx_mtime);
    out.lastAccessTime = ToFileTime(sx.stx_atime);
    out.creationTime = (sx.stx_mask & STATX_BTIME) ? ToFileTime(sx.stx_btime) : out.lastWriteTime;
    out.size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
    out.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    out.inode = sx.stx_ino;
    out.linkCount = sx.stx_nlink;
    out.isRegular = S_ISREG(sx.stx_mode);
}

// One statx per name; a link costs a second one for its target, and a
// dangling link is described by the link itself.
bool Fill(int dirfd, const char* path, const std::string& name, bool followLinks, FindData& out) {
    constexpr unsigned kMask = STATX_BASIC_STATS | STATX_BTIME;
    struct statx sx {};
    if (::statx(dirfd, path, AT_SYMLINK_NOFOLLOW, kMask, &sx) != 0) return false;
    out.isLink = S_ISLNK(sx.stx_mode);
    if (out.isLink && followLinks) {
        struct statx target {};
        if (::statx(dirfd, path, 0, kMask, &target) == 0) {
            FillFromStatx(target, name, out);
            return true;
        }
    }
    FillFromStatx(sx, name, out);
    return true;
}

}  // namespace

bool GetFindData(const std::string& path, FindData& out, bool followLinks) {
    out = FindData{};
    out.name = path;
    return Fill(AT_FDCWD, path.c_str(), BaseName(path), followLinks, out);
}

bool GetFindDataAt(int folderFd, const std::string& name, FindData& out, bool followLinks) {
    out = FindData{};
    out.name = name;
    return Fill(folderFd, name.c_str(), name, followLinks, out);
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string ResolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string out(resolved);
    std::free(resolved);
    return out;
}

std::string LinkTargetPath(const std::string& path) {
    if (!IsLink(path)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

bool RemoveFile(const std::string& path) {
    if (faults::ShouldFail(faults::Call::Delete, path.c_str())) return false;
    return ::unlink(path.c_str()) == 0;
}

bool RemoveFolder(const std::string& path) {
    if (faults::ShouldFail(faults::Call::Delete, path.c_str())) return false;
    return ::rmdir(path.c_str()) == 0;
}

bool RenamePath(const std::string& from, const std::string& to) {
    if (faults::ShouldFail(faults::Call::Rename, to.c_str())) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

int CreateFolder(const std::string& path, unsigned mode) {
    if (faults::ShouldFail(faults::Call::Mkdir, path.c_str())) return errno;
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return 0;
    return errno;
}

bool SetPathTimes(const std::string& path, FileTime lastAccess, FileTime lastWrite) {
    if (faults::ShouldFail(faults::Call::SetTimes, path.c_str())) return false;
    timespec times[2] = {TimespecFromFileTime(lastAccess), TimespecFromFileTime(lastWrite)};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

FolderEnumerator::~FolderEnumerator() { Close(); }

bool FolderEnumerator::Open(const std::string& folder) {
    Close();
    folder_ = folder;
    followLinks_ = true;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    dir_ = dir;
    return true;
}

bool FolderEnumerator::OpenAt(int folderFd, bool followLinks) {
    Close();
    folder_.clear();
    followLinks_ = followLinks;
    // fdopendir owns what it is given, and reads from the descriptor's
    // position: a fresh descriptor of the same folder, opened through ".".
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    dir_ = dir;
    return true;
}

bool FolderEnumerator::Next(FindData& out) {
    if (dir_ == nullptr) return false;
    DIR* dir = static_cast<DIR*>(dir_);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) return false;
        out = FindData{};
        out.name = entry->d_name;
        if (Fill(::dirfd(dir), entry->d_name, out.name, followLinks_, out)) return true;
        // Gone between the listing and the stat: not part of the folder now.
    }
}

void FolderEnumerator::Close() {
    if (dir_ != nullptr) {
        ::closedir(static_cast<DIR*>(dir_));
        dir_ = nullptr;
    }
}

}  // namespace kivo
