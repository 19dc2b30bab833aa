#pragma once
// Temporary files of a running kivo-cli: the unnamed ones are seen only
// through the process's descriptors; the named fallback shows as ".kvt-".
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace kivo::clitest {

// True while `pid` holds open a file under `folder` that has no name yet
// (an O_TMPFILE file reads "folder/#inode (deleted)") or a hidden ".kvt-"
// name.
inline bool WritesTemporaryUnder(pid_t pid, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::string prefix = fs::weakly_canonical(folder, error).string() + "/";
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(it->path(), linkError).string();
        if (linkError || target.rfind(prefix, 0) != 0) continue;
        const std::string name = target.substr(target.rfind('/') + 1);
        if (name.rfind("#", 0) == 0 || name.rfind(".kvt-", 0) == 0) return true;
    }
    return false;
}

// Any hidden temporary file left in a tree.
inline bool HasTemporaryFile(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().rfind(".kvt-", 0) == 0) return true;
    }
    return false;
}

}  // namespace kivo::clitest
