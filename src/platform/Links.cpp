#include "platform/Links.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Faults.h"
#include "platform/Paths.h"

namespace kivo {

namespace {

// As the kernel's own limit on links followed in one lookup.
constexpr int kMaxLinks = 40;

bool ReadLinkText(const std::string& path, std::string& text) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t got = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (got < 0) return false;
        if (static_cast<std::size_t>(got) < buffer.size()) {
            text.assign(buffer.data(), static_cast<std::size_t>(got));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string WriteThroughPath(const std::string& path) {
    std::string current = path;
    for (int followed = 0; followed <= kMaxLinks; ++followed) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target;
        if (!ReadLinkText(current, target) || target.empty()) return current;
        if (target[0] != '/') {
            const std::string folder = ParentFolder(current);
            target = JoinPath(folder.empty() ? std::string(".") : folder, target);
        }
        current = target;
    }
    return std::string();
}

int HardLink(const std::string& from, const std::string& to) {
    if (faults::ShouldFail(faults::Call::Rename, to.c_str())) return errno;
    return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace kivo
