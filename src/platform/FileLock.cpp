#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/Faults.h"

namespace kivo {

namespace {

// A writer holds the lock for a few milliseconds; short first naps keep a
// burst of writers quick, the cap keeps a long wait from spinning.
constexpr std::chrono::milliseconds kFirstNap{1};
constexpr std::chrono::milliseconds kLongestNap{50};

bool CannotLock(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOTSUP; }

}  // namespace

LockState FileLock::Acquire(const std::string& path, std::chrono::milliseconds wait) {
    Release();
    if (faults::ShouldFail(faults::Call::Open, path.c_str())) {
        error_ = errno;
        return LockState::Failed;
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = errno;
        return LockState::Failed;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto nap = kFirstNap;
    for (;;) {
        int error = 0;
        if (faults::ShouldFail(faults::Call::Lock, path.c_str())) {
            error = errno;
        } else if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            error = errno;
        }
        if (error == 0) {
            error_ = 0;
            return LockState::Held;
        }
        if (error == EINTR) continue;
        error_ = error;
        if (error != EWOULDBLOCK) {
            Release();
            return CannotLock(error) ? LockState::Unsupported : LockState::Failed;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            Release();
            return LockState::TimedOut;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(nap, deadline - now));
        nap = std::min(nap * 2, kLongestNap);
    }
}

void FileLock::Release() {
    if (fd_ < 0) return;
    // Closing the only descriptor of the open file drops the lock.
    ::close(fd_);
    fd_ = -1;
}

}  // namespace kivo
