#include "platform/Folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/Faults.h"

namespace kivo {
namespace {

std::error_code LastError() { return ErrnoCode(errno); }

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

FileId IdOfStat(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The same device numbering FindData and File::Identity use (statx
// major:minor), so identities from any of them compare.
FileId IdOfDescriptor(int fd) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO, &sx) != 0) return FileId{};
    return FileId{(static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor, sx.stx_ino};
}

std::error_code OpenFolderAt(int base, const std::string& name, const std::string& path,
                             bool followLink, const FileId& expected, FolderHandle& out,
                             int& fdOut, FileId& idOut) {
    if (faults::ShouldFail(faults::Call::Open, path.c_str())) return LastError();
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (!followLink) flags |= O_NOFOLLOW;
    const int fd = ::openat(base, name.c_str(), flags);
    if (fd < 0) {
        // O_DIRECTORY answers ENOTDIR for a link: say it was a link.
        const int error = errno;
        struct stat st {};
        if (error == ENOTDIR && !followLink &&
            ::fstatat(base, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            return ErrnoCode(ELOOP);
        return ErrnoCode(error);
    }
    const FileId id = IdOfDescriptor(fd);
    if (!id.Known() || (expected.Known() && id != expected)) {
        ::close(fd);
        return ErrnoCode(kChangedError);
    }
    out.Close();
    fdOut = fd;
    idOut = id;
    return {};
}

}  // namespace

FolderHandle::~FolderHandle() { Close(); }

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), id_(other.id_), path_(std::move(other.path_)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        id_ = other.id_;
        path_ = std::move(other.path_);
    }
    return *this;
}

void FolderHandle::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    id_ = FileId{};
}

std::string FolderHandle::PathOf(std::string_view name) const {
    std::string out = path_;
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

std::error_code FolderHandle::Open(const std::string& path, FolderHandle& out, bool followLink,
                                   const FileId& expected) {
    if (path.empty()) return ErrnoCode(ENOENT);
    int fd = -1;
    FileId id;
    if (std::error_code error = OpenFolderAt(AT_FDCWD, path, path, followLink, expected, out, fd, id))
        return error;
    out.fd_ = fd;
    out.id_ = id;
    out.path_ = path;
    return {};
}

std::error_code FolderHandle::OpenChild(const std::string& name, FolderHandle& out, bool followLink,
                                        const FileId& expected) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    std::string path = PathOf(name);
    int fd = -1;
    FileId id;
    if (std::error_code error = OpenFolderAt(fd_, name, path, followLink, expected, out, fd, id))
        return error;
    out.fd_ = fd;
    out.id_ = id;
    out.path_ = std::move(path);
    return {};
}

std::error_code FolderHandle::Duplicate(FolderHandle& out) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return LastError();
    out.Close();
    out.fd_ = fd;
    out.id_ = id_;
    out.path_ = path_;
    return {};
}

std::error_code FolderHandle::Stat(const std::string& name, FindData& out) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (!GetFindDataAt(fd_, name, out, /*followLinks=*/false)) return LastError();
    return {};
}

std::error_code FolderHandle::OpenFile(const std::string& name, File::Mode mode, File& out,
                                       bool followLink, const FileId& expected) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (!out.OpenAt(fd_, name, PathOf(name), mode, followLink)) return ErrnoCode(out.lastError());
    if (expected.Known()) {
        std::uint64_t device = 0, inode = 0, links = 0;
        if (!out.Identity(device, inode, links) || FileId{device, inode} != expected) {
            out.Close();
            return ErrnoCode(kChangedError);
        }
    }
    return {};
}

std::error_code FolderHandle::Remove(const std::string& name, const FileId& expected) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (faults::ShouldFail(faults::Call::Delete, PathOf(name).c_str())) return LastError();
    if (expected.Known()) {
        FindData now;
        if (!GetFindDataAt(fd_, name, now, /*followLinks=*/false)) return LastError();
        if (now.isLink || IdOf(now) != expected) return ErrnoCode(kChangedError);
    }
    if (::unlinkat(fd_, name.c_str(), 0) != 0) return LastError();
    return {};
}

std::error_code FolderHandle::RemoveFolder(const std::string& name) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (faults::ShouldFail(faults::Call::Delete, PathOf(name).c_str())) return LastError();
    if (::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) != 0) return LastError();
    return {};
}

