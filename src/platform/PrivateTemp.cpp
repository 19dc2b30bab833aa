#include "platform/PrivateTemp.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/Faults.h"
#include "platform/Random.h"

namespace kivo {
namespace {

std::atomic<bool> refuseUnnamed{false};

// The kernel names an unnamed file only through its /proc link (or with
// AT_EMPTY_PATH, which needs a capability most users lack): without /proc
// an unnamed file could never be named.
bool ProcUsable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

// Six letters or digits, as mkstemp uses.
std::string RandomSuffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6];
    if (!FillRandom(bytes, sizeof bytes)) {
        // Any spread will do: a name taken is simply tried again.
        static std::atomic<unsigned long> counter{0};
        unsigned long seed = static_cast<unsigned long>(
                                 std::chrono::steady_clock::now().time_since_epoch().count()) ^
                             (counter.fetch_add(1) * 2654435761UL) ^ static_cast<unsigned long>(::getpid());
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(seed);
            seed = seed * 6364136223846793005UL + 1442695040888963407UL;
            b ^= static_cast<unsigned char>(seed >> 33);
        }
    }
    std::string out;
    for (const unsigned char b : bytes) out += kChars[b % (sizeof kChars - 1)];
    return out;
}

constexpr int kNameTries = 100;

}  // namespace

void RefuseUnnamedTempForTesting(bool refuse) { refuseUnnamed.store(refuse); }

PrivateTemp::~PrivateTemp() { Discard(); }

void PrivateTemp::Reset() {
    file_.Close();
    folder_.Close();
    tempName_.clear();
    unnamed_ = false;
    named_ = false;
}

std::error_code PrivateTemp::Create(const FolderHandle& folder, const std::string& finalName,
                                    const std::string& hiddenPrefix) {
    Discard();
    Reset();
    if (std::error_code error = folder.Duplicate(folder_)) return error;
    finalName_ = finalName;
    prefix_ = hiddenPrefix;
    const std::string finalPath = folder_.PathOf(finalName);
    if (faults::ShouldFail(faults::Call::Open, finalPath.c_str())) {
        const int error = errno;
        Reset();
        return ErrnoCode(error);
    }

#ifdef O_TMPFILE
    if (ProcUsable() && !refuseUnnamed.load()) {
        const int fd = ::openat(folder_.fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) {
            file_.Adopt(fd, finalPath);
            unnamed_ = true;
            return {};
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
            const int error = errno;
            Reset();
            return ErrnoCode(error);
        }
    }
#endif

    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::string name = prefix_ + RandomSuffix();
        // 0600 from the first moment; O_EXCL and O_NOFOLLOW: a name someone
        // else made, or a link planted there, is never opened.
        const int fd = ::openat(folder_.fd(), name.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            file_.Adopt(fd, finalPath);
            tempName_ = std::move(name);
            return {};
        }
        if (errno != EEXIST) break;
    }
    const int error = errno;
    Reset();
    return ErrnoCode(error);
}

std::error_code PrivateTemp::NameAs(const std::string& name) {
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", file_.fd());
    if (::linkat(AT_FDCWD, proc, folder_.fd(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
    const int error = errno;
    // Where the capability is there after all, the descriptor can be
    // named directly.
    if (error == ENOENT &&
        ::linkat(file_.fd(), "", folder_.fd(), name.c_str(), AT_EMPTY_PATH) == 0)
        return {};
    return ErrnoCode(error);
}

std::error_code PrivateTemp::LinkAsNew() {
    if (!file_.IsOpen() || named_) return ErrnoCode(EBADF);
    if (unnamed_) {
        if (faults::ShouldFail(faults::Call::Rename, folder_.PathOf(finalName_).c_str()))
            return ErrnoCode(errno);
        if (std::error_code error = NameAs(finalName_)) return error;
    } else {
        // Rename passes the fault seam itself.
        if (std::error_code error = folder_.Rename(tempName_, folder_, finalName_, /*noReplace=*/true))
            return error;
        tempName_.clear();
    }
    named_ = true;
    return {};
}

std::error_code PrivateTemp::Replace() {
    if (!file_.IsOpen() || named_) return ErrnoCode(EBADF);
    if (faults::ShouldFail(faults::Call::Rename, folder_.PathOf(finalName_).c_str()))
        return ErrnoCode(errno);
    if (unnamed_) {
        // rename is the one call that replaces a name at once; it needs a
        // name to start from. The hidden name shows only complete data.
        std::error_code linked = ErrnoCode(EEXIST);
        for (int attempt = 0; attempt < kNameTries && linked.value() == EEXIST; ++attempt) {
            tempName_ = prefix_ + RandomSuffix();
            linked = NameAs(tempName_);
        }
        if (linked) {
            tempName_.clear();
            return linked;
        }
    }
    if (::renameat(folder_.fd(), tempName_.c_str(), folder_.fd(), finalName_.c_str()) != 0) {
        const int error = errno;
        // The named fallback keeps its temporary for Discard; the unnamed
        // file's hidden name goes at once.
        if (unnamed_) {
            ::unlinkat(folder_.fd(), tempName_.c_str(), 0);
            tempName_.clear();
        }
        return ErrnoCode(error);
    }
    tempName_.clear();
    named_ = true;
    return {};
}

void PrivateTemp::Discard() {
    file_.Close();
    if (!tempName_.empty() && folder_.IsOpen()) ::unlinkat(folder_.fd(), tempName_.c_str(), 0);
    tempName_.clear();
    folder_.Close();
    named_ = false;
    unnamed_ = false;
}

}  // namespace kivo
