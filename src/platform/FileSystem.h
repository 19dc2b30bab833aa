#pragma once
// Path-level file system calls and folder enumeration.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileTime.h"

namespace kivo {

// The find data of one name, filled from stat (links followed) or, for a
// dangling link, from lstat.
struct FindData {
    std::uint32_t attributes = 0;
    FileTime creationTime = 0;  // birth time where known, else last write
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t linkCount = 0;  // names the file has (hard links)
    bool isLink = false;  // the name itself is a symbolic link
    bool isRegular = false;  // what it describes is a regular file (not a folder,
                             // pipe, socket, device or dangling link)
    std::string name;     // bare name for enumeration, the path for GetFindData
};

constexpr char kSeparator = '/';

// stat (followLinks) or lstat of a path; false with errno when unreachable.
bool GetFindData(const std::string& path, FindData& out, bool followLinks = true);

// The same for `name` in the folder open as `folderFd` (fstatat).
bool GetFindDataAt(int folderFd, const std::string& name, FindData& out, bool followLinks);

// What tells one version of a file from another without reading it: a
// store replaced by rename gets a new inode, one rewritten in place a new
// size or modification time.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// Of the file a path names, links followed; `exists` false when unreachable.
FileStamp StampOf(const std::string& path);

bool PathExists(const std::string& path);       // any kind, links followed
bool IsFolder(const std::string& path);         // an existing directory
bool IsLink(const std::string& path);           // the name is a symbolic link

// The absolute path with every link, "." and ".." resolved (realpath);
// empty when it cannot be resolved.
std::string ResolvedPath(const std::string& path);

// The file a write through `path` reaches: when `path` is a symbolic link
// whose target exists, the target's full path; otherwise `path` itself.
// Replacing a file by renaming over it must land on this path, or it would
// turn a link into a plain file.
std::string LinkTargetPath(const std::string& path);

// unlink; fails through fault point Delete.
bool RemoveFile(const std::string& path);
// rmdir; fails through fault point Delete.
bool RemoveFolder(const std::string& path);
// rename, replacing `to`; fails through fault point Rename.
bool RenamePath(const std::string& from, const std::string& to);
// mkdir of one level with `mode` (less the umask): 0 or the errno; fails
// through fault point Mkdir.
int CreateFolder(const std::string& path, unsigned mode = 0777);
// Sets access and write times of a path; fault point SetTimes.
bool SetPathTimes(const std::string& path, FileTime lastAccess, FileTime lastWrite);

// Enumerates a folder's names in the order the OS delivers them, "." and
// ".." included ("%s/*.*").
class FolderEnumerator {
public:
    FolderEnumerator() = default;
    ~FolderEnumerator();
    FolderEnumerator(const FolderEnumerator&) = delete;
    FolderEnumerator& operator=(const FolderEnumerator&) = delete;

    bool Open(const std::string& folder);
    // Lists the folder open as `folderFd` (a descriptor of its own is
    // taken, so the caller keeps `folderFd`). Names are looked up without
    // following links when `followLinks` is false.
    bool OpenAt(int folderFd, bool followLinks = true);
    // Next name with its find data; false at the end. Names that vanish
    // between listing and stat are passed over.
    bool Next(FindData& out);
    void Close();

private:
    void* dir_ = nullptr;
    std::string folder_;
    bool followLinks_ = true;
};

}  // namespace kivo
