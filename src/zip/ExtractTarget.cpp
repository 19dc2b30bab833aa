#include "zip/ExtractTarget.h"

#include <cerrno>
#include <climits>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo::zip {

std::string NameAfterPrefix(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size()) return std::string();
    const std::size_t first = name.find_first_not_of('/', prefix.size());
    return first == std::string::npos ? std::string() : name.substr(first);
}

bool MakeTargetPath(const std::string& targetFolder, const std::string& relative,
                    std::string& out) {
    std::size_t begin = 0;
    while (begin <= relative.size()) {
        std::size_t end = relative.find('/', begin);
        if (end == std::string::npos) end = relative.size();
        if (relative.compare(begin, end - begin, "..") == 0) return false;
        begin = end + 1;
    }
    const std::string base = NormalizedPath(targetFolder);
    // Without a folder the join would start at the root.
    if (base.empty()) return false;
    out = NormalizedPath(base.back() != '/' ? base + "/" + relative : base + relative);
    // Folder creation cuts longer paths short, which would put the entry
    // under a name that is not its own.
    if (out.size() >= PATH_MAX) return false;

    // Every existing folder between the target folder and the entry must be
    // a real folder: writing through a link would leave the target.
    std::size_t slash = base.size();
    while ((slash = out.find('/', slash + 1)) != std::string::npos) {
        FindData data;
        const std::string step = out.substr(0, slash);
        if (!GetFindData(step, data, false)) break;  // the rest is created by us
        if (data.isLink) return false;
    }
    return true;
}

int MakeEntryFolders(const std::string& path) {
    if (path.empty()) return ENOENT;
    if (IsFolder(path)) return 0;
    for (std::size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/') continue;
        const std::string level = path.substr(0, end);
        if (IsFolder(level)) continue;
        const int error = CreateFolder(level);
        if (error != 0 && !(error == EEXIST && IsFolder(level))) return error;
    }
    return 0;
}

}  // namespace kivo::zip
