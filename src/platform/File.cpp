#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/Faults.h"
#include "platform/FileTime.h"

namespace kivo {
namespace {

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    if (dir != nullptr && *dir != '\0') return dir;
    return "/tmp";
}

// The owner's write permission is the read-only attribute; Windows refuses a
// write open of a read-only file even to administrators, and the operations
// rely on that refusal.
bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// The process's umask, read without changing it: umask() can only be read by
// setting it, which would race with threads creating files.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        if (FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            bool found = false;
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    found = true;
                    break;
                }
            }
            std::fclose(status);
            if (found) return static_cast<mode_t>(value);
        }
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return mask;
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        path_ = std::move(other.path_);
    }
    return *this;
}

bool File::Fail(int error) {
    error_ = error;
    return false;
}

bool File::Open(const std::string& path, Mode mode) {
    Close();
    path_ = path;
    if (faults::ShouldFail(faults::Call::Open, path.c_str())) return Fail(errno);
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::CreateTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
        case Mode::CreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
        case Mode::WriteInPlace: flags |= O_WRONLY | O_NOFOLLOW; break;
    }
    if (mode != Mode::Read && mode != Mode::CreateNew && IsReadOnlyFile(path)) return Fail(EACCES);
    // Non-blocking, so that a pipe in place of a file cannot hang the open;
    // only regular files are files here.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0) return Fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return Fail(error);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    error_ = 0;
    return true;
}

bool File::OpenAt(int folderFd, const std::string& name, const std::string& displayPath, Mode mode,
                  bool followLink) {
    Close();
    path_ = displayPath;
    if (faults::ShouldFail(faults::Call::Open, displayPath.c_str())) return Fail(errno);
    int flags = O_CLOEXEC | O_NOCTTY;
    if (!followLink) flags |= O_NOFOLLOW;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::CreateTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
        case Mode::CreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
        case Mode::WriteInPlace: flags |= O_WRONLY | O_NOFOLLOW; break;
    }
    if (mode != Mode::Read && mode != Mode::CreateNew) {
        struct stat st {};
        const int statFlags = (flags & O_NOFOLLOW) != 0 ? AT_SYMLINK_NOFOLLOW : 0;
        if (::fstatat(folderFd, name.c_str(), &st, statFlags) == 0 && S_ISREG(st.st_mode) &&
            (st.st_mode & S_IWUSR) == 0)
            return Fail(EACCES);
    }
    const int fd = ::openat(folderFd, name.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0) return Fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return Fail(error);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    error_ = 0;
    return true;
}

void File::Adopt(int fd, const std::string& displayPath) {
    Close();
    fd_ = fd;
    path_ = displayPath;
    error_ = 0;
}

bool File::OpenAnonymousTemp() {
    Close();
    const std::string folder = TempFolder();
    path_.clear();
    if (faults::ShouldFail(faults::Call::Open, folder.c_str())) return Fail(errno);
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        fd_ = fd;
        return true;
    }
#endif
    std::string name = folder + "/kvtXXXXXX";
    fd = ::mkstemp(name.data());
    if (fd < 0) return Fail(errno);
    ::unlink(name.c_str());
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    fd_ = fd;
    return true;
}

bool File::CreateSiblingTemp(const std::string& folder, const std::string& prefix,
                             std::string& path, Access access) {
    Close();
    std::string name = (folder.empty() ? std::string(".") : folder);
    if (name.back() != '/') name += '/';
    name += prefix + "XXXXXX";
    path_ = name;
    if (faults::ShouldFail(faults::Call::Open, name.c_str())) return Fail(errno);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    // mkstemp gives 0600; a finished file should carry the usual mode
    // unless it is meant for its owner alone.
    if (access == Access::Usual) ::fchmod(fd, 0666 & ~ProcessUmask());
    fd_ = fd;
    path_ = name;
    path = name;
    return true;
}

std::int64_t File::Read(void* buffer, std::size_t size) {
    if (fd_ < 0) return Fail(EBADF), -1;
    if (faults::ShouldFail(faults::Call::Read, path_.c_str())) return Fail(errno), -1;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return n;
        if (errno != EINTR) return Fail(errno), -1;
    }
}

std::int64_t File::ReadFull(void* buffer, std::size_t size) {
    std::size_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < size) {
        const std::int64_t n = Read(out + total, size - total);
        if (n < 0) return -1;
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(total);
}

