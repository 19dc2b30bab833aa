#pragma once
// A scratch folder for scan tests, built with raw POSIX calls so the trees
// do not depend on the code under test. Removed with *at() calls so that
// paths beyond PATH_MAX go too.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kivo::test {

class TempTree {
public:
    TempTree() {
        std::string pattern = "/tmp/kivo-scan-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        if (made == nullptr) ADD_FAILURE() << "mkdtemp failed";
        root_ = pattern;
    }
    ~TempTree() { RemoveAt(AT_FDCWD, root_.c_str()); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string Path(const std::string& relative) const {
        return relative.empty() ? root_ : root_ + "/" + relative;
    }

    // Creates the folder and its missing parents below the root.
    std::string Folder(const std::string& relative) const {
        std::string path = root_;
        std::size_t start = 0;
        while (start <= relative.size()) {
            std::size_t end = relative.find('/', start);
            if (end == std::string::npos) end = relative.size();
            path += "/" + relative.substr(start, end - start);
            ::mkdir(path.c_str(), 0755);
            start = end + 1;
        }
        return path;
    }

    // Creates a file of `size` bytes; its folder must exist.
    std::string File(const std::string& relative, std::size_t size = 0) const {
        const std::string path = Path(relative);
        const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        EXPECT_GE(fd, 0) << path;
        if (fd >= 0) {
            const std::string data(size, 'x');
            EXPECT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(size));
            ::close(fd);
        }
        return path;
    }

    std::string Link(const std::string& relative, const std::string& target) const {
        const std::string path = Path(relative);
        EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
        return path;
    }

    // Names of a folder in the order readdir delivers them, without "." and "..".
    static std::vector<std::string> ReaddirOrder(const std::string& folder) {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) return names;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }

private:
    static void RemoveAt(int parent, const char* name) {
        const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (fd < 0) {
            ::unlinkat(parent, name, 0);
            return;
        }
        DIR* dir = ::fdopendir(fd);
        std::vector<std::string> names;
        while (const dirent* e = ::readdir(dir)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        for (const std::string& n : names) RemoveAt(fd, n.c_str());
        ::closedir(dir);
        ::unlinkat(parent, name, AT_REMOVEDIR);
    }

    std::string root_;
};

}  // namespace kivo::test
