#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/Attributes.h"
#include "platform/Faults.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace kivo {
namespace {

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(File, WritesReadsAndPositions) {
    test::TempDir dir;
    File file;
    ASSERT_TRUE(file.Open(dir / "a.bin", File::Mode::CreateTruncate));
    ASSERT_TRUE(file.Write("hello world", 11));
    ASSERT_TRUE(file.WriteAt(0, "J", 1));
    EXPECT_EQ(file.Size(), 11);
    ASSERT_TRUE(file.Flush());
    ASSERT_TRUE(file.Close());

    ASSERT_TRUE(file.Open(dir / "a.bin", File::Mode::Read));
    char buffer[32] = {};
    EXPECT_EQ(file.ReadFull(buffer, sizeof buffer), 11);
    EXPECT_EQ(std::string(buffer), "Jello world");
    ASSERT_TRUE(file.Seek(6));
    EXPECT_EQ(file.Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "world");

    File missing;
    EXPECT_FALSE(missing.Open(dir / "none", File::Mode::Read));
    EXPECT_EQ(missing.lastError(), ENOENT);
    EXPECT_FALSE(missing.Open(dir.path(), File::Mode::Read));  // a folder is no file
}

TEST(File, ReadOnlyFileRefusesWritingEvenToRoot) {
    test::TempDir dir;
    test::WriteFile(dir / "ro", "keep");
    ASSERT_TRUE(SetAttributes(dir / "ro", ATTR_READONLY));
    EXPECT_TRUE(GetAttributes(dir / "ro") & ATTR_READONLY);
    for (File::Mode mode : {File::Mode::ReadWrite, File::Mode::CreateTruncate}) {
        File file;
        EXPECT_FALSE(file.Open(dir / "ro", mode));
        EXPECT_EQ(file.lastError(), EACCES);
    }
    EXPECT_EQ(test::ReadFile(dir / "ro"), "keep");
    File reader;
    EXPECT_TRUE(reader.Open(dir / "ro", File::Mode::Read));

    ASSERT_TRUE(SetAttributes(dir / "ro", ATTR_NORMAL));
    File writer;
    EXPECT_TRUE(writer.Open(dir / "ro", File::Mode::CreateTruncate));
}

TEST(File, AnonymousTempLeavesNoNameAndClosesCleanly) {
    const int before = OpenDescriptorCount();
    {
        File temp;
        ASSERT_TRUE(temp.OpenAnonymousTemp());
        ASSERT_TRUE(temp.Write("abc", 3));
        // No name refers to it: its link count is zero.
        struct stat st {};
        ASSERT_EQ(::fstat(temp.fd(), &st), 0);
        EXPECT_EQ(st.st_nlink, 0u);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(File, SiblingTempIsHiddenBesideTheTarget) {
    test::TempDir dir;
    File temp;
    std::string path;
    ASSERT_TRUE(temp.CreateSiblingTemp(dir.path(), ".kvt-", path));
    EXPECT_EQ(ParentFolder(path), dir.path());
    EXPECT_EQ(BaseName(path).rfind(".kvt-", 0), 0u);
    EXPECT_TRUE(GetAttributes(path) & ATTR_HIDDEN);
    ASSERT_TRUE(temp.Write("data", 4));
    temp.Close();
    ASSERT_TRUE(RenamePath(path, dir / "final"));
    EXPECT_EQ(test::ReadFile(dir / "final"), "data");
}

TEST(Faults, NthUseRepeatAndPathFilter) {
    test::TempDir dir;
    faults::Guard guard;
    File file;
    ASSERT_TRUE(file.Open(dir / "f", File::Mode::CreateTruncate));

    faults::Arm(faults::Call::Write, ENOSPC, 2, 2);
    EXPECT_TRUE(file.Write("1", 1));
    EXPECT_FALSE(file.Write("2", 1));
    EXPECT_EQ(file.lastError(), ENOSPC);
    EXPECT_FALSE(file.Write("3", 1));
    EXPECT_TRUE(file.Write("4", 1));
    EXPECT_EQ(faults::FiredCount(), 2u);

    faults::Arm(faults::Call::Open, EIO, 1, 0, "wanted");
    File other;
    EXPECT_TRUE(other.Open(dir / "unrelated", File::Mode::CreateTruncate));
    EXPECT_FALSE(other.Open(dir / "wanted", File::Mode::CreateTruncate));
    EXPECT_FALSE(other.Open(dir / "wanted", File::Mode::CreateTruncate));  // repeat 0: always
    EXPECT_EQ(other.lastError(), EIO);
    EXPECT_FALSE(PathExists(dir / "wanted"));

    faults::Reset();
    EXPECT_TRUE(other.Open(dir / "wanted", File::Mode::CreateTruncate));
}

TEST(Faults, EveryPathLevelCallCanFail) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "x");
    faults::Guard guard;
    faults::Arm(faults::Call::Delete, EBUSY);
    EXPECT_FALSE(RemoveFile(dir / "f"));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_TRUE(PathExists(dir / "f"));
    faults::Arm(faults::Call::Rename, EXDEV);
    EXPECT_FALSE(RenamePath(dir / "f", dir / "g"));
    faults::Arm(faults::Call::SetAttributes, EPERM);
    EXPECT_FALSE(SetAttributes(dir / "f", ATTR_READONLY));
    EXPECT_FALSE(GetAttributes(dir / "f") & ATTR_READONLY);
    faults::Arm(faults::Call::SetTimes, EPERM);
    EXPECT_FALSE(SetPathTimes(dir / "f", 0, 0));
    faults::Arm(faults::Call::Flush, EIO);
    File file;
    ASSERT_TRUE(file.Open(dir / "f", File::Mode::ReadWrite));
    EXPECT_FALSE(file.Flush());
    faults::Arm(faults::Call::Read, EIO);
    EXPECT_EQ(file.Read(nullptr, 0), -1);
}

TEST(File, OnlyRegularFilesOpenAndAPipeNeverBlocks) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    for (File::Mode mode : {File::Mode::Read, File::Mode::ReadWrite, File::Mode::CreateTruncate}) {
        File file;
        // Without a peer a blocking open of a pipe would never return. A
        // write open without a reader is refused by the system itself (ENXIO).
        EXPECT_FALSE(file.Open(dir / "pipe", mode));
        EXPECT_TRUE(file.lastError() == EINVAL || file.lastError() == ENXIO) << file.lastError();
    }
    FindData data;
    ASSERT_TRUE(GetFindData(dir / "pipe", data));
    EXPECT_FALSE(data.isRegular);
    test::WriteFile(dir / "plain", "x");
    ASSERT_TRUE(GetFindData(dir / "plain", data));
    EXPECT_TRUE(data.isRegular);
    ASSERT_TRUE(GetFindData(dir.path(), data));
    EXPECT_FALSE(data.isRegular);
}

