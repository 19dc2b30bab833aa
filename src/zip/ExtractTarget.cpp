#include "zip/ExtractTarget.h"

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
    out = NormalizedPath(base.empty() || base.back() != '/' ? base + "/" + relative
                                                            : base + relative);

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

}  // namespace kivo::zip
