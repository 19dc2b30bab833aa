// The extraction run over a pending list: texts, progress, the three ends,
// retry from the failed entry, and the target folder's preparation.
#include <gtest/gtest.h>

#include "extract_support.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "zip/ExtractEntry.h"
#include "zip/ExtractRun.h"

namespace kivo::zip {
namespace {

using test::Member;
using test::ReadFile;

// Records what the run shows; can raise the cancel flag when a chosen entry
// comes up.
class RecordingSink : public RunSink {
public:
    void ShowLabels() override { labelsShown = true; }
    void SetPhase(const std::string& text) override {
        entries.push_back(text);
        if (cancel && text == cancelAt) cancel->store(1);
    }
    void SetCounter(const std::string& text) override { counters.push_back(text); }
    void SetPercent(int percent) override { percents.push_back(percent); }

    bool labelsShown = false;
    std::vector<std::string> entries, counters;
    std::vector<int> percents;
    CancelFlag* cancel = nullptr;
    std::string cancelAt;
};

class Opener : public FolderOpener {
public:
    void Open(const std::string& folder) override { opened.push_back(folder); }
    std::vector<std::string> opened;
};

class ExtractRunTest : public ::testing::Test, public test::ExtractFixture {
protected:
    void MakeTask(const std::string& prefix = std::string()) {
        task_.directory = &directory_;
        task_.pending.clear();
        for (const auto& e : directory_.Entries()) task_.pending.push_back(e.get());
        task_.prefix = prefix;
        task_.targetFolder = Target();
        task_.openFolderWhenDone = true;
    }
    RunResult Run() { return RunExtraction(task_, sink_, cancel_, &opener_); }
    std::string At(const std::string& rel) const { return Target() + "/" + rel; }

    ExtractTask task_;
    RecordingSink sink_;
    CancelFlag cancel_{0};
    Opener opener_;
};

TEST_F(ExtractRunTest, CompletedRunShowsItsTextsAndOpensTheFolder) {
    const std::string big(4000, 'b');
    ASSERT_TRUE(Load({{"Docs/a.txt", "aaa"}, {"Docs/big.txt", big}, {"/top.txt", "t"}}));
    MakeTask();
    const RunResult result = Run();
    EXPECT_EQ(result.end, RunEnd::Done);
    EXPECT_TRUE(task_.pending.empty());
    EXPECT_TRUE(sink_.labelsShown);
    // Four entries with the folder; 3 + 4000 + 1 bytes.
    EXPECT_EQ(sink_.counters, (std::vector<std::string>{"4 Files,  3.9 KB"}));
    EXPECT_EQ(sink_.entries,
              (std::vector<std::string>{"Docs/", "Docs/a.txt", "Docs/big.txt", "top.txt"}));
    EXPECT_EQ(sink_.percents.back(), 100);
    EXPECT_EQ(opener_.opened, (std::vector<std::string>{Target()}));
    EXPECT_EQ(ReadFile(At("Docs/big.txt")), big);
    EXPECT_EQ(ReadFile(At("top.txt")), "t");
}

TEST_F(ExtractRunTest, EmptyPendingListCompletes) {
    ASSERT_TRUE(Load({{"a.txt", "a"}}));
    MakeTask();
    task_.pending.clear();
    EXPECT_EQ(Run().end, RunEnd::Done);
    EXPECT_EQ(sink_.counters, (std::vector<std::string>{"0 Files,  0"}));
    EXPECT_TRUE(sink_.entries.empty());
}

TEST_F(ExtractRunTest, SelectionOfAFolderIsWrittenRelativeToThePrefix) {
    ASSERT_TRUE(Load({{"Docs/sub/x.txt", "x"}, {"Docs/sub/deep/y.txt", "y"}, {"Docs/z.txt", "z"}}));
    MakeTask("Docs/sub");
    task_.pending.clear();
    for (const ZipEntry* e : directory_.CollectEntries("Docs/sub", true)) task_.pending.push_back(e);
    EXPECT_EQ(Run().end, RunEnd::Done);
    EXPECT_EQ(sink_.entries, (std::vector<std::string>{"x.txt", "deep/", "deep/y.txt"}));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/deep", "target/deep/y.txt",
                                                "target/x.txt"}));
}

