// Delete: overwrite passes, deletion, messages and the state left behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/StringTable.h"
#include "ops/DeleteWorker.h"
#include "ops/RunEngine.h"
#include "ops/OpsTestSupport.h"
#include "ops/WipePattern.h"
#include "platform/Attributes.h"
#include "platform/Faults.h"

namespace kivo::test {
namespace {

constexpr std::uint32_t kSeed = 12345;

class DeleteTest : public ::testing::Test {
protected:
    void SetUp() override { SetWipeSeedSourceForTesting(+[]() -> std::uint32_t { return kSeed; }); }
    void TearDown() override { SetWipeSeedSourceForTesting(nullptr); }

    RunResult Run(const std::vector<std::string>& paths, const std::string& passes, int mode = 1,
                  int includeSubfolders = 1) {
        auto set = MakeSet(paths, includeSubfolders);
        DeleteOptions options;
        options.passesText = passes;
        options.removeEmptyMode = mode;
        return DeleteWorker(set.get(), options, cancel, sink);
    }

    TempDir dir;
    CancelFlag cancel{0};
    RecordingSink sink;
    faults::Guard guard;
};

// A pass that cannot complete leaves what the pass before it wrote, so each
// pass's bytes can be read back: a failing write at the start of pass k
// shows pass k - 1, a failing delete shows the last pass.
TEST_F(DeleteTest, EachPassWritesItsPattern) {
    struct Case {
        const char* passes;
        faults::Call failing;
        unsigned nth;
        unsigned shownPass;
        const char* message;
    };
    const Case cases[] = {
        {"1", faults::Call::Delete, 1, 0, "Can not delete file"},
        {"2", faults::Call::Write, 2, 0, "Can not erase file"},
        {"2", faults::Call::Delete, 1, 1, "Can not delete file"},
        {"3", faults::Call::Write, 3, 1, "Can not erase file"},
        {"3", faults::Call::Delete, 1, 2, "Can not delete file"},
    };
    for (const Case& c : cases) {
        const std::string file = dir / "victim.bin";
        WriteBytes(file, 16384, 'x');
        faults::Reset();
        faults::Arm(c.failing, EIO, c.nth, 1, "victim.bin");
        const RunResult result = Run({file}, c.passes);
        EXPECT_EQ(result.end, RunEnd::Failed) << c.passes;
        EXPECT_EQ(result.errorText, ErrorText(c.message, file));
        EXPECT_TRUE(SameBytes(ReadFile(file), PassContent(c.shownPass, 16384, kSeed)))
            << c.passes << " passes, shown pass " << c.shownPass;
    }
}

TEST_F(DeleteTest, FileOf40000BytesIsWrittenInThreeChunksEveryPass) {
    const std::string first = dir / "first.bin";
    const std::string file = dir / "big.bin";
    const std::string original(40000, 'x');
    // Write n fails: what the writes before it covered shows how long they were.
    struct Case {
        const char* passes;
        unsigned failingWrite;
        std::string expected;
    };
    const std::string pass0 = PassContent(0, 40000, kSeed);
    const Case cases[] = {
        {"1", 2, pass0.substr(0, 16384) + original.substr(16384)},
        {"1", 3, pass0.substr(0, 32768) + original.substr(32768)},
        {"2", 4, pass0},
        {"2", 6, PassContent(1, 32768, kSeed) + pass0.substr(32768)},
    };
    for (const Case& c : cases) {
        WriteFile(first, "earlier");
        WriteFile(file, original);
        faults::Reset();
        faults::Arm(faults::Call::Write, ENOSPC, c.failingWrite, 1, "big.bin");
        const RunResult result = Run({first, file}, c.passes);
        EXPECT_EQ(result.errorText, ErrorText("Can not erase file", file));
        EXPECT_FALSE(Exists(first)) << "files before the failing one are gone";
        EXPECT_TRUE(SameBytes(ReadFile(file), c.expected)) << c.passes << "/" << c.failingWrite;
    }

    // One pass is exactly three writes; the bar moves after each chunk.
    WriteFile(file, original);
    faults::Reset();
    faults::Arm(faults::Call::Write, ENOSPC, 4, 1, "big.bin");
    sink.percents.clear();
    EXPECT_EQ(Run({file}, "1").end, RunEnd::Done);
    EXPECT_EQ(faults::FiredCount(), 0u);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(sink.percents, (std::vector<int>{40, 81, 100}));
}

TEST_F(DeleteTest, EmptyFileIsOpenedOnceSyncedEveryPassAndNeverMovesTheBar) {
    const std::string file = dir / "empty";
    WriteFile(file, "");
    faults::Arm(faults::Call::Open, EACCES, 2, 1, "empty");
    unsigned syncs = 0;
    faults::SetObserverForTesting([&](faults::Call call, const char* path) {
        if (call == faults::Call::Flush && path != nullptr && std::string(path) == file) ++syncs;
    });
    EXPECT_EQ(Run({file}, "3").end, RunEnd::Done);
    faults::SetObserverForTesting(nullptr);
    EXPECT_EQ(faults::FiredCount(), 0u);
    EXPECT_EQ(syncs, 3u);
    EXPECT_FALSE(Exists(file));
    EXPECT_TRUE(sink.percents.empty());

    WriteFile(file, "");
    faults::Reset();
    faults::Arm(faults::Call::Open, EACCES, 1, 1, "empty");
    const RunResult refused = Run({file}, "3");
    EXPECT_EQ(refused.errorText, ErrorText("Can not erase file", file));
    EXPECT_TRUE(Exists(file));
}

TEST_F(DeleteTest, PassesTextDecidesTheNumberOfPasses) {
    // 999 is capped: the last pass writes 0xFF and there is no 258th write.
    const std::string file = dir / "ten";
    WriteBytes(file, 10, 'x');
    faults::Arm(faults::Call::Write, EIO, 258, 1, "ten");
    faults::Arm(faults::Call::Delete, EIO, 1, 1, "ten");
    const RunResult capped = Run({file}, "999");
    EXPECT_EQ(capped.errorText, ErrorText("Can not delete file", file));
    EXPECT_EQ(faults::FiredCount(), 1u) << "only the delete failed";
    EXPECT_EQ(ReadFile(file), std::string(10, '\xFF'));

    // An empty text deletes without writing; the bar counts files.
    const std::string other = dir / "other";
    WriteBytes(file, 10, 'x');
    WriteBytes(other, 10, 'y');
    faults::Reset();
    faults::Arm(faults::Call::Write, EIO, 1, 0, dir.path());
    sink.percents.clear();
    EXPECT_EQ(Run({file, other}, "").end, RunEnd::Done);
    EXPECT_EQ(faults::FiredCount(), 0u);
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(other));
    EXPECT_EQ(sink.percents, (std::vector<int>{50, 100}));
}

TEST_F(DeleteTest, CancelInsideAPassLeavesThatFilePartlyOverwritten) {
    const std::string a = dir / "a", b = dir / "b", c = dir / "c";
    WriteBytes(a, 10, 'a');
    WriteBytes(b, 100000, 'b');
    WriteBytes(c, 10, 'c');
    int chunks = 0;
    // a's chunk in each pass, then b's first two.
    sink.onPercent = [&](int) {
        if (++chunks == 4) cancel = 1;
    };
    const RunResult result = Run({a, b, c}, "2");
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_TRUE(result.errorText.empty());
    EXPECT_FALSE(Exists(a));
    EXPECT_TRUE(SameBytes(ReadFile(b), PassContent(0, 32768, kSeed) + std::string(100000 - 32768, 'b')));
    EXPECT_EQ(ReadFile(c), std::string(10, 'c'));
    EXPECT_TRUE(NeverDecreases(sink.percents));
}

// Grown: the pass covers the file as it is; shrunk: back up to the
// recorded size. Neither is truncated.
TEST_F(DeleteTest, GrownFileIsWrittenWholeAndShrunkOneUpToTheRecordedSize) {
    const std::string grown = dir / "grown", shrunk = dir / "shrunk";
    WriteBytes(grown, 100, 'g');
    WriteBytes(shrunk, 100, 's');
    faults::Arm(faults::Call::Delete, EIO, 1, 0, dir.path());
    sink.onPhase = [&](const std::string& text) {
        if (text == "Deleting Files...") WriteFile(grown, std::string(100, 'g') + std::string(50, 'T'));
    };
    Run({grown}, "2");
    EXPECT_EQ(ReadFile(grown), std::string(150, '\0'));
    sink.onPhase = [&](const std::string& text) {
        if (text == "Deleting Files...") WriteBytes(shrunk, 10, 's');
    };
    Run({shrunk}, "2");
    EXPECT_EQ(ReadFile(shrunk), std::string(100, '\0'));
}

// The whole inode as it is now, read through a descriptor that outlives
// every name of the file.
std::string ReadThrough(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::string();
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

struct ObserverReset {
    ~ObserverReset() { faults::SetObserverForTesting(nullptr); }
};

// Data appended between the scan and the erase lies past the recorded size;
// once the name is gone it would stay readable in the freed blocks. The
// descriptor held open on the inode sees exactly what those blocks keep.
TEST_F(DeleteTest, DataAppendedAfterTheScanIsErasedBeforeTheFileGoes) {
    struct Case {
        const char* passes;
        std::size_t original, appended;
    };
    const Case cases[] = {
        {"1", 40000, 30000},  // past two chunk boundaries
        {"2", 100, 16384},    // a whole chunk more
        {"3", 0, 5000},       // scanned empty
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.passes);
        const std::string file = dir / "grows.bin";
        WriteBytes(file, c.original, 'o');
        const int held = ::open(file.c_str(), O_RDONLY);
        ASSERT_GE(held, 0);
        SetRunHooksForTesting({[&] {
                                   const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND);
                                   const std::string tail(c.appended, 'A');
                                   EXPECT_EQ(::write(fd, tail.data(), tail.size()),
                                             static_cast<ssize_t>(tail.size()));
                                   ::close(fd);
                               },
                               nullptr});
        const RunResult result = Run({file}, c.passes);
        SetRunHooksForTesting({});
        EXPECT_EQ(result.end, RunEnd::Done) << result.errorText;
        EXPECT_FALSE(Exists(file));
        const std::string left = ReadThrough(held);
        ::close(held);
        const unsigned lastPass = static_cast<unsigned>(std::stoi(c.passes)) - 1;
        EXPECT_TRUE(SameBytes(left, PassContent(lastPass, c.original + c.appended, kSeed)));
    }
}