TEST(File, CloseCanBeMadeToFail) {
    test::TempDir dir;
    faults::Guard guard;
    File file;
    ASSERT_TRUE(file.Open(dir / "f", File::Mode::CreateTruncate));
    faults::Arm(faults::Call::Close, EIO);
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(file.lastError(), EIO);
    EXPECT_FALSE(file.IsOpen());  // the descriptor is released all the same
}

TEST(Attributes, DerivedFromModeAndName) {
    test::TempDir dir;
    test::WriteFile(dir / ".hidden", "");
    test::WriteFile(dir / "plain", "");
    ::mkdir((dir / "sub").c_str(), 0755);
    EXPECT_EQ(GetAttributes(dir / "plain"), ATTR_ARCHIVE);
    EXPECT_EQ(GetAttributes(dir / ".hidden"), ATTR_ARCHIVE | ATTR_HIDDEN);
    EXPECT_EQ(GetAttributes(dir / "sub"), ATTR_DIRECTORY);
    EXPECT_EQ(GetAttributes(dir / "none"), kInvalidAttributes);

    ASSERT_TRUE(SetAttributes(dir / "plain", ATTR_READONLY));
    ASSERT_TRUE(CopyAttributes(dir / "plain", dir / ".hidden"));
    EXPECT_TRUE(GetAttributes(dir / ".hidden") & ATTR_READONLY);

    // Permission bits travel; set-user-id and set-group-id do not.
    ASSERT_EQ(::chmod((dir / "plain").c_str(), 06755), 0);
    ASSERT_TRUE(CopyAttributes(dir / "plain", dir / ".hidden"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / ".hidden").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST(FileTime, ConversionsRoundTrip) {
    timespec ts{};
    ts.tv_sec = 0;
    EXPECT_EQ(FileTimeFromTimespec(ts), kEpochDifferenceSeconds * kTicksPerSecond);
    ts.tv_sec = 1104674589;  // 2005-01-02 14:03:09 UTC
    ts.tv_nsec = 123456700;
    const FileTime ft = FileTimeFromTimespec(ts);
    const timespec back = TimespecFromFileTime(ft);
    EXPECT_EQ(back.tv_sec, ts.tv_sec);
    EXPECT_EQ(back.tv_nsec, ts.tv_nsec);

    TimeParts parts;
    ASSERT_TRUE(FileTimeToUtcParts(ft, parts));
    EXPECT_EQ(parts.year, 2005);
    EXPECT_EQ(parts.month, 1);
    EXPECT_EQ(parts.day, 2);
    EXPECT_EQ(parts.hour, 14);
    EXPECT_EQ(parts.minute, 3);
    EXPECT_EQ(parts.second, 9);
    FileTime again = 0;
    ASSERT_TRUE(UtcPartsToFileTime(parts, again));
    EXPECT_EQ(again, ft - ft % kTicksPerSecond);

    // Times set on a file come back as written.
    test::TempDir dir;
    test::WriteFile(dir / "t", "x");
    ASSERT_TRUE(SetPathTimes(dir / "t", ft, ft));
    FindData data;
    ASSERT_TRUE(GetFindData(dir / "t", data));
    EXPECT_EQ(data.lastWriteTime, ft);
    EXPECT_EQ(data.lastAccessTime, ft);
}

TEST(FolderEnumerator, ListsDotEntriesAndFlagsLinks) {
    test::TempDir dir;
    test::WriteFile(dir / "file", "12345");
    ::mkdir((dir / "sub").c_str(), 0755);
    ASSERT_EQ(::symlink((dir / "file").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);

    FolderEnumerator it;
    ASSERT_TRUE(it.Open(dir.path()));
    std::map<std::string, FindData> seen;
    FindData data;
    while (it.Next(data)) seen[data.name] = data;
    EXPECT_EQ(seen.size(), 6u);
    ASSERT_TRUE(seen.count(".") && seen.count(".."));
    EXPECT_TRUE(seen["."].attributes & ATTR_DIRECTORY);
    EXPECT_EQ(seen["file"].size, 5u);
    EXPECT_FALSE(seen["file"].isLink);
    EXPECT_TRUE(seen["link"].isLink);
    EXPECT_EQ(seen["link"].size, 5u);  // the target's data
    EXPECT_EQ(seen["link"].inode, seen["file"].inode);
    EXPECT_TRUE(seen["dangling"].isLink);
    EXPECT_TRUE(seen["sub"].attributes & ATTR_DIRECTORY);

    FolderEnumerator none;
    EXPECT_FALSE(none.Open(dir / "missing"));
}

}  // namespace
}  // namespace kivo
