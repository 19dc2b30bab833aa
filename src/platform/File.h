#pragma once
// A file handle with the few operations the program needs. Every call goes
// through the fault-injection seam (see Faults.h). Errors are errno values
// kept in lastError().
#include <cstddef>
#include <cstdint>
#include <string>

namespace kivo {

// The process's umask (read once; the program never changes it).
unsigned CurrentUmask();

class File {
public:
    enum class Mode {
        Read,            // existing file, read only
        ReadWrite,       // existing file, read and write, not truncated
        CreateTruncate,  // create or truncate, write only
        CreateNew,       // create, fail when it exists; write only
        WriteInPlace,    // existing file, write only, not truncated; a
                         // symbolic link is refused, never followed
    };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opening for writing fails with EACCES while the file is read-only,
    // for every user, root included.
    bool Open(const std::string& path, Mode mode);

    // Opens `name` in the folder open as `folderFd` (openat), never through a
    // symbolic link unless `followLink`. `displayPath` is the path kept for
    // messages and matched by armed faults. Same modes and read-only rule
    // as Open.
    bool OpenAt(int folderFd, const std::string& name, const std::string& displayPath, Mode mode,
                bool followLink = false);

    // Takes over an open descriptor of a regular file; `displayPath` as for
    // OpenAt.
    void Adopt(int fd, const std::string& displayPath);

    // Creates an anonymous temporary file (prefix "kvt" in $TMPDIR or /tmp)
    // that disappears when it is closed or the process dies.
    bool OpenAnonymousTemp();

    // Who may read a sibling temporary file: the usual mode (0666 less the
    // umask), or the owner alone (0600), for files that hold secrets and
    // must never be readable by others, not even for a moment.
    enum class Access { Usual, OwnerOnly };

    // Creates a new hidden file "<prefix>XXXXXX" in `folder`, open for
    // writing; its path is returned in `path`. Used to build a file beside
    // its final name and rename it there when complete.
    bool CreateSiblingTemp(const std::string& folder, const std::string& prefix,
                           std::string& path, Access access = Access::Usual);

    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Reads up to `size` bytes; returns the count read (0 at the end) or -1.
    std::int64_t Read(void* buffer, std::size_t size);
    // Reads exactly `size` bytes unless the end comes first; -1 on error.
    std::int64_t ReadFull(void* buffer, std::size_t size);
    // Writes all `size` bytes or fails.
    bool Write(const void* buffer, std::size_t size);
    // Positioned write that does not move the file position.
    bool WriteAt(std::uint64_t offset, const void* buffer, std::size_t size);
    bool Seek(std::uint64_t offset);
    bool SeekEnd();
    std::int64_t Position();
    std::int64_t Size();
    // Device, inode and link count of the open file, in the form FindData
    // gives them, so what was opened can be matched with what was looked up.
    bool Identity(std::uint64_t& device, std::uint64_t& inode, std::uint64_t& linkCount);
    // The open file's st_mode: its type and permission bits.
    bool TypeAndMode(std::uint32_t& mode);
    // Copies up to `size` bytes from `source`'s position to this file's
    // position inside the kernel (copy_file_range, sharing extents where
    // the file system can), both positions moving on. Declined: nothing was
    // copied and nothing moved, because the kernel will not copy these
    // files (another file system, no support) or the source is at its end;
    // read and write take over from there. Read faults are armed on the
    // source's path, write faults on this file's.
    enum class KernelCopy { Copied, Declined, ReadFailed, WriteFailed };
    KernelCopy CopyFrom(File& source, std::size_t size, std::size_t& copied);
    // Data to disk (fdatasync).
    bool Flush();
    // Sets the permission bits (fchmod); fails through fault point
    // SetAttributes.
    bool SetMode(unsigned mode);
    // Sets access and write times (creation time cannot be set here).
    bool SetTimes(std::uint64_t lastAccess, std::uint64_t lastWrite);
    bool Close();

    int lastError() const { return error_; }

private:
    bool Fail(int error);
    int fd_ = -1;
    int error_ = 0;
    std::string path_;
};

}  // namespace kivo
