// Move: copies, deleted sources, kept skipped files and emptied folders.
#include <gtest/gtest.h>

#include "ops/CopyHelpers.h"
#include "ops/CopyIntoItself.h"
#include "ops/MoveWorker.h"
#include "ops/OpsTestSupport.h"
#include "platform/Attributes.h"
#include "platform/Faults.h"

namespace kivo::test {
namespace {

class MoveTest : public ::testing::Test {
protected:
    RunResult Run(const std::vector<std::string>& paths, int overwriteMode, int removeEmptyMode,
                  const std::string& destination = std::string()) {
        auto set = MakeSet(paths);
        MoveOptions options;
        options.destinationFolder = destination.empty() ? out : destination;
        options.overwriteMode = overwriteMode;
        options.removeEmptyMode = removeEmptyMode;
        return MoveWorker(set.get(), options, cancel, sink);
    }

    void BuildSource() {
        WriteFile(dir / "set/a.txt", "a");
        WriteFile(dir / "set/sub/b.txt", "b");
        WriteFile(dir / "set/sub/locked.txt", "locked");
        ASSERT_TRUE(SetAttributes(dir / "set/sub/locked.txt", ATTR_READONLY));
        std::filesystem::create_directories(dir / "set/sub/empty");
    }

    TempDir dir;
    std::string out = dir / "out";
    CancelFlag cancel{0};
    RecordingSink sink;
    faults::Guard guard;
};

TEST_F(MoveTest, MovesFilesAndRemovesEmptiedFoldersPerMode) {
    struct Case {
        int mode;
        bool setKept, subKept;
    };
    const Case cases[] = {{0, false, false}, {1, true, true}, {2, true, false}};
    for (const Case& c : cases) {
        std::filesystem::remove_all(out);
        BuildSource();
        sink.percents.clear();
        EXPECT_EQ(Run({dir / "set"}, kOverwriteAlways, c.mode).end, RunEnd::Done) << c.mode;
        EXPECT_EQ(ReadFile(out + "/set/a.txt"), "a");
        EXPECT_EQ(ReadFile(out + "/set/sub/b.txt"), "b");
        EXPECT_EQ(ReadFile(out + "/set/sub/locked.txt"), "locked");
        EXPECT_NE(GetAttributes(out + "/set/sub/locked.txt") & ATTR_READONLY, 0u);
        EXPECT_FALSE(Exists(dir / "set/a.txt"));
        EXPECT_FALSE(Exists(dir / "set/sub/locked.txt"));
        EXPECT_EQ(Exists(dir / "set"), c.setKept) << c.mode;
        EXPECT_EQ(Exists(dir / "set/sub"), c.subKept) << c.mode;
        EXPECT_TRUE(TempFilesUnder(out).empty());
        EXPECT_TRUE(NeverDecreases(sink.percents));
        EXPECT_EQ(sink.percents.back(), 100);
        std::filesystem::remove_all(dir / "set");
    }
}

TEST_F(MoveTest, SkippedFilesStayWithTheirFolders) {
    BuildSource();
    WriteFile(out + "/set/sub/b.txt", "existing");
    EXPECT_EQ(Run({dir / "set"}, kOverwriteNever, 0).end, RunEnd::Done);
    EXPECT_EQ(ReadFile(dir / "set/sub/b.txt"), "b");
    EXPECT_EQ(ReadFile(out + "/set/sub/b.txt"), "existing");
    EXPECT_FALSE(Exists(dir / "set/a.txt"));
    EXPECT_TRUE(Exists(dir / "set/sub"));

    // Destination = the set folder's parent: every file is itself.
    sink.percents.clear();
    EXPECT_EQ(Run({dir / "set"}, kOverwriteAlways, 0, dir.path()).end, RunEnd::Done);
    EXPECT_EQ(ReadFile(dir / "set/sub/b.txt"), "b");
    EXPECT_EQ(sink.percents.back(), 100);
}

TEST_F(MoveTest, SourceThatCannotBeDeletedEndsTheRunWithTheCopyInPlace) {
    BuildSource();
    faults::Arm(faults::Call::Delete, EACCES, 1, 1, "locked.txt");
    const RunResult result = Run({dir / "set/sub/locked.txt"}, kOverwriteAlways, 0);
    EXPECT_EQ(result.errorText, ErrorText("Can not delete file", dir / "set/sub/locked.txt"));
    EXPECT_EQ(ReadFile(out + "/locked.txt"), "locked");
    EXPECT_EQ(ReadFile(dir / "set/sub/locked.txt"), "locked");
    EXPECT_EQ(GetAttributes(dir / "set/sub/locked.txt") & ATTR_READONLY, 0u);
}

TEST_F(MoveTest, FailedOrCancelledCopyLeavesSourceAndOlderDestination) {
    // Large enough for several kernel copy calls of at most 2 MiB.
    const std::size_t size = 9 * 1024 * 1024;
    WriteBytes(dir / "big.bin", size, 'n');
    WriteFile(out + "/big.bin", "old");

    faults::Arm(faults::Call::Write, ENOSPC, 2, 1, "out/big.bin");
    const RunResult failed = Run({dir / "big.bin"}, kOverwriteAlways, 1);
    EXPECT_EQ(failed.errorText, ErrorText("Error writting file", out + "/big.bin"));

    faults::Reset();
    int chunks = 0;
    sink.onPercent = [&](int) {
        if (++chunks == 2) cancel = 1;
    };
    EXPECT_EQ(Run({dir / "big.bin"}, kOverwriteAlways, 1).end, RunEnd::Stopped);

    EXPECT_TRUE(SameBytes(ReadFile(dir / "big.bin"), std::string(size, 'n')));
    EXPECT_EQ(ReadFile(out + "/big.bin"), "old");
    EXPECT_TRUE(TempFilesUnder(out).empty());
}

TEST_F(MoveTest, LinksAreNeverFollowedOutOfTheSet) {
    const std::string outside = dir / "outside";
    WriteFile(outside + "/keep.txt", "keep");
    WriteFile(outside + "/target.txt", "target");
    WriteFile(dir / "set/own.txt", "own");
    std::filesystem::create_directory_symlink(outside, dir / "set/linked");
    std::filesystem::create_symlink(outside + "/target.txt", dir / "set/filelink");

    EXPECT_EQ(Run({dir / "set"}, kOverwriteAlways, 0).end, RunEnd::Done);
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), "keep");
    EXPECT_EQ(ReadFile(outside + "/target.txt"), "target");
    EXPECT_FALSE(Exists(out + "/set/linked/keep.txt"));
    EXPECT_EQ(ReadFile(out + "/set/own.txt"), "own");
    EXPECT_FALSE(Exists(dir / "set/filelink"));
    EXPECT_TRUE(Exists(dir / "set/linked"));
    // The link moved as a link: what it leads to was neither read nor moved.
    EXPECT_TRUE(std::filesystem::is_symlink(out + "/set/filelink"));
    EXPECT_EQ(std::filesystem::read_symlink(out + "/set/filelink").string(), outside + "/target.txt");
}

TEST_F(MoveTest, ADestinationInATreeTheSetScansIsRefusedWhereverItIsNamed) {
    WriteFile(dir / "set/sub/a.txt", "a");
    std::filesystem::create_directory_symlink(dir / "set/sub", dir / "link");
    const auto set = MakeSet({dir / "set"});
    const struct {
        std::string destination;
        bool inside;
    } cases[] = {
        {dir / "set", true},
        {dir / "link/deeper", true},
        {dir / "new/../set/deeper", true},  // ".." of a folder still to be made
        {dir / "setX/deeper", false},
        {dir / "set/../setX", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DestinationInsideSet(*set, c.destination), c.inside) << c.destination;

    const std::string refused = dir / "new/../set/deeper";
    const RunResult result = Run({dir / "set"}, kOverwriteAlways, 0, refused);
    EXPECT_EQ(result.errorText, ErrorText("Can not copy a folder into itself", refused));
    EXPECT_EQ(ReadFile(dir / "set/sub/a.txt"), "a");
    EXPECT_FALSE(Exists(dir / "set/deeper"));
    EXPECT_FALSE(Exists(dir / "new"));
}

}  // namespace
}  // namespace kivo::test
