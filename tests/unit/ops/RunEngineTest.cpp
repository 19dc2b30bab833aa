// The shared run skeleton, seen through the Delete and Copy workers.
#include <gtest/gtest.h>

#include "ops/CopyWorker.h"
#include "ops/DeleteWorker.h"
#include "ops/TransferBuffer.h"
#include "ops/OpsTestSupport.h"
#include "platform/Faults.h"

namespace kivo::test {
namespace {

TEST(RunEngine, NoSetEndsAsDoneAfterShowingTheLabels) {
    CancelFlag cancel{0};
    RecordingSink sink;
    const RunResult result = DeleteWorker(nullptr, DeleteOptions{}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Done);
    EXPECT_TRUE(sink.labelsShown);
    EXPECT_TRUE(sink.percents.empty());
}

TEST(RunEngine, BufferThatCannotBeHadFailsBeforeAnythingIsTouched) {
    TempDir dir;
    WriteFile(dir / "a.txt", "keep");
    auto set = MakeSet({dir / "a.txt"});
    FailTransferBufferAllocationForTesting(true);
    CancelFlag cancel{0};
    RecordingSink sink;
    CopyOptions copy;
    copy.destinationFolder = dir / "out";
    const RunResult copied = CopyWorker(set.get(), copy, cancel, sink);
    DeleteOptions erase;
    erase.passesText = "1";
    const RunResult erased = DeleteWorker(set.get(), erase, cancel, sink);
    // Without passes Delete needs no buffer and must still run.
    const RunResult deleted = DeleteWorker(set.get(), DeleteOptions{}, cancel, sink);
    FailTransferBufferAllocationForTesting(false);

    EXPECT_EQ(copied.end, RunEnd::Failed);
    EXPECT_EQ(copied.errorText, "Out of memory.");
    EXPECT_EQ(erased.end, RunEnd::Failed);
    EXPECT_EQ(erased.errorText, "Out of memory.");
    EXPECT_FALSE(Exists(dir / "out"));
    EXPECT_EQ(deleted.end, RunEnd::Done);
    EXPECT_FALSE(Exists(dir / "a.txt"));
}

TEST(RunEngine, CancelDuringScanningStopsBeforeAnyFileIsTouched) {
    TempDir dir;
    for (int i = 0; i < 5; ++i) WriteFile(dir / ("set/f" + std::to_string(i)), "data");
    auto set = MakeSet({dir / "set"});
    CancelFlag cancel{0};
    RecordingSink sink;
    sink.onCounter = [&](const std::string&) { cancel = 1; };
    const RunResult result = DeleteWorker(set.get(), DeleteOptions{}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_TRUE(result.errorText.empty());
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Exists(dir / ("set/f" + std::to_string(i))));
    // Only the scanning text was shown: the run never reached its phase.
    ASSERT_EQ(sink.phases.size(), 1u);
    EXPECT_EQ(sink.phases[0], "Scanning Files...");
}

TEST(RunEngine, PhaseTextsAndCounterFollowTheOperation) {
    TempDir dir;
    WriteFile(dir / "set/a", "12345");
    WriteFile(dir / "set/b", "123");
    struct Case {
        const char* phase;
        std::function<RunResult(const FileSet*, CancelFlag&, RecordingSink&)> run;
    };
    const std::vector<Case> cases = {
        {"Copying Files...",
         [&](const FileSet* s, CancelFlag& c, RecordingSink& k) {
             CopyOptions o;
             o.destinationFolder = dir / "out";
             return CopyWorker(s, o, c, k);
         }},
        {"Deleting Files...",
         [&](const FileSet* s, CancelFlag& c, RecordingSink& k) {
             return DeleteWorker(s, DeleteOptions{}, c, k);
         }},
    };
    for (const Case& c : cases) {
        auto set = MakeSet({dir / "set"});
        CancelFlag cancel{0};
        RecordingSink sink;
        const RunResult result = c.run(set.get(), cancel, sink);
        EXPECT_EQ(result.end, RunEnd::Done) << c.phase;
        ASSERT_EQ(sink.phases.size(), 2u) << c.phase;
        EXPECT_EQ(sink.phases[0], "Scanning Files...");
        EXPECT_EQ(sink.phases[1], c.phase);
        ASSERT_FALSE(sink.counters.empty());
        EXPECT_EQ(sink.counters.back(), "2 Files,  8");
        EXPECT_TRUE(NeverDecreases(sink.percents));
        ASSERT_FALSE(sink.percents.empty());
        EXPECT_EQ(sink.percents.back(), 100);
    }
}

TEST(RunEngine, EmptyFilesNeverMoveTheBar) {
    TempDir dir;
    WriteFile(dir / "set/a", "");
    WriteFile(dir / "set/b", "");
    auto set = MakeSet({dir / "set"});
    CancelFlag cancel{0};
    RecordingSink sink;
    CopyOptions copy;
    copy.destinationFolder = dir / "out";
    EXPECT_EQ(CopyWorker(set.get(), copy, cancel, sink).end, RunEnd::Done);
    EXPECT_TRUE(sink.percents.empty());
    EXPECT_TRUE(Exists(dir / "out/set/a"));
    EXPECT_TRUE(Exists(dir / "out/set/b"));
}

TEST(RunEngine, ItemListThatCannotBeReadBackFailsWithoutTouchingFiles) {
    TempDir dir;
    WriteFile(dir / "set/a", "data");
    auto set = MakeSet({dir / "set"});
    faults::Guard guard;
    // With no passes the only reads of the run are the item list's.
    faults::Arm(faults::Call::Read, EIO, 1, 0);
    CancelFlag cancel{0};
    RecordingSink sink;
    const RunResult result = DeleteWorker(set.get(), DeleteOptions{}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_EQ(result.errorText, "Internal error.");
    EXPECT_TRUE(Exists(dir / "set/a"));
}

TEST(RunEngine, ItemListThatLostFilesFailsInsteadOfReportingSuccess) {
    // Without its backing file, and with a failed write into it: either way
    // the list is short, and processing it would pass a partial run as done.
    struct Case {
        faults::Call call;
        const char* what;
    } cases[] = {{faults::Call::Open, "no backing file"}, {faults::Call::Write, "failed write"}};
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "set/a", "data");
        WriteFile(dir / "set/b", "data");
        auto set = MakeSet({dir / "set"});
        faults::Guard guard;
        // No passes: the list's are the run's only opens and writes.
        faults::Arm(c.call, ENOSPC, 1, 0);
        CancelFlag cancel{0};
        RecordingSink sink;
        const RunResult result = DeleteWorker(set.get(), DeleteOptions{}, cancel, sink);
        EXPECT_EQ(result.end, RunEnd::Failed) << c.what;
        EXPECT_EQ(result.errorText, "Internal error.") << c.what;
        EXPECT_TRUE(Exists(dir / "set/a")) << c.what;
        EXPECT_TRUE(Exists(dir / "set/b")) << c.what;
    }
}

}  // namespace
}  // namespace kivo::test
