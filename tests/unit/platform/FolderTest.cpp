#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/Faults.h"
#include "platform/Folder.h"
#include "platform/PrivateTemp.h"
#include "support/TempDir.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

FileId IdOfPath(const std::string& path) {
    FindData data;
    EXPECT_TRUE(GetFindData(path, data, /*followLinks=*/false)) << path;
    return IdOf(data);
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFF;
}

// Sets the umask for one test and puts the old one back.
struct UmaskGuard {
    explicit UmaskGuard(mode_t mask) : old(::umask(mask)) {}
    ~UmaskGuard() { ::umask(old); }
    mode_t old;
};

TEST(FolderChain, RefusesALinkOrAnotherFolderWhereTheScanSawAFolder) {
    test::TempDir dir;
    test::WriteFile(dir / "S/a/b/f", "x");
    test::WriteFile(dir / "victim/b/f", "v");
    const FileId b = IdOfPath(dir / "S/a/b");
    const std::vector<std::string_view> names = {"a", "b"};

    FolderChain chain;
    const FolderHandle* folder = nullptr;
    FolderChain::Walk walk;
    walk.expected = b;
    ASSERT_FALSE(chain.Reach(dir / "S", names, walk, folder));
    EXPECT_EQ(folder->id(), b);

    fs::rename(dir / "S/a", dir / "S/old");
    fs::create_directory_symlink(dir / "victim", dir / "S/a");
    chain.Reset();
    std::error_code error = chain.Reach(dir / "S", names, walk, folder);
    EXPECT_EQ(error.value(), ELOOP) << error.message();
    // Followed where asked, the link leads to a folder that is not the one
    // seen: refused all the same.
    walk.followLinks = true;
    error = chain.Reach(dir / "S", names, walk, folder);
    EXPECT_EQ(error.value(), kChangedError) << error.message();

    fs::remove(dir / "S/a");
    fs::create_directories(dir / "S/a/b");
    walk.followLinks = false;
    error = chain.Reach(dir / "S", names, walk, folder);
    EXPECT_EQ(error.value(), kChangedError) << error.message();
    EXPECT_FALSE(error.message().empty());
}

TEST(FolderChain, ADeepWalkKeepsFewDescriptorsAndReopensCheckedLevels) {
    test::TempDir dir;
    std::string deep = dir / "R";
    std::vector<std::string> storage;
    for (int i = 0; i < 80; ++i) {
        storage.push_back("d" + std::to_string(i));
        deep += "/" + storage.back();
    }
    fs::create_directories(deep);
    fs::create_directories(dir / "R/d0/other");
    std::vector<std::string_view> names(storage.begin(), storage.end());
    const int before = OpenDescriptorCount();

    FolderChain chain;
    const FolderHandle* folder = nullptr;
    FolderChain::Walk walk;
    walk.expected = IdOfPath(deep);
    ASSERT_FALSE(chain.Reach(dir / "R", names, walk, folder));
    EXPECT_LE(OpenDescriptorCount() - before, static_cast<int>(FolderChain::kMaxOpenLevels) + 1);

    // A sibling near the top: the closed upper levels are opened again.
    walk.expected = IdOfPath(dir / "R/d0/other");
    ASSERT_FALSE(chain.Reach(dir / "R", {"d0", "other"}, walk, folder));
    EXPECT_EQ(folder->id(), walk.expected);

    // Down again, then to a sibling below d1 after d1 was replaced by
    // another folder: the closed levels are opened again and d1 is refused.
    ASSERT_FALSE(chain.Reach(dir / "R", names, FolderChain::Walk{}, folder));
    fs::rename(dir / "R/d0/d1", dir / "R/d0/moved");
    fs::create_directories(dir / "R/d0/d1/other2");
    EXPECT_EQ(chain.Reach(dir / "R", {"d0", "d1", "other2"}, FolderChain::Walk{}, folder).value(),
              kChangedError);
}

TEST(FolderChain, CreatesMissingFoldersButNeverGoesThroughALink) {
    test::TempDir dir;
    fs::create_directories(dir / "D");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "D/x");

    FolderChain chain;
    const FolderHandle* folder = nullptr;
    FolderChain::Walk walk;
    walk.create = true;
    ASSERT_FALSE(chain.Reach(dir / "D", {"new", "deeper"}, walk, folder));
    EXPECT_TRUE(fs::is_directory(dir / "D/new/deeper"));
    EXPECT_EQ(chain.Reach(dir / "D", {"x", "y"}, walk, folder).value(), ELOOP);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

