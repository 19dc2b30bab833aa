// The visiting rule of the empty-folder removal.
#include <gtest/gtest.h>

#include <algorithm>

#include "ops/OpsTestSupport.h"
#include "ops/RemoveEmptyFolders.h"
#include "platform/Faults.h"

namespace kivo::test {
namespace {

// Listing order of a folder as the platform gives it.
std::vector<std::string> ListingOrder(const std::string& folder) {
    std::vector<std::string> names;
    FolderEnumerator names_in;
    FindData data;
    if (names_in.Open(folder))
        while (names_in.Next(data))
            if (data.name != "." && data.name != "..") names.push_back(data.name);
    return names;
}

TEST(RemoveEmptyFolders, StopsAtTheFirstFileItMeets) {
    TempDir dir;
    const std::string top = dir / "top";
    for (int i = 0; i < 8; ++i) std::filesystem::create_directories(top + "/e" + std::to_string(i) + "/inner");
    WriteFile(top + "/file.txt", "x");
    const std::vector<std::string> order = ListingOrder(top);
    const auto file = std::find(order.begin(), order.end(), "file.txt");
    ASSERT_NE(file, order.end());

    EXPECT_EQ(RemoveEmptyFolders(top, 0), 0);
    EXPECT_TRUE(Exists(top + "/file.txt"));
    // Folders listed before the file were emptied away, those after it
    // were never visited.
    for (auto it = order.begin(); it != order.end(); ++it) {
        if (it == file) continue;
        EXPECT_EQ(Exists(top + "/" + *it), it > file) << *it;
    }
}

TEST(RemoveEmptyFolders, KeepTopAndReturnValue) {
    TempDir dir;
    std::filesystem::create_directories(dir / "a/b/c");
    EXPECT_EQ(RemoveEmptyFolders(dir / "a", 1), 0);
    EXPECT_TRUE(Exists(dir / "a"));
    EXPECT_FALSE(Exists(dir / "a/b"));
    EXPECT_EQ(RemoveEmptyFolders(dir / "a", 0), 1);
    EXPECT_FALSE(Exists(dir / "a"));
    EXPECT_EQ(RemoveEmptyFolders(dir / "missing", 0), 1);

    // A link, even to an empty folder, stays and keeps its parent.
    std::filesystem::create_directories(dir / "p");
    std::filesystem::create_directories(dir / "elsewhere/empty");
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "p/link");
    EXPECT_EQ(RemoveEmptyFolders(dir / "p", 0), 0);
    EXPECT_TRUE(Exists(dir / "p/link"));
    EXPECT_TRUE(Exists(dir / "elsewhere/empty"));
    EXPECT_EQ(RemoveEmptyFolders(dir / "p/link", 0), 0);
    EXPECT_TRUE(Exists(dir / "elsewhere/empty"));
    // A trailing separator must not let the removal look through the link.
    EXPECT_EQ(RemoveEmptyFolders(dir / "p/link/", 0), 0);
    EXPECT_TRUE(Exists(dir / "elsewhere/empty"));
}

TEST(RemoveEmptyFolders, FolderThatCannotBeRemovedIsKeptSilently) {
    TempDir dir;
    std::filesystem::create_directories(dir / "a/stuck");
    std::filesystem::create_directories(dir / "b/free");
    faults::Guard guard;
    faults::Arm(faults::Call::Delete, EBUSY, 1, 0, "stuck");
    EXPECT_EQ(RemoveEmptyFolders(dir / "a", 0), 0);
    EXPECT_TRUE(Exists(dir / "a/stuck"));
    EXPECT_EQ(faults::FiredCount(), 1u);
    EXPECT_EQ(RemoveEmptyFolders(dir / "b", 0), 1);
    EXPECT_FALSE(Exists(dir / "b"));
}

}  // namespace
}  // namespace kivo::test
