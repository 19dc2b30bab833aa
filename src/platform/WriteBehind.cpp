#include "platform/WriteBehind.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Faults.h"

namespace kivo {
namespace {

// 0, or the errno of the kernel's refusal.
int StartWriteback(int fd, const char* path, std::uint64_t start, std::uint64_t length,
                   std::uint64_t previousStart, std::uint64_t previousLength) {
    if (faults::ShouldFail(faults::Call::Writeback, path)) return errno;
    if (::sync_file_range(fd, static_cast<off64_t>(start), static_cast<off64_t>(length),
                          SYNC_FILE_RANGE_WRITE) != 0)
        return errno;
    if (previousLength == 0) return 0;
    if (::sync_file_range(fd, static_cast<off64_t>(previousStart),
                          static_cast<off64_t>(previousLength),
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER) != 0)
        return errno;
    return 0;
}

bool KernelLacksIt(int error) {
    return error == ENOSYS || error == EINVAL || error == ESPIPE || error == EOPNOTSUPP;
}

}  // namespace

bool WriteBehind::Wrote(File& file, std::uint64_t bytes) {
    end_ += bytes;
    if (end_ - windowStart_ < window_) return true;
    if (faults::ShouldFail(faults::Call::Flush, file.path().c_str())) return false;
    const std::uint64_t start = windowStart_;
    const std::uint64_t length = end_ - start;
    windowStart_ = end_;
    if (!declined_) {
        const int error = StartWriteback(file.fd(), file.path().c_str(), start, length,
                                         previousStart_, previousLength_);
        if (error == 0) {
            previousStart_ = start;
            previousLength_ = length;
            return true;
        }
        if (!KernelLacksIt(error)) {
            errno = error;
            return false;
        }
        declined_ = true;
    }
    // File systems that cannot sync (EINVAL, EROFS) hold no data to lose.
    if (::fdatasync(file.fd()) != 0 && errno != EINVAL && errno != EROFS) return false;
    return true;
}

}  // namespace kivo