// A writer that appends during every pass: no pass ever covers the file, so
// it is reported and kept rather than unlinked with unerased data.
TEST_F(DeleteTest, FileThatKeepsGrowingFailsAndIsKept) {
    const std::string file = dir / "set/growing.log", after = dir / "set/zz-after.bin";
    WriteBytes(file, 40000, 'o');
    WriteBytes(after, 100, 'z');
    const int appender = ::open(file.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(appender, 0);
    ObserverReset reset;
    faults::SetObserverForTesting([&](faults::Call call, const char* path) {
        if (call == faults::Call::Write && std::string(path).find("growing.log") != std::string::npos) {
            EXPECT_EQ(::write(appender, "more", 4), 4);
        }
    });
    auto set = MakeSet({file, after});
    DeleteOptions options;
    options.passesText = "3";
    options.removeEmptyMode = 0;
    const RunResult result = DeleteWorker(set.get(), options, cancel, sink);
    faults::SetObserverForTesting(nullptr);
    ::close(appender);
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_EQ(result.errorText, ErrorText("Can not erase file", file) + "\r\n" +
                                    LoadText(IDS_ERASE_KEPT_GROWING));
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(ReadFile(after), std::string(100, 'z'));
}

TEST_F(DeleteTest, VanishedFileCountsAsDone) {
    const std::string gone = dir / "gone", kept = dir / "kept";
    WriteBytes(gone, 1000, 'x');
    WriteBytes(kept, 1000, 'y');
    sink.onPhase = [&](const std::string& text) {
        if (text == "Deleting Files...") std::filesystem::remove(gone);
    };
    EXPECT_EQ(Run({gone, kept}, "1").end, RunEnd::Done);
    EXPECT_FALSE(Exists(kept));
    EXPECT_EQ(sink.percents, (std::vector<int>{50, 100}));
}

TEST_F(DeleteTest, ReadOnlyHiddenAndFailedDeletes) {
    const std::string readOnly = dir / "readonly.bin", hidden = dir / ".hidden";

    // A read-only file cannot be opened for writing...
    WriteBytes(readOnly, 100, 'r');
    ASSERT_TRUE(SetAttributes(readOnly, ATTR_READONLY));
    const RunResult erase = Run({readOnly}, "1");
    EXPECT_EQ(erase.errorText, ErrorText("Can not erase file", readOnly));
    EXPECT_EQ(ReadFile(readOnly), std::string(100, 'r'));

    // ...but without passes its attributes are reset and it goes.
    EXPECT_EQ(Run({readOnly}, "0").end, RunEnd::Done);
    EXPECT_FALSE(Exists(readOnly));

    WriteBytes(hidden, 100, 'h');
    EXPECT_EQ(Run({hidden}, "2").end, RunEnd::Done);
    EXPECT_FALSE(Exists(hidden));

    // A delete that fails leaves the file with normal attributes.
    WriteBytes(readOnly, 100, 'r');
    ASSERT_TRUE(SetAttributes(readOnly, ATTR_READONLY));
    faults::Arm(faults::Call::Delete, EPERM, 1, 1, "readonly.bin");
    const RunResult stuck = Run({readOnly}, "0");
    EXPECT_EQ(stuck.errorText, ErrorText("Can not delete file", readOnly));
    EXPECT_TRUE(Exists(readOnly));
    EXPECT_EQ(GetAttributes(readOnly) & ATTR_READONLY, 0u);
}

// Within a pass the data goes to the disk after every 2 MiB, and every pass
// ends with a sync of its own, so no pass stays in the page cache only.
TEST_F(DeleteTest, FlushFollowsEvery2MiBAndEveryPassAndAFailedFlushIsAFailedErase) {
    const std::string file = dir / "flush";
    const struct {
        std::size_t size;
        const char* passes;
        unsigned syncs;
    } cases[] = {{2097151, "1", 1}, {2097152, "1", 1}, {4194305, "1", 3}, {100, "2", 2}};
    for (const auto& c : cases) {
        WriteBytes(file, c.size, 'x');
        unsigned syncs = 0;
        faults::SetObserverForTesting([&](faults::Call call, const char* path) {
            if (call == faults::Call::Flush && path != nullptr && std::string(path) == file) ++syncs;
        });
        EXPECT_EQ(Run({file}, c.passes).end, RunEnd::Done);
        faults::SetObserverForTesting(nullptr);
        EXPECT_EQ(syncs, c.syncs) << c.size << " bytes, " << c.passes << " passes";
    }

    for (unsigned nth : {1u, 2u}) {
        WriteBytes(file, 100, 'x');
        faults::Reset();
        faults::Arm(faults::Call::Flush, EIO, nth, 1, "flush");
        const RunResult result = Run({file}, "2");
        EXPECT_EQ(result.errorText, ErrorText("Can not erase file", file));
        EXPECT_EQ(faults::FiredCount(), 1u);
        EXPECT_TRUE(Exists(file));
    }
}

TEST_F(DeleteTest, LinksAreRemovedAsLinksAndNeverFollowed) {
    const std::string outside = dir / "outside";
    WriteBytes(outside + "/keep.txt", 100, 'k');
    WriteBytes(outside + "/target.txt", 100, 't');
    const std::string set = dir / "set";
    WriteBytes(set + "/own.txt", 100, 'o');
    std::filesystem::create_directory_symlink(outside, set + "/linked");
    std::filesystem::create_symlink(outside + "/target.txt", set + "/filelink");

    const RunResult linkRun = Run({set}, "1", /*mode=*/0);
    EXPECT_EQ(linkRun.end, RunEnd::Done) << linkRun.errorText;
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), std::string(100, 'k'));
    EXPECT_EQ(ReadFile(outside + "/target.txt"), std::string(100, 't'));
    EXPECT_FALSE(Exists(set + "/own.txt"));
    EXPECT_FALSE(Exists(set + "/filelink"));
    // The folder link is an entry that stays, so the set folder stays too.
    EXPECT_TRUE(Exists(set + "/linked"));
    EXPECT_TRUE(Exists(set));
}

