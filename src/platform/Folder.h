#pragma once
// Folders reached through open handles instead of by name.
//
// A path is looked up again, component by component, every time it is used:
// another process that renames a folder away and puts a symbolic link (or
// another folder) in its place between two uses redirects the second one
// wherever it likes. A FolderHandle is a descriptor of one folder, opened
// with O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC and remembering the device and
// inode it was opened on; everything done "in" it (open, stat, unlink,
// rename, mkdir, chmod, utimensat) is relative to that descriptor, so it
// lands in that very folder whatever happens to the names above it.
// FolderChain walks down from a root one component at a time, checking each
// folder it opens, and keeps the handles for the next file.
//
// Error convention: every function returns a std::error_code of the
// generic category holding an errno value (empty on success), so
// message() gives the strerror text. A folder or file whose identity is not
// the one expected gives kChangedError. Every call goes through the fault
// seam (Faults.h), armed by the full path of the name it acts on.
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"

namespace kivo {

// The device and inode of a file or folder: what a scan saw, compared with
// what is found when the run acts.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // An all-zero identity means "not recorded": nothing is checked then.
    bool Known() const { return device != 0 || inode != 0; }
    bool operator==(const FileId&) const = default;
};

inline FileId IdOf(const FindData& data) { return FileId{data.device, data.inode}; }

// The error of a name that no longer leads to the file or folder expected.
inline constexpr int kChangedError = ESTALE;

inline std::error_code ErrnoCode(int error) { return std::error_code(error, std::generic_category()); }

class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder `path` names. A symbolic link is refused (ELOOP)
    // unless `followLink`, which is for folders the user named. When
    // `expected` is known a folder of another identity is refused
    // (kChangedError). Fault point Open.
    static std::error_code Open(const std::string& path, FolderHandle& out, bool followLink = false,
                                const FileId& expected = {});

    // The folder `name` (one component, never "." or "..") inside this one,
    // as Open. The descriptor is a real one (not O_PATH), so it can be
    // listed (FolderEnumerator::OpenAt).
    std::error_code OpenChild(const std::string& name, FolderHandle& out, bool followLink = false,
                              const FileId& expected = {}) const;

    // A second handle of the same folder.
    std::error_code Duplicate(FolderHandle& out) const;

    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const FileId& id() const { return id_; }
    const std::string& path() const { return path_; }
    // The path of `name` in this folder, for messages and fault matching.
    std::string PathOf(std::string_view name) const;
    void Close();

    // fstatat without following a link: a link is described as a link.
    std::error_code Stat(const std::string& name, FindData& out) const;

    // Opens the file `name` here (File::OpenAt; the File's path is
    // PathOf(name)). A link is refused (ELOOP) unless `followLink`; when
    // `expected` is known, a file of another identity is closed again and
    // refused (kChangedError).
    std::error_code OpenFile(const std::string& name, File::Mode mode, File& out,
                             bool followLink = false, const FileId& expected = {}) const;

    // unlinkat. When `expected` is known, the name must still lead to that
    // file (not through a link) or nothing is removed (kChangedError).
    // Fault point Delete.
    std::error_code Remove(const std::string& name, const FileId& expected = {}) const;
    // unlinkat(AT_REMOVEDIR): only an empty folder goes. Fault point Delete.
    std::error_code RemoveFolder(const std::string& name) const;
    // renameat, or renameat2(RENAME_NOREPLACE) when `noReplace` (EEXIST
    // when `toName` exists; where the file system lacks the flag, a hard
    // link and an unlink do the same for files). Fault point Rename, armed
    // by the new path.
    std::error_code Rename(const std::string& from, const FolderHandle& toFolder,
                           const std::string& toName, bool noReplace = false) const;
    // mkdirat with `mode` less the umask. Fault point Mkdir.
    std::error_code MakeFolder(const std::string& name, unsigned mode = 0777) const;
    // Sets the permission bits of the object `name` is now, never through a
    // link (ELOOP), and only when it is `expected` (if known). Fault point
    // SetAttributes.
    std::error_code SetMode(const std::string& name, unsigned mode, const FileId& expected = {}) const;
    // utimensat without following a link. Fault point SetTimes.
    std::error_code SetTimes(const std::string& name, FileTime lastAccess, FileTime lastWrite) const;
    // fsync of the folder itself (its names). Fault point Sync.
    std::error_code Sync() const;
    // syncfs: everything written to this folder's file system. Fault point
    // Sync.
    std::error_code SyncFileSystem() const;

private:
    int fd_ = -1;
    FileId id_;
    std::string path_;
};

// Handles from a root folder down to the folder last reached. Consecutive
// files of a run mostly share their folders, so the handles of the common
// part are kept and only the rest is opened; at most kMaxOpenLevels stay
// open below the root whatever the depth, far below RLIMIT_NOFILE.
class FolderChain {
public:
    static constexpr std::size_t kMaxOpenLevels = 24;

    struct Walk {
        // Enter a folder link below the root (the root itself is always
        // followed: the user named it).
        bool followLinks = false;
        // Make missing folders (mkdirat), then open them as any other.
        bool create = false;
        // Identity the root must have (checked when the root is opened).
        FileId rootExpected;
        // Identity the last folder must have.
        FileId expected;
    };

    // Reaches root/names[0]/names[1]/... one component at a time, never
    // through a link unless `walk.followLinks`, and points `out` at the
    // last folder's handle, valid until the next Reach or Reset. Each level
    // reopened is checked against the identity it had when first opened.
    std::error_code Reach(const std::string& rootPath, const std::vector<std::string_view>& names,
                          const Walk& walk, const FolderHandle*& out);
    void Reset();

private:
    struct Level {
        std::string name;
        FileId id;
        FolderHandle handle;  // closed for levels far above the last one
    };
    std::string rootPath_;
    FolderHandle root_;
    std::vector<Level> levels_;
};

// Splits a relative path ("a/b/c") into its components, empty ones
// dropped.
std::vector<std::string_view> SplitComponents(std::string_view relative);

}  // namespace kivo
