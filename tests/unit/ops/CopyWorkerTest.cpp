// Copy: destination names, the overwrite policy, times and attributes, and
// an older destination that survives every failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ops/CopyHelpers.h"
#include "ops/CopyWorker.h"
#include "ops/MoveWorker.h"
#include "model/StringTable.h"
#include "ops/OpsTestSupport.h"
#include "platform/Attributes.h"
#include "platform/Faults.h"

namespace kivo::test {
namespace {

constexpr FileTime kWritten = 133000000000000000ULL;  // a day in 2022

class CopyTest : public ::testing::Test {
protected:
    RunResult Run(const std::vector<std::string>& paths, int mode = 0, int skipIfMissing = 0,
                  const std::string& destination = std::string()) {
        auto set = MakeSet(paths);
        CopyOptions options;
        options.destinationFolder = destination.empty() ? out : destination;
        options.overwriteMode = mode;
        options.skipIfMissing = skipIfMissing;
        return CopyWorker(set.get(), options, cancel, sink);
    }

    TempDir dir;
    std::string out = dir / "out";
    CancelFlag cancel{0};
    RecordingSink sink;
    faults::Guard guard;
};

TEST_F(CopyTest, CopiesUnderRelativeNamesWithTimesAndAttributes) {
    WriteFile(dir / "src/Docs/sub/a.txt", "alpha");
    WriteFile(dir / "src/Docs/locked.txt", "locked");
    WriteFile(dir / "src/Docs/empty.txt", "");
    WriteFile(dir / "src/single.txt", std::string(50000, 's'));
    for (const char* name : {"Docs/sub/a.txt", "Docs/locked.txt", "Docs/empty.txt"})
        ASSERT_TRUE(SetPathTimes(dir / (std::string("src/") + name), kWritten, kWritten + 7));
    ASSERT_TRUE(SetAttributes(dir / "src/Docs/locked.txt", ATTR_READONLY));

    EXPECT_EQ(Run({dir / "src/Docs", dir / "src/single.txt"}).end, RunEnd::Done);

    // Times first: reading the copy may move its access time.
    EXPECT_EQ(Info(out + "/Docs/sub/a.txt").lastWriteTime, kWritten + 7);
    EXPECT_EQ(Info(out + "/Docs/sub/a.txt").lastAccessTime,
              Info(dir / "src/Docs/sub/a.txt").lastAccessTime);
    EXPECT_EQ(ReadFile(out + "/Docs/sub/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(out + "/single.txt"), std::string(50000, 's'));
    EXPECT_NE(GetAttributes(out + "/Docs/locked.txt") & ATTR_READONLY, 0u);
    EXPECT_EQ(GetAttributes(out + "/Docs/sub/a.txt") & ATTR_READONLY, 0u);
    EXPECT_TRUE(Exists(out + "/Docs/empty.txt"));
    EXPECT_EQ(Info(out + "/Docs/empty.txt").size, 0u);
    EXPECT_EQ(Info(out + "/Docs/empty.txt").lastWriteTime, kWritten + 7);
    EXPECT_TRUE(TempFilesUnder(out).empty());
    EXPECT_TRUE(NeverDecreases(sink.percents));
    EXPECT_EQ(sink.percents.back(), 100);
}

TEST_F(CopyTest, OverwritePolicy) {
    enum class Dest { Missing, Equal, OneTickOlder, Newer };
    struct Case {
        int mode, skipIfMissing;
        Dest dest;
        bool copied;
    };
    const Case cases[] = {
        {kOverwriteAlways, 0, Dest::Equal, true},
        {kOverwriteAlways, 0, Dest::Newer, true},
        {kOverwriteNever, 0, Dest::Equal, false},
        {kOverwriteNever, 0, Dest::Missing, true},
        {kOverwriteIfOlder, 0, Dest::Equal, false},
        {kOverwriteIfOlder, 0, Dest::OneTickOlder, true},
        {kOverwriteIfOlder, 0, Dest::Newer, false},
        {kOverwriteIfOlder, 0, Dest::Missing, true},
        {kOverwriteAlways, 1, Dest::Missing, false},
        {kOverwriteAlways, 1, Dest::Equal, true},
        {kOverwriteNever, 1, Dest::Missing, false},
        {kOverwriteNever, 1, Dest::Equal, false},
    };
    const std::string source = dir / "f.txt";
    const std::string target = out + "/f.txt";
    WriteFile(source, "new");
    ASSERT_TRUE(SetPathTimes(source, kWritten, kWritten));
    for (const Case& c : cases) {
        std::filesystem::remove_all(out);
        if (c.dest != Dest::Missing) {
            WriteFile(target, "old");
            const FileTime t = c.dest == Dest::Equal          ? kWritten
                               : c.dest == Dest::OneTickOlder ? kWritten - 1
                                                              : kWritten + 1;
            ASSERT_TRUE(SetPathTimes(target, t, t));
        }
        sink.percents.clear();
        const RunResult result = Run({source}, c.mode, c.skipIfMissing);
        const std::string label = "mode " + std::to_string(c.mode) + " skip " +
                                  std::to_string(c.skipIfMissing) + " dest " +
                                  std::to_string(static_cast<int>(c.dest));
        EXPECT_EQ(result.end, RunEnd::Done) << label;
        EXPECT_EQ(sink.percents, std::vector<int>{100}) << label;
        if (c.copied) {
            EXPECT_EQ(ReadFile(target), "new") << label;
        } else if (c.dest == Dest::Missing) {
            EXPECT_FALSE(Exists(target)) << label;
        } else {
            EXPECT_EQ(ReadFile(target), "old") << label;
        }
    }
}

TEST_F(CopyTest, NeverCopiesAFileOntoItself) {
    // The set folder's parent as destination names every source itself.
    WriteFile(dir / "set/a.txt", "a");
    WriteFile(dir / "set/sub/b.txt", "b");
    EXPECT_EQ(Run({dir / "set"}, kOverwriteAlways, 0, dir.path()).end, RunEnd::Done);
    EXPECT_EQ(ReadFile(dir / "set/a.txt"), "a");
    EXPECT_EQ(ReadFile(dir / "set/sub/b.txt"), "b");
    EXPECT_TRUE(TempFilesUnder(dir.path()).empty());
    EXPECT_EQ(sink.percents.back(), 100);

    // Another name of the same file is the same file.
    WriteFile(dir / "h.txt", "hard");
    std::filesystem::create_directories(out);
    std::filesystem::create_hard_link(dir / "h.txt", out + "/h.txt");
    const std::uint64_t inode = Info(dir / "h.txt").inode;
    EXPECT_EQ(Run({dir / "h.txt"}, kOverwriteAlways).end, RunEnd::Done);
    EXPECT_EQ(Info(out + "/h.txt").inode, inode);
    EXPECT_EQ(ReadFile(dir / "h.txt"), "hard");
}

TEST_F(CopyTest, ReadOnlyDestinationIsReplaced) {
    WriteFile(dir / "f.txt", "new");
    WriteFile(out + "/f.txt", "old");
    ASSERT_TRUE(SetAttributes(out + "/f.txt", ATTR_READONLY));
    EXPECT_EQ(Run({dir / "f.txt"}, kOverwriteAlways).end, RunEnd::Done);
    EXPECT_EQ(ReadFile(out + "/f.txt"), "new");
    EXPECT_EQ(GetAttributes(out + "/f.txt") & ATTR_READONLY, 0u);
}

// Each failure names the file it concerns, keeps the files copied before
// it, and leaves the older destination and no temporary file behind.
TEST_F(CopyTest, FailuresLeaveTheOlderDestinationIntact) {
    const std::string first = dir / "one.txt";
    const std::string big = dir / "big.bin";
    const std::string target = out + "/big.bin";
    struct Case {
        faults::Call call;
        const char* pathPart;
        unsigned nth;
        const char* message;
        bool namesSource;
    };
    const Case cases[] = {
        {faults::Call::Open, "big.bin", 1, "Error open file read", true},
        {faults::Call::Open, "out/big.bin", 1, "Error create file", false},
        {faults::Call::Read, "big.bin", 1, "Error reading file", true},
        {faults::Call::Write, "out/big.bin", 1, "Error writting file", false},
        // A write after the first (a kernel copy call or a buffer's transfer).
        {faults::Call::Write, "out/big.bin", 2, "Error writting file", false},
        {faults::Call::Flush, "out/big.bin", 1, "Error writting file", false},
        {faults::Call::Rename, "big.bin", 1, "Error create file", false},
    };
    WriteFile(first, "first");
    WriteBytes(big, 3 * 1024 * 1024, 'n');
    for (const Case& c : cases) {
        std::filesystem::remove_all(out);
        WriteFile(target, "old");
        faults::Reset();
        // The first file copies; the fault hits the big one.
        faults::Arm(c.call, EIO, c.nth, 1, c.pathPart);
        const RunResult result = Run({first, big}, kOverwriteAlways);
        EXPECT_EQ(result.end, RunEnd::Failed) << c.message;
        EXPECT_EQ(result.errorText, ErrorText(c.message, c.namesSource ? big : target));
        EXPECT_EQ(ReadFile(out + "/one.txt"), "first") << c.message;
        EXPECT_EQ(ReadFile(target), "old") << c.message;
        EXPECT_TRUE(TempFilesUnder(out).empty()) << c.message;
    }

    // A folder where the file should go.
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(target);
    faults::Reset();
    const RunResult folder = Run({big}, kOverwriteAlways);
    EXPECT_EQ(folder.errorText, ErrorText("Error create file", target));
    EXPECT_TRUE(TempFilesUnder(out).empty());
}

TEST_F(CopyTest, FlushEvery2MiBWrittenAndNoneAtTheEnd) {
    const std::string under = dir / "under.bin", twice = dir / "twice.bin";
    WriteBytes(under, 2097151, 'u');
    WriteBytes(twice, 4194304, 't');
    faults::Arm(faults::Call::Flush, EIO, 1, 0, "/out/");
    EXPECT_EQ(Run({under}).end, RunEnd::Done);
    EXPECT_EQ(faults::FiredCount(), 0u);

    // 4 MiB: a flush after 2 MiB and one after 4 MiB, none at the end.
    faults::Arm(faults::Call::Flush, EIO, 3, 1, "/out/");
    EXPECT_EQ(Run({twice}).end, RunEnd::Done);
    EXPECT_EQ(faults::FiredCount(), 0u);
    std::filesystem::remove_all(out);
    faults::Arm(faults::Call::Flush, EIO, 2, 1, "/out/");
    EXPECT_EQ(Run({twice}).errorText, ErrorText("Error writting file", out + "/twice.bin"));
    EXPECT_FALSE(Exists(out + "/twice.bin"));
}

// Times and attributes that cannot be set leave a complete copy: the run
// goes on and the data is in place under its own name.
TEST_F(CopyTest, TimesAndAttributesThatCannotBeSetAreNoError) {
    const std::string source = dir / "ro.txt";
    WriteFile(source, "data");
    ASSERT_TRUE(SetPathTimes(source, kWritten, kWritten));
    ASSERT_TRUE(SetAttributes(source, ATTR_READONLY));
    const faults::Call calls[] = {faults::Call::SetAttributes, faults::Call::SetTimes};
    for (faults::Call call : calls) {
        std::filesystem::remove_all(out);
        faults::Reset();
        faults::Arm(call, EPERM, 1, 0, "out/ro.txt");
        EXPECT_EQ(Run({source}).end, RunEnd::Done);
        EXPECT_EQ(faults::FiredCount(), 1u);
        EXPECT_EQ(ReadFile(out + "/ro.txt"), "data");
        const bool attributesFailed = call == faults::Call::SetAttributes;
        EXPECT_EQ(GetAttributes(out + "/ro.txt") & ATTR_READONLY, attributesFailed ? 0u : ATTR_READONLY);
        EXPECT_EQ(Info(out + "/ro.txt").lastWriteTime == kWritten, attributesFailed);
        EXPECT_TRUE(TempFilesUnder(out).empty());
    }
}

TEST_F(CopyTest, SpecialFilesAreSkippedNotOpened) {
    // Opening a FIFO to read would wait for a writer forever.
    const std::string fifo = dir / "set/pipe";
    WriteFile(dir / "set/plain.txt", "plain");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    faults::Arm(faults::Call::Open, EACCES, 1, 0, "pipe");
    EXPECT_EQ(Run({dir / "set"}).end, RunEnd::Done);
    EXPECT_EQ(faults::FiredCount(), 0u) << "the FIFO was opened";
    EXPECT_EQ(ReadFile(out + "/set/plain.txt"), "plain");
    EXPECT_FALSE(Exists(out + "/set/pipe"));
}

TEST_F(CopyTest, CancelDuringALargeFileKeepsTheOlderDestination) {
    // Large enough for several kernel copy calls of at most 2 MiB.
    const std::size_t size = 9 * 1024 * 1024;
    WriteBytes(dir / "big.bin", size, 'n');
    WriteFile(out + "/big.bin", "old");
    int chunks = 0;
    sink.onPercent = [&](int) {
        if (++chunks == 2) cancel = 1;
    };
    const RunResult result = Run({dir / "big.bin"}, kOverwriteAlways);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(ReadFile(out + "/big.bin"), "old");
    EXPECT_TRUE(TempFilesUnder(out).empty());
    EXPECT_TRUE(SameBytes(ReadFile(dir / "big.bin"), std::string(size, 'n')));
}

// The kernel copies in calls of at most 2 MiB; where it declines, from
// the start or midway, the buffer goes on from where it stopped. Either
// way the bytes, the flush windows and the progress are the same.
TEST_F(CopyTest, KernelCopyAndItsFallbackGiveTheSameFileFlushesAndProgress) {
    struct Decline {
        const char* name;
        unsigned from;  // 0: never; n: from the kernel's nth call on
    };
    const Decline declines[] = {{"kernel", 0}, {"declined at once", 1}, {"declined midway", 2}};
    const std::size_t mib = 1024 * 1024;
    const std::size_t sizes[] = {0, 1, 2 * mib - 1, 2 * mib, 5 * mib + 3};
    for (const Decline& d : declines) {
        for (const std::size_t size : sizes) {
            SCOPED_TRACE(testing::Message() << d.name << ", " << size << " bytes");
            std::filesystem::remove_all(out);
            std::string data(size, '\0');
            for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + (i >> 12));
            WriteFile(dir / "f.bin", data);
            faults::Reset();
            if (d.from != 0) faults::Arm(faults::Call::KernelCopy, EXDEV, d.from, 0);
            unsigned flushes = 0;
            faults::SetObserverForTesting([&](faults::Call call, const char* path) {
                if (call == faults::Call::Flush && path != nullptr &&
                    std::string(path).find("/out/") != std::string::npos)
                    ++flushes;
            });
            int lastPercent = -1;
            bool backwards = false;
            sink.onPercent = [&](int percent) {
                backwards = backwards || percent < lastPercent;
                lastPercent = percent;
            };
            const RunResult result = Run({dir / "f.bin"}, kOverwriteAlways);
            faults::SetObserverForTesting(nullptr);
            EXPECT_EQ(result.end, RunEnd::Done);
            EXPECT_TRUE(SameBytes(ReadFile(out + "/f.bin"), data));
            EXPECT_EQ(flushes, size / (2 * mib));
            EXPECT_FALSE(backwards);
            if (size > 0) {
                EXPECT_EQ(lastPercent, 100);
            }
        }
    }
}

// The source changes under the reader: at the `onRead`-th read of its
// data it is cut to `cutTo` bytes, or grown when `cutTo` is larger. The
// source is larger than one kernel copy call (2 MiB), so a second read
// happens while data is still to come.
constexpr std::size_t kChangingSize = 2 * 1024 * 1024 + 50000;
struct SourceChange {
    const char* what;
    bool move;
    int onRead;
    std::size_t cutTo;
    bool olderDestination;
};

class ChangingSourceTest : public ::testing::TestWithParam<SourceChange> {
protected:
    void TearDown() override { faults::SetObserverForTesting(nullptr); }
    TempDir dir;
    CancelFlag cancel{0};
    RecordingSink sink;
    faults::Guard guard;
};

TEST_P(ChangingSourceTest, ShortCopyIsNeverNamedAndGrowthIsCopied) {
    const SourceChange& c = GetParam();
    constexpr std::size_t kSize = kChangingSize;
    const std::string source = dir / "src/changes.bin", out = dir / "out";
    WriteBytes(source, kSize, 's');
    if (c.olderDestination) WriteFile(out + "/changes.bin", "old");
    int reads = 0;
    faults::SetObserverForTesting([&](faults::Call call, const char* path) {
        if (call != faults::Call::Read || std::string(path) != source || ++reads != c.onRead) return;
        EXPECT_EQ(::truncate(source.c_str(), static_cast<off_t>(c.cutTo)), 0);
    });
    auto set = MakeSet({source});
    MoveOptions options;
    options.destinationFolder = out;
    options.overwriteMode = kOverwriteAlways;
    const RunResult result = c.move ? MoveWorker(set.get(), options, cancel, sink)
                                    : CopyWorker(set.get(), options, cancel, sink);
    faults::SetObserverForTesting(nullptr);
    EXPECT_TRUE(TempFilesUnder(out).empty());
    if (c.cutTo > kSize) {
        // Appended while read: the copy holds the file as it was then.
        EXPECT_EQ(result.end, RunEnd::Done) << result.errorText;
        EXPECT_EQ(ReadFile(out + "/changes.bin").size(), c.cutTo);
        EXPECT_EQ(Exists(source), !c.move);
        return;
    }
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_EQ(result.errorText, FormatText(IDS_FILE_CHANGED_WHILE_COPIED, source));
    if (c.olderDestination) {
        EXPECT_EQ(ReadFile(out + "/changes.bin"), "old");
    } else {
        EXPECT_FALSE(Exists(out + "/changes.bin"));
    }
    EXPECT_TRUE(Exists(source));  // a Move keeps the only whole-or-not copy
}

INSTANTIATE_TEST_SUITE_P(
    CopyAndMove, ChangingSourceTest,
    ::testing::Values(SourceChange{"CopyEmptiedBeforeFirstRead", false, 1, 0, false},
                      SourceChange{"CopyCutInFirstChunk", false, 1, 1000, true},
                      SourceChange{"CopyCutAfterFirstChunk", false, 2, 20000, false},
                      SourceChange{"CopyGrown", false, 1, kChangingSize + 20000, false},
                      SourceChange{"MoveCutInFirstChunk", true, 1, 1000, false},
                      SourceChange{"MoveCutAfterFirstChunk", true, 2, 20000, true},
                      SourceChange{"MoveGrown", true, 2, kChangingSize + 10000, false}),
    [](const ::testing::TestParamInfo<SourceChange>& info) { return std::string(info.param.what); });

TEST(GetFileInfo, FindsFilesAndFoldersWithTrailingSeparators) {
    TempDir dir;
    WriteFile(dir / "a.txt", "abc");
    FindData info;
    EXPECT_EQ(GetFileInfo(dir / "a.txt", info), 1);
    EXPECT_EQ(info.size, 3u);
    EXPECT_EQ(GetFileInfo(dir.path() + "//", info), 1);
    EXPECT_NE(info.attributes & ATTR_DIRECTORY, 0u);
    EXPECT_EQ(GetFileInfo("/", info), 1);
    EXPECT_NE(info.attributes & ATTR_DIRECTORY, 0u);
    EXPECT_EQ(GetFileInfo(dir / "missing", info), 0);
    EXPECT_EQ(GetFileInfo("", info), 0);
}

}  // namespace
}  // namespace kivo::test