std::error_code FolderHandle::Rename(const std::string& from, const FolderHandle& toFolder,
                                     const std::string& toName, bool noReplace) const {
    if (fd_ < 0 || toFolder.fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(from) || !IsPlainName(toName)) return ErrnoCode(EINVAL);
    if (faults::ShouldFail(faults::Call::Rename, toFolder.PathOf(toName).c_str())) return LastError();
    if (!noReplace) {
        if (::renameat(fd_, from.c_str(), toFolder.fd_, toName.c_str()) != 0) return LastError();
        return {};
    }
    if (::renameat2(fd_, from.c_str(), toFolder.fd_, toName.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return LastError();
    // No RENAME_NOREPLACE here: a hard link never replaces a name either.
    if (::linkat(fd_, from.c_str(), toFolder.fd_, toName.c_str(), 0) != 0) return LastError();
    ::unlinkat(fd_, from.c_str(), 0);
    return {};
}

std::error_code FolderHandle::MakeFolder(const std::string& name, unsigned mode) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (faults::ShouldFail(faults::Call::Mkdir, PathOf(name).c_str())) return LastError();
    if (::mkdirat(fd_, name.c_str(), static_cast<mode_t>(mode)) != 0) return LastError();
    return {};
}

std::error_code FolderHandle::SetMode(const std::string& name, unsigned mode,
                                      const FileId& expected) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (faults::ShouldFail(faults::Call::SetAttributes, PathOf(name).c_str())) return LastError();
    // A handle of the object itself, which a rename of the name cannot
    // redirect: checked, then changed through the handle.
    const int fd = ::openat(fd_, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return LastError();
    struct stat st {};
    std::error_code result;
    if (::fstat(fd, &st) != 0) {
        result = LastError();
    } else if (S_ISLNK(st.st_mode)) {
        result = ErrnoCode(ELOOP);
    } else if (expected.Known() && IdOfDescriptor(fd) != expected) {
        result = ErrnoCode(kChangedError);
    } else {
        char proc[64];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
        if (::fchmodat(AT_FDCWD, proc, static_cast<mode_t>(mode), 0) != 0) {
            if (errno != ENOENT) {
                result = LastError();
            } else {
                // No /proc: a real descriptor of the same object will do.
                const int rw = ::openat(fd_, name.c_str(),
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
                struct stat again {};
                if (rw < 0) {
                    result = LastError();
                } else if (::fstat(rw, &again) != 0 || IdOfStat(again) != IdOfStat(st)) {
                    result = ErrnoCode(kChangedError);
                } else if (::fchmod(rw, static_cast<mode_t>(mode)) != 0) {
                    result = LastError();
                }
                if (rw >= 0) ::close(rw);
            }
        }
    }
    ::close(fd);
    return result;
}

std::error_code FolderHandle::SetTimes(const std::string& name, FileTime lastAccess,
                                       FileTime lastWrite) const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (!IsPlainName(name)) return ErrnoCode(EINVAL);
    if (faults::ShouldFail(faults::Call::SetTimes, PathOf(name).c_str())) return LastError();
    timespec times[2] = {TimespecFromFileTime(lastAccess), TimespecFromFileTime(lastWrite)};
    if (::utimensat(fd_, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
    return {};
}

std::error_code FolderHandle::Sync() const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (faults::ShouldFail(faults::Call::Sync, path_.c_str())) return LastError();
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return LastError();
    return {};
}

std::error_code FolderHandle::SyncFileSystem() const {
    if (fd_ < 0) return ErrnoCode(EBADF);
    if (faults::ShouldFail(faults::Call::Sync, path_.c_str())) return LastError();
    if (::syncfs(fd_) != 0) return LastError();
    return {};
}

std::error_code FolderChain::Reach(const std::string& rootPath,
                                   const std::vector<std::string_view>& names, const Walk& walk,
                                   const FolderHandle*& out) {
    out = nullptr;
    if (!root_.IsOpen() || rootPath != rootPath_) {
        Reset();
        if (std::error_code error = FolderHandle::Open(rootPath, root_, /*followLink=*/true, walk.rootExpected))
            return error;
        rootPath_ = rootPath;
    } else if (walk.rootExpected.Known() && root_.id() != walk.rootExpected) {
        return ErrnoCode(kChangedError);
    }

    // Keep the levels the new folder shares with the last one.
    std::size_t common = 0;
    while (common < levels_.size() && common < names.size() && levels_[common].name == names[common])
        ++common;
    levels_.resize(common);

    // The deepest open level of the common part is where the walk resumes;
    // levels closed to save descriptors are reopened and must be what they
    // were.
    std::size_t start = common;
    while (start > 0 && !levels_[start - 1].handle.IsOpen()) --start;
    for (std::size_t i = start; i < common; ++i) {
        const FolderHandle& parent = i == 0 ? root_ : levels_[i - 1].handle;
        if (std::error_code error = parent.OpenChild(levels_[i].name, levels_[i].handle,
                                                     walk.followLinks, levels_[i].id)) {
            levels_.resize(i);
            return error;
        }
    }

    for (std::size_t i = common; i < names.size(); ++i) {
        const FolderHandle& parent = i == 0 ? root_ : levels_[i - 1].handle;
        Level level;
        level.name.assign(names[i]);
        const FileId expected = i + 1 == names.size() ? walk.expected : FileId{};
        if (walk.create) {
            const std::error_code made = parent.MakeFolder(level.name);
            if (made && made.value() != EEXIST) return made;
        }
        if (std::error_code error = parent.OpenChild(level.name, level.handle, walk.followLinks, expected))
            return error;
        level.id = level.handle.id();
        levels_.push_back(std::move(level));
    }

    const FolderHandle& last = levels_.empty() ? root_ : levels_.back().handle;
    if (walk.expected.Known() && last.id() != walk.expected) return ErrnoCode(kChangedError);
    if (levels_.size() > kMaxOpenLevels) {
        for (std::size_t i = 0; i + kMaxOpenLevels < levels_.size(); ++i) levels_[i].handle.Close();
    }
    out = &last;
    return {};
}

void FolderChain::Reset() {
    levels_.clear();
    root_.Close();
    rootPath_.clear();
}

std::vector<std::string_view> SplitComponents(std::string_view relative) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        if (end > start) out.push_back(relative.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace kivo
