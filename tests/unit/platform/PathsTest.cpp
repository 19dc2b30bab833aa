#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/Faults.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace kivo {
namespace {

TEST(NormalizePath, CollapsesRunsAndDropsTrailingSeparators) {
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"/Data//Sub/", "/Data/Sub"},
        {"/Data///Sub///", "/Data/Sub"},
        {"//srv//share", "/srv/share"},
        {"/", "/"},
        {"///", "/"},
        {"ab", "ab"},      // shorter than 3: untouched
        {"a/", "a/"},      // likewise
        {"abc/", "abc"},
        {"rel//x/", "rel/x"},
        {"/a", "/a"},
    };
    for (const Case& c : cases) {
        std::string path = c.input;
        NormalizePath(path);
        EXPECT_EQ(path, c.expected) << "input " << c.input;
        EXPECT_LE(path.size(), std::string(c.input).size());
    }
}

TEST(MakeFolders, CreatesMissingLevelsAndReportsUnusablePaths) {
    test::TempDir dir;
    const std::string deep = dir / "one/two/three/";
    EXPECT_EQ(MakeFolders(deep), 0);
    EXPECT_TRUE(IsFolder(dir / "one"));
    EXPECT_TRUE(IsFolder(dir / "one/two/three"));
    EXPECT_EQ(MakeFolders(deep), 0);  // already there

    EXPECT_EQ(MakeFolders(static_cast<const char*>(nullptr)), kErrorDirectory);
    EXPECT_EQ(MakeFolders(""), kErrorDirectory);
    EXPECT_EQ(MakeFolders("/"), kErrorDirectory);
    EXPECT_EQ(MakeFolders("/ \t"), kErrorDirectory);

    // Trailing blanks and control characters are not part of the name.
    EXPECT_EQ(MakeFolders(dir / "blank  \t"), 0);
    EXPECT_TRUE(IsFolder(dir / "blank"));
}

TEST(MakeFolders, RefusesAPathTooLongForTheSystemWithoutCreatingAnything) {
    test::TempDir dir;
    // Levels of at most 200 bytes, arranged so that byte PATH_MAX - 1 is a
    // separator: a path cut to PATH_MAX bytes would name an existing-looking
    // shorter folder.
    std::string path = dir.path() + "/";
    while (path.size() < PATH_MAX) {
        const std::size_t room = PATH_MAX - path.size();
        const std::size_t level = room > 401 ? 200 : (room > 201 ? room / 2 : room - 1);
        path += std::string(level, 'L') + "/";
    }
    ASSERT_EQ(path.size(), static_cast<std::size_t>(PATH_MAX));
    ASSERT_EQ(path.back(), '/');
    path += "tail";
    EXPECT_EQ(MakeFolders(path), ENAMETOOLONG);
    EXPECT_FALSE(PathExists(dir / std::string(200, 'L')));
}

TEST(MakeFolders, ReportsTheErrorOfTheFailedLevel) {
    test::TempDir dir;
    test::WriteFile(dir / "file", "x");
    EXPECT_EQ(MakeFolders(dir / "file/sub"), ENOTDIR);

    faults::Guard guard;
    faults::Arm(faults::Call::Mkdir, ENOSPC, 2);  // the second level fails
    EXPECT_EQ(MakeFolders(dir / "a/b/c"), ENOSPC);
    EXPECT_TRUE(IsFolder(dir / "a"));
    EXPECT_FALSE(PathExists(dir / "a/b"));
}

TEST(Paths, StorePathsAndDataFolder) {
    test::TempDir dir;
    EXPECT_EQ(SetStorePath(dir.path() + "/"), dir / "kivos.kvd");
    EXPECT_EQ(BindingStorePath(dir.path()), dir / "kvbind.kvb");

    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    const std::string folder = DataFolder();
    const std::string shared = DataFolderOf("kivo");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(shared, dir / "KALDORWORKS/kivo");
    EXPECT_EQ(folder, dir / "KALDORWORKS/" + ExecutableBaseName());
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_EQ(ExecutableBaseName(), "unit_platform");

    // A data home given with a trailing separator is not doubled.
    setenv("XDG_DATA_HOME", (dir.path() + "/").c_str(), 1);
    const std::string slashed = DataFolderOf("kivo");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(slashed, dir / "KALDORWORKS/kivo");
}

// The data folder holds saved passwords: made for its owner alone, with
// ordinary parents; a folder the user already has keeps its mode.
TEST(Paths, DataFolderIsCreatedForItsOwnerAlone) {
    test::TempDir dir;
    const auto modeOf = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    ::umask(022);
    setenv("XDG_DATA_HOME", (dir / "home").c_str(), 1);
    const std::string folder = DataFolder();
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(dir / "home/KALDORWORKS"), 0755u);

    ASSERT_EQ(::mkdir((dir / "mine").c_str(), 0750), 0);
    EXPECT_EQ(MakePrivateFolder(dir / "mine"), 0);
    EXPECT_EQ(modeOf(dir / "mine"), 0750u);

    faults::Guard guard;
    faults::Arm(faults::Call::SetAttributes, EPERM);
    EXPECT_EQ(MakePrivateFolder(dir / "other"), EPERM);
}

TEST(Paths, LinkTargetPathFollowsLinksWithAnExistingTarget) {
    test::TempDir dir;
    test::WriteFile(dir / "real", "x");
    ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
    char* real = ::realpath((dir / "real").c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string resolved(real);
    std::free(real);
    EXPECT_EQ(LinkTargetPath(dir / "link"), resolved);
    EXPECT_EQ(LinkTargetPath(dir / "real"), dir / "real");
    EXPECT_EQ(LinkTargetPath(dir / "dangling"), dir / "dangling");
    EXPECT_EQ(LinkTargetPath(dir / "none"), dir / "none");
}

TEST(Paths, SmallHelpers) {
    EXPECT_EQ(BaseName("/a/b.txt"), "b.txt");
    EXPECT_EQ(BaseName("b.txt"), "b.txt");
    EXPECT_EQ(ParentFolder("/a/b.txt"), "/a");
    EXPECT_EQ(ParentFolder("/b.txt"), "/");
    EXPECT_EQ(ParentFolder("b.txt"), "");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
    EXPECT_EQ(JoinPath("/a", "x"), "/a/x");
    EXPECT_EQ(Trim("  \t name \r\n"), "name");
    EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace kivo