TEST(FolderHandle, ActsOnTheCheckedObjectOnly) {
    test::TempDir dir;
    test::WriteFile(dir / "F/file", "data");
    test::WriteFile(dir / "outside", "keep");
    ::chmod((dir / "outside").c_str(), 0444);
    FolderHandle folder;
    ASSERT_FALSE(FolderHandle::Open(dir / "F", folder));
    const FileId file = IdOfPath(dir / "F/file");

    fs::rename(dir / "F/file", dir / "F/gone");
    fs::create_symlink(dir / "outside", dir / "F/file");
    EXPECT_EQ(folder.SetMode("file", 0666, file).value(), ELOOP);
    EXPECT_EQ(folder.Remove("file", file).value(), kChangedError);
    File opened;
    EXPECT_EQ(folder.OpenFile("file", File::Mode::ReadWrite, opened).value(), ELOOP);

    fs::remove(dir / "F/file");
    fs::create_hard_link(dir / "outside", dir / "F/file");
    EXPECT_EQ(folder.SetMode("file", 0666, file).value(), kChangedError);
    EXPECT_EQ(folder.Remove("file", file).value(), kChangedError);
    EXPECT_EQ(folder.OpenFile("file", File::Mode::Read, opened, false, file).value(), kChangedError);
    EXPECT_EQ(ModeOf(dir / "outside"), 0444u);
    EXPECT_EQ(test::ReadFile(dir / "outside"), "keep");

    EXPECT_FALSE(folder.SetMode("gone", 0400, file));
    EXPECT_EQ(ModeOf(dir / "F/gone"), 0400u);
    EXPECT_FALSE(folder.Remove("gone", file));
    EXPECT_FALSE(fs::exists(dir / "F/gone"));
    EXPECT_EQ(folder.OpenChild("..", folder).value(), EINVAL);
}

// Under both umasks, for the unnamed file and the named fallback: private
// from the first moment, invisible (or hidden) until named, and named only
// when complete.
TEST(PrivateTemp, IsOwnerOnlyFromCreationAndNamedWhenComplete) {
    struct Case {
        mode_t umask;
        bool refuseUnnamed;
    };
    for (const Case c : {Case{022, false}, Case{0, false}, Case{022, true}, Case{0, true}}) {
        SCOPED_TRACE(testing::Message() << "umask " << c.umask << " fallback " << c.refuseUnnamed);
        UmaskGuard mask(c.umask);
        RefuseUnnamedTempForTesting(c.refuseUnnamed);
        test::TempDir dir;
        fs::create_directories(dir / "D");
        FolderHandle folder;
        ASSERT_FALSE(FolderHandle::Open(dir / "D", folder));

        PrivateTemp temp;
        ASSERT_FALSE(temp.Create(folder, "out.bin"));
        EXPECT_EQ(temp.IsUnnamed(), !c.refuseUnnamed);
        EXPECT_EQ(temp.file().path(), dir / "D/out.bin");
        struct stat st {};
        ASSERT_EQ(::fstat(temp.file().fd(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        const std::size_t visible = c.refuseUnnamed ? 1u : 0u;
        EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(dir / "D"),
                                                         fs::directory_iterator())),
                  visible);
        if (c.refuseUnnamed) {
            EXPECT_EQ(ModeOf(dir / "D/" + temp.tempName()), 0600u);
        }

        ASSERT_TRUE(temp.file().Write("new", 3));
        ASSERT_TRUE(temp.file().SetMode(0644));
        test::WriteFile(dir / "D/out.bin", "old");
        EXPECT_EQ(temp.LinkAsNew().value(), EEXIST);
        EXPECT_EQ(test::ReadFile(dir / "D/out.bin"), "old");
        ASSERT_FALSE(temp.Replace());
        temp.Discard();
        EXPECT_EQ(test::ReadFile(dir / "D/out.bin"), "new");
        EXPECT_EQ(ModeOf(dir / "D/out.bin"), 0644u);

        PrivateTemp second;
        ASSERT_FALSE(second.Create(folder, "fresh"));
        ASSERT_TRUE(second.file().Write("x", 1));
        ASSERT_FALSE(second.LinkAsNew());
        second.Discard();
        PrivateTemp dropped;
        ASSERT_FALSE(dropped.Create(folder, "never"));
        dropped.Discard();
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir / "D"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"fresh", "out.bin"}));
        RefuseUnnamedTempForTesting(false);
    }
}

TEST(PrivateTemp, FaultsArmedByTheFinalPathReachEveryStep) {
    faults::Guard guard;
    test::TempDir dir;
    fs::create_directories(dir / "D");
    FolderHandle folder;
    ASSERT_FALSE(FolderHandle::Open(dir / "D", folder));

    faults::Arm(faults::Call::Open, EACCES, 1, 1, "D/target");
    PrivateTemp temp;
    EXPECT_EQ(temp.Create(folder, "target").value(), EACCES);
    ASSERT_FALSE(temp.Create(folder, "target"));
    faults::Arm(faults::Call::Write, ENOSPC, 1, 1, "D/target");
    EXPECT_FALSE(temp.file().Write("x", 1));
    faults::Arm(faults::Call::Rename, EIO, 1, 1, "D/target");
    EXPECT_EQ(temp.LinkAsNew().value(), EIO);
    faults::Arm(faults::Call::Rename, EIO, 1, 1, "D/target");
    EXPECT_EQ(temp.Replace().value(), EIO);
    temp.Discard();
    EXPECT_TRUE(fs::is_empty(dir / "D"));
    EXPECT_EQ(faults::FiredCount(), 4u);
}

}  // namespace
}  // namespace kivo
