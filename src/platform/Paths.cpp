#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Attributes.h"
#include "platform/FileSystem.h"

namespace kivo {

void NormalizePath(std::string& path) {
    if (path.size() < 3) return;
    // Network prefixes do not exist here, so a run of separators collapses
    // wherever it stands.
    std::size_t out = 0;
    for (std::size_t in = 0; in < path.size(); ++in) {
        if (path[in] == kSeparator && out > 0 && path[out - 1] == kSeparator) continue;
        path[out++] = path[in];
    }
    path.resize(out);
    // The root keeps its separator.
    while (path.size() > 1 && path.back() == kSeparator) path.pop_back();
}

std::string NormalizedPath(std::string path) {
    NormalizePath(path);
    return path;
}

namespace {

// A ".." may only leave a folder the kernel can enter.
int CheckFolderStep(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

}  // namespace

int ResolveParentSteps(const std::string& path, std::string& resolved) {
    if (path.empty() || path[0] != kSeparator) return EINVAL;
    std::string reached(1, kSeparator);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string::npos) end = path.size();
        const std::string step = path.substr(start, end - start);
        start = end + 1;
        if (step.empty() || step == ".") continue;
        if (step != "..") {
            reached = JoinPath(reached, step);
            continue;
        }
        if (reached.size() == 1) continue;  // the root is its own parent
        if (const int error = CheckFolderStep(reached); error != 0) return error;
        struct stat st {};
        if (::lstat(reached.c_str(), &st) != 0) return errno;
        if (S_ISLNK(st.st_mode)) {
            char* real = ::realpath(reached.c_str(), nullptr);
            if (real == nullptr) return errno;
            reached = real;
            std::free(real);
        }
        reached = ParentFolder(reached);
    }
    NormalizePath(reached);
    resolved = reached;
    return 0;
}

int MakeFolders(const char* path) {
    if (path == nullptr) return kErrorDirectory;
    std::string work(path);
    if (work.size() < 2) return kErrorDirectory;
    while (!work.empty() &&
           (work.back() == kSeparator || static_cast<unsigned char>(work.back()) < 33))
        work.pop_back();
    if (work.size() < 2) return kErrorDirectory;
    // A path too long for the system is refused whole: cutting it to fit
    // would create some other folder and report success.
    if (work.size() >= PATH_MAX) return ENAMETOOLONG;
    if (IsFolder(work)) return 0;

    // Find the deepest prefix that exists; the root counts as one.
    for (std::size_t i = work.size() - 1;; --i) {
        if (work[i] == kSeparator) {
            const std::string prefix = i == 0 ? std::string(1, kSeparator) : work.substr(0, i);
            if (PathExists(prefix)) {
                for (std::size_t j = i + 1; j <= work.size(); ++j) {
                    if (j == work.size() || work[j] == kSeparator) {
                        const std::string part = work.substr(0, j);
                        if (!IsFolder(part)) {
                            const int error = CreateFolder(part);
                            if (error != 0) return error;
                        }
                    }
                }
                return 0;
            }
        }
        if (i == 0) break;
    }
    if (IsFolder(work)) return 0;
    return CreateFolder(work);
}

int MakePrivateFolder(const std::string& path) {
    const std::string folder = NormalizedPath(path);
    if (IsFolder(folder)) return 0;
    const std::string parent = ParentFolder(folder);
    if (!parent.empty() && !IsFolder(parent)) {
        const int error = MakeFolders(parent);
        if (error != 0) return error;
    }
    const int error = CreateFolder(folder, 0700);
    if (error == EEXIST && IsFolder(folder)) return 0;  // made by another process meanwhile
    if (error != 0) return error;
    // The umask only takes bits away; this makes the mode exact.
    return SetPermissions(folder, 0700) ? 0 : errno;
}

std::string ExecutableBaseName() {
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return std::string();
    const std::string path(buffer, static_cast<std::size_t>(n));
    std::string name = BaseName(path);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

namespace {

std::string DataHome() {
    std::string base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
        // One trailing separator is dropped, as the folder is joined with one.
        if (base.back() == kSeparator) base.pop_back();
        return base;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        base = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        base = pw->pw_dir;
    }
    if (!base.empty() && base.back() == kSeparator) base.pop_back();
    return base + "/.local/share";
}

}  // namespace

std::string DataFolderOf(const std::string& appName) {
    return DataHome() + "/KALDORWORKS/" + appName;
}

std::string DataFolder(const std::string& sub) {
    std::string folder = DataFolderOf(ExecutableBaseName());
    if (!sub.empty()) folder += "/" + sub;
    if (!IsFolder(folder)) MakePrivateFolder(folder);
    return folder;
}

std::string SetStorePath(const std::string& dataFolder) {
    return NormalizedPath(dataFolder + "/kivos.kvd");
}

std::string BindingStorePath(const std::string& dataFolder) {
    return NormalizedPath(dataFolder + "/kvbind.kvb");
}

std::string StoreLockPath(const std::string& dataFolder) {
    return NormalizedPath(dataFolder + "/kivo.lock");
}

std::string BaseName(const std::string& path) {
    const auto pos = path.find_last_of(kSeparator);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ParentFolder(const std::string& path) {
    const auto pos = path.find_last_of(kSeparator);
    if (pos == std::string::npos) return std::string();
    if (pos == 0) return std::string(1, kSeparator);
    return path.substr(0, pos);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == kSeparator) return folder + name;
    return folder + kSeparator + name;
}

std::string Trim(const std::string& text) {
    const char* spaces = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(spaces);
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(spaces);
    return text.substr(first, last - first + 1);
}

}  // namespace kivo
