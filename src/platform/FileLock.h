#pragma once
// An advisory, exclusive lock (flock) on a file, for processes that take
// turns at something: the desktop program and kivo-cli changing the same
// stores. The system drops the lock when its holder closes the file or
// dies, so a killed writer never leaves it held.
//
// flock locks belong to an open file: a second FileLock on the same path in
// the same process waits for the first like any other process would.
#include <chrono>
#include <string>

namespace kivo {

enum class LockState {
    Held,         // the lock is ours until Release or destruction
    Unsupported,  // the file system cannot lock (ENOLCK, EOPNOTSUPP)
    TimedOut,     // someone else held it for the whole wait
    Failed,       // the lock file could not be opened; lastError() says why
};

class FileLock {
public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens the lock file at `path` (created with mode 0600 when missing;
    // a symbolic link there is refused) and waits up to `wait` for the
    // lock. The file is never removed: removing it would let two processes
    // lock two different files of the same name. The lock call fails
    // through fault point Lock, opening through fault point Open.
    LockState Acquire(const std::string& path, std::chrono::milliseconds wait);
    void Release();

    int lastError() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace kivo