TEST_F(ExtractRunTest, FailureKeepsTheEntryAndRetryResumesThere) {
    ASSERT_TRUE(Load({{"1.txt", "one"}, {"2.txt", "two"}, {"3.txt", "three"}}));
    MakeTask();
    {
        faults::Guard guard;
        faults::Arm(faults::Call::Open, EIO, 2, 1, "/target/");
        const RunResult result = Run();
        EXPECT_EQ(result.end, RunEnd::Failed);
        EXPECT_EQ(result.errorText,
                  "A error occured while extracting \"2.txt\":\r\n\r\n    Can't create target file.");
    }
    ASSERT_EQ(task_.pending.size(), 2u);
    EXPECT_EQ(task_.pending.front()->name, "2.txt");
    EXPECT_TRUE(opener_.opened.empty());
    EXPECT_EQ(ReadFile(At("1.txt")), "one");

    // The first file is not extracted again: its removal stays.
    ASSERT_TRUE(RemoveFile(At("1.txt")));
    sink_ = RecordingSink();
    EXPECT_EQ(Run().end, RunEnd::Done);
    EXPECT_EQ(sink_.counters, (std::vector<std::string>{"2 Files,  8"}));
    EXPECT_EQ(sink_.entries, (std::vector<std::string>{"2.txt", "3.txt"}));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/2.txt", "target/3.txt"}));
}

TEST_F(ExtractRunTest, ReasonTextOfEachFailureReachesTheMessage) {
    Member secret{"s.txt", "secret"};
    secret.password = "right";
    ASSERT_TRUE(Load({secret, {"../up.txt", "u"}}));
    MakeTask();
    task_.password = "wrong";
    RunResult result = Run();
    EXPECT_EQ(result.errorText,
              "A error occured while extracting \"s.txt\":\r\n\r\n    Incorrect password.");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target"}));
    task_.password = "right";
    result = Run();
    EXPECT_EQ(result.end, RunEnd::Failed);
    // The implied folder "../" comes first and is refused already.
    EXPECT_EQ(result.errorText,
              "A error occured while extracting \"../\":\r\n\r\n    Can't create target file.");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/s.txt"}));
}

TEST_F(ExtractRunTest, CancelBetweenEntriesCompletesAndInsideAnEntryStops) {
    const std::string big(200000, 'q');
    ASSERT_TRUE(Load({{"a.txt", "a"}, {"b.bin", big, kMethodStored}, {"c.txt", "c"}}));
    MakeTask();
    sink_.cancel = &cancel_;
    sink_.cancelAt = "a.txt";  // raised while a.txt, one small block, is extracted
    EXPECT_EQ(Run().end, RunEnd::Done);
    EXPECT_EQ(task_.pending.size(), 2u);
    EXPECT_EQ(opener_.opened.size(), 1u);

    cancel_.store(0);
    sink_.cancelAt = "b.bin";  // seen after b.bin's first block
    EXPECT_EQ(Run().end, RunEnd::Stopped);
    EXPECT_EQ(task_.pending.front()->name, "b.bin");
    EXPECT_EQ(opener_.opened.size(), 1u);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/a.txt"}));
}

TEST_F(ExtractRunTest, SkipExistingAdvancesTheProgress) {
    const std::string big(1000, 'k');
    ASSERT_TRUE(Load({{"keep.txt", big}, {"new.txt", big}}));
    test::WriteFile(At("keep.txt"), "mine");
    MakeTask();
    task_.skipExisting = true;
    sink_.cancel = nullptr;
    EXPECT_EQ(Run().end, RunEnd::Done);
    EXPECT_EQ(ReadFile(At("keep.txt")), "mine");
    EXPECT_EQ(sink_.percents, (std::vector<int>{50, 100}));
}

TEST(PrepareTargetFolderTest, TrimsCreatesAndReportsFailure) {
    test::TempDir dir;
    std::string folder = "  " + (dir / "new/deeper") + " \t";
    std::string message;
    EXPECT_TRUE(PrepareTargetFolder(folder, message));
    EXPECT_EQ(folder, dir / "new/deeper");
    EXPECT_TRUE(IsFolder(folder));

    faults::Guard guard;
    faults::Arm(faults::Call::Mkdir, EACCES, 1, 0);
    std::string other = dir / "refused";
    EXPECT_FALSE(PrepareTargetFolder(other, message));
    EXPECT_EQ(message, "Can not create folder:\r\n" + (dir / "refused"));
    EXPECT_FALSE(PathExists(other));
}

}  // namespace
}  // namespace kivo::zip