// Between two passes someone puts another file in the item's place: a link
// to a file outside the set, or a second name of one. The next pass must not
// write through it.
TEST_F(DeleteTest, AFileSwappedInDuringTheRunIsNeverWrittenThrough) {
    enum class Swap { SymbolicLink, HardLink };
    for (const Swap swap : {Swap::SymbolicLink, Swap::HardLink}) {
        const std::string outside = dir / "outside.txt";
        const std::string file = dir / "set/victim.bin";
        WriteBytes(outside, 100, 'k');
        WriteBytes(file, 100, 'x');
        bool swapped = false;
        sink.onPercent = [&](int) {
            if (swapped) return;
            swapped = true;
            std::filesystem::remove(file);
            if (swap == Swap::SymbolicLink) {
                std::filesystem::create_symlink(outside, file);
            } else {
                std::filesystem::create_hard_link(outside, file);
            }
        };
        const RunResult result = Run({file}, "2");
        sink.onPercent = nullptr;
        EXPECT_TRUE(swapped);
        EXPECT_EQ(result.end, RunEnd::Failed);
        EXPECT_EQ(result.errorText, ErrorText("Can not erase file", file));
        EXPECT_EQ(ReadFile(outside), std::string(100, 'k'));
        std::filesystem::remove_all(dir / "set");
        std::filesystem::remove(outside);
    }
}

