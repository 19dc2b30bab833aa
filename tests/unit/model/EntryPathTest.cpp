// The paths new set entries keep: ".." taken as the kernel takes it, the
// root refused, and only full paths counted as entries.
#include "model/EntryPath.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "TempFolder.h"
#include "platform/FileSystem.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

class EntryPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Links above the scratch folder would be resolved too; start
        // from its physical path so the expected texts are exact.
        base_ = ResolvedPath(folder_.path());
        ASSERT_FALSE(base_.empty());
        fs::create_directories(base_ + "/S/sub");
        fs::create_directories(base_ + "/S/victim");
        fs::create_directories(base_ + "/other/dir/inner");
        fs::create_directories(base_ + "/other/victim");
        testing::WriteBytes(base_ + "/S/file.txt", "x");
        fs::create_directory_symlink(base_ + "/other/dir", base_ + "/S/lnk");
        fs::create_directory_symlink("../other/dir", base_ + "/S/rel");  // relative target
        fs::create_directory_symlink(base_ + "/S/lnk", base_ + "/S/hop");  // a link to a link
        fs::create_symlink(base_ + "/S/loop", base_ + "/S/loop");
        fs::create_directory_symlink("/", base_ + "/S/top");
    }

    testing::TempFolder folder_;
    std::string base_;
};

TEST_F(EntryPathTest, ParentStepsLeaveTheFolderTheKernelReached) {
    const struct {
        const char* typed;  // below the scratch folder
        const char* stored;
    } cases[] = {
        {"/S/lnk/../victim", "/other/victim"},        // after the link: its target's parent
        {"/S/rel/../victim", "/other/victim"},        // a relative link target
        {"/S/hop/../victim", "/other/victim"},        // through two links
        {"/S/lnk/inner/../../victim", "/other/victim"},  // no link before the first ".."
        {"/S/sub/../victim", "/S/victim"},            // no link: the names stay as typed
        {"/S/./sub//", "/S/sub"},
        {"/S/lnk", "/S/lnk"},                         // a link without ".." stays a link
        {"/S/lnk/inner", "/S/lnk/inner"},
        {"/S/missing", "/S/missing"},                 // existence is not this function's business
    };
    for (const auto& c : cases) {
        const EntryPathResult result = StoredEntryPath(base_ + c.typed);
        EXPECT_EQ(result.problem, EntryPathProblem::None) << c.typed;
        EXPECT_EQ(result.stored, base_ + c.stored) << c.typed;
    }
    // Above the root there is only the root.
    const EntryPathResult up = StoredEntryPath("/../.." + base_ + "/S/sub");
    EXPECT_EQ(up.stored, base_ + "/S/sub");
}

TEST_F(EntryPathTest, WhatIsNoEntryIsRefusedWithItsReason) {
    const struct {
        std::string typed;
        EntryPathProblem problem;
        int error;
    } cases[] = {
        {"/", EntryPathProblem::WholeFileSystem, 0},
        {"//", EntryPathProblem::WholeFileSystem, 0},
        {base_ + "/S/top", EntryPathProblem::WholeFileSystem, 0},  // a link to the root
        {base_ + "/S/lnk/../../../../../../../../../../..", EntryPathProblem::WholeFileSystem, 0},
        {"S/sub", EntryPathProblem::NotFullPath, 0},
        {"./S", EntryPathProblem::NotFullPath, 0},
        {"", EntryPathProblem::NotFullPath, 0},
        {base_ + "/S/missing/../victim", EntryPathProblem::Unreachable, ENOENT},
        {base_ + "/S/file.txt/../victim", EntryPathProblem::Unreachable, ENOTDIR},
        {base_ + "/S/loop/../victim", EntryPathProblem::Unreachable, ELOOP},
    };
    for (const auto& c : cases) {
        const EntryPathResult result = StoredEntryPath(c.typed);
        EXPECT_EQ(result.problem, c.problem) << c.typed;
        EXPECT_EQ(result.error, c.error) << c.typed;
        EXPECT_TRUE(result.stored.empty()) << c.typed;
    }
}

TEST(IsFullPath, OnlyAPathFromTheRootIsOne) {
    const struct {
        const char* path;
        bool full;
    } cases[] = {
        {"/", true}, {"/home/u", true}, {"//x", true}, {"", false}, {".", false},
        {"docs", false}, {"../x", false}, {"D:\\X", false}, {" /x", false}, {"~/x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsFullPath(c.path), c.full) << c.path;
}

}  // namespace
}  // namespace kivo