bool File::Write(const void* buffer, std::size_t size) {
    if (fd_ < 0) return Fail(EBADF);
    if (faults::ShouldFail(faults::Call::Write, path_.c_str())) return Fail(errno);
    const auto* in = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::write(fd_, in, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        if (n == 0) return Fail(ENOSPC);
        in += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t size) {
    if (fd_ < 0) return Fail(EBADF);
    if (faults::ShouldFail(faults::Call::Write, path_.c_str())) return Fail(errno);
    const auto* in = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, in, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        if (n == 0) return Fail(ENOSPC);
        in += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Seek(std::uint64_t offset) {
    if (fd_ < 0) return Fail(EBADF);
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return Fail(errno);
    return true;
}

bool File::SeekEnd() {
    if (fd_ < 0) return Fail(EBADF);
    if (::lseek(fd_, 0, SEEK_END) < 0) return Fail(errno);
    return true;
}

std::int64_t File::Position() {
    if (fd_ < 0) return Fail(EBADF), -1;
    const off_t pos = ::lseek(fd_, 0, SEEK_CUR);
    if (pos < 0) return Fail(errno), -1;
    return pos;
}

std::int64_t File::Size() {
    if (fd_ < 0) return Fail(EBADF), -1;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail(errno), -1;
    return st.st_size;
}

bool File::Identity(std::uint64_t& device, std::uint64_t& inode, std::uint64_t& linkCount) {
    if (fd_ < 0) return Fail(EBADF);
    struct statx sx {};
    if (::statx(fd_, "", AT_EMPTY_PATH, STATX_INO | STATX_NLINK, &sx) != 0) return Fail(errno);
    device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    inode = sx.stx_ino;
    linkCount = sx.stx_nlink;
    return true;
}

bool File::TypeAndMode(std::uint32_t& mode) {
    if (fd_ < 0) return Fail(EBADF);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail(errno);
    mode = st.st_mode;
    return true;
}

File::KernelCopy File::CopyFrom(File& source, std::size_t size, std::size_t& copied) {
    copied = 0;
    if (fd_ < 0 || source.fd_ < 0) return KernelCopy::Declined;
    if (faults::ShouldFail(faults::Call::Read, source.path_.c_str())) {
        source.Fail(errno);
        return KernelCopy::ReadFailed;
    }
    if (faults::ShouldFail(faults::Call::Write, path_.c_str())) {
        Fail(errno);
        return KernelCopy::WriteFailed;
    }
    if (faults::ShouldFail(faults::Call::KernelCopy, path_.c_str())) return KernelCopy::Declined;
    for (;;) {
        const ssize_t n = ::copy_file_range(source.fd_, nullptr, fd_, nullptr, size, 0);
        if (n > 0) {
            copied = static_cast<std::size_t>(n);
            return KernelCopy::Copied;
        }
        // 0 is the end, or a file whose size the kernel does not know: a
        // read says which.
        if (n == 0) return KernelCopy::Declined;
        if (errno == EINTR) continue;
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
            Fail(errno);
            return KernelCopy::WriteFailed;
        }
        // EXDEV, EINVAL, ENOSYS, EOPNOTSUPP and the rest: nothing moved,
        // and the plain calls report a real fault precisely.
        return KernelCopy::Declined;
    }
}

bool File::Flush() {
    if (fd_ < 0) return Fail(EBADF);
    if (faults::ShouldFail(faults::Call::Flush, path_.c_str())) return Fail(errno);
    if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(errno);
    return true;
}

bool File::SetMode(unsigned mode) {
    if (fd_ < 0) return Fail(EBADF);
    if (faults::ShouldFail(faults::Call::SetAttributes, path_.c_str())) return Fail(errno);
    if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0) return Fail(errno);
    return true;
}

bool File::SetTimes(std::uint64_t lastAccess, std::uint64_t lastWrite) {
    if (fd_ < 0) return Fail(EBADF);
    if (faults::ShouldFail(faults::Call::SetTimes, path_.c_str())) return Fail(errno);
    timespec times[2] = {TimespecFromFileTime(lastAccess), TimespecFromFileTime(lastWrite)};
    if (::futimens(fd_, times) != 0) return Fail(errno);
    return true;
}

bool File::Close() {
    if (fd_ < 0) return true;
    const bool injected = faults::ShouldFail(faults::Call::Close, path_.c_str());
    const int injectedError = errno;
    const int rc = ::close(fd_);
    fd_ = -1;
    if (injected) return Fail(injectedError);
    if (rc != 0 && errno != EINTR) return Fail(errno);
    return true;
}

unsigned CurrentUmask() { return ProcessUmask(); }

}  // namespace kivo