TEST_F(DeleteTest, SpecialFilesAreRemovedWithoutBeingOpened) {
    const std::string fifo = dir / "set/pipe";
    WriteBytes(dir / "set/plain.bin", 100, 'p');
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    faults::Arm(faults::Call::Open, EACCES, 1, 0, "pipe");
    EXPECT_EQ(Run({dir / "set"}, "1").end, RunEnd::Done);
    EXPECT_EQ(faults::FiredCount(), 0u) << "the FIFO was opened";
    EXPECT_FALSE(Exists(fifo));
    EXPECT_FALSE(Exists(dir / "set/plain.bin"));
}

TEST_F(DeleteTest, EmptyFolderModes) {
    auto build = [&] {
        WriteFile(dir / "set/a.txt", "a");
        WriteFile(dir / "set/sub/b.txt", "b");
        std::filesystem::create_directories(dir / "set/sub/deeper/empty");
    };
    struct Case {
        int mode;
        bool setKept, subKept;
    };
    const Case cases[] = {{0, false, false}, {1, true, true}, {2, true, false}};
    for (const Case& c : cases) {
        build();
        EXPECT_EQ(Run({dir / "set"}, "0", c.mode).end, RunEnd::Done);
        EXPECT_EQ(Exists(dir / "set"), c.setKept) << c.mode;
        EXPECT_EQ(Exists(dir / "set/sub"), c.subKept) << c.mode;
        EXPECT_FALSE(Exists(dir / "set/a.txt"));
        std::filesystem::remove_all(dir / "set");
    }

    // A dot folder is never entered and keeps its parent; sub-folders of a
    // folder scanned without them are still emptied away.
    WriteFile(dir / "dot/a.txt", "a");
    std::filesystem::create_directories(dir / "dot/.cache");
    WriteFile(dir / "flat/a.txt", "a");
    WriteFile(dir / "flat/sub/b.txt", "b");
    std::filesystem::create_directories(dir / "flat/empty/inner");
    EXPECT_EQ(Run({dir / "dot"}, "0", 0).end, RunEnd::Done);
    EXPECT_TRUE(Exists(dir / "dot/.cache"));
    EXPECT_EQ(Run({dir / "flat"}, "0", 0, /*includeSubfolders=*/0).end, RunEnd::Done);
    EXPECT_FALSE(Exists(dir / "flat/empty"));
    EXPECT_TRUE(Exists(dir / "flat/sub/b.txt"));
}

}  // namespace
}  // namespace kivo::test
