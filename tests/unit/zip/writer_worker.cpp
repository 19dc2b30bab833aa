// The Zip operation's worker and the progress it reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "platform/Faults.h"
#include "zip/format/ZipProgress.h"
#include "zip/ZipWorker.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class RecordingSink : public RunSink {
public:
    explicit RecordingSink(CancelFlag* cancelAtPercent = nullptr, int percent = 0)
        : cancel_(cancelAtPercent), cancelPercent_(percent) {}
    void ShowLabels() override { labelsShown = true; }
    void SetPhase(const std::string& text) override { phases.push_back(text); }
    void SetPercent(int percent) override {
        percents.push_back(percent);
        if (cancel_ != nullptr && percent >= cancelPercent_) cancel_->store(1);
    }
    bool labelsShown = false;
    std::vector<std::string> phases;
    std::vector<int> percents;

private:
    CancelFlag* cancel_;
    int cancelPercent_;
};

std::unique_ptr<FileSet> FolderSet(const std::string& folder) {
    auto set = std::make_unique<FileSet>();
    set->name = "docs";
    auto entry = std::make_unique<SetEntry>();
    entry->path = folder;
    entry->includeSubfolders = 1;
    entry->filterMode = 1;  // exclude nothing
    set->entries.push_back(std::move(entry));
    return set;
}

class ZipWorkerRun : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_ / "Docs/a.txt", test::SampleText(60000));
        WriteFile(dir_ / "Docs/sub/b.txt", test::SampleText(20000, 2));
    }
    TempDir dir_;
    std::string out_ = dir_ / "docs.zip";
    CancelFlag cancel{0};
};

TEST_F(ZipWorkerRun, CompletesWithPhasesAndFullBar) {
    const auto set = FolderSet(dir_ / "Docs");
    RecordingSink sink;
    const RunResult result = ZipWorker(set.get(), ZipJob{out_, ""}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Done);
    EXPECT_TRUE(sink.labelsShown);
    EXPECT_EQ(sink.phases, (std::vector<std::string>{"Scanning Files...", "Compressing..."}));
    ASSERT_FALSE(sink.percents.empty());
    EXPECT_EQ(sink.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(sink.percents.begin(), sink.percents.end()));

    const auto archive = test::ParseArchive(ReadFile(out_));
    std::vector<std::string> names;
    for (const auto& c : archive.centrals) names.push_back(c.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Docs/a.txt", "Docs/sub/b.txt"}));
}

TEST_F(ZipWorkerRun, BlankPasswordMeansNoneAndOthersAreTrimmed) {
    const auto set = FolderSet(dir_ / "Docs");
    struct Case {
        std::string typed;
        std::string effective;  // empty: no encryption
    };
    for (const Case& c : {Case{"", ""}, Case{"   \t ", ""}, Case{"  pw  ", "pw"}, Case{"p w", "p w"}}) {
        SCOPED_TRACE("[" + c.typed + "]");
        RecordingSink sink;
        ASSERT_EQ(ZipWorker(set.get(), ZipJob{out_, c.typed}, cancel, sink).end, RunEnd::Done);
        const auto archive = test::ParseArchive(ReadFile(out_));
        ASSERT_EQ(archive.locals.size(), 2u);
        for (const auto& l : archive.locals) {
            EXPECT_EQ(l.flags, c.effective.empty() ? 0 : 1);
            if (!c.effective.empty()) {
                EXPECT_TRUE(test::CheckBytesMatch(test::Decrypted(l.data, c.effective), l.crc));
            }
        }
    }
}

TEST_F(ZipWorkerRun, FailureReportsTheArchivePath) {
    const auto set = FolderSet(dir_ / "Docs");
    faults::Guard guard;
    faults::Arm(faults::Call::Read, EIO, 1, 1, "b.txt");
    RecordingSink sink;
    const RunResult result = ZipWorker(set.get(), ZipJob{out_, "pw"}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_EQ(result.errorText, "Error making zip file:\r\n" + out_);
    EXPECT_FALSE(std::filesystem::exists(out_));
    EXPECT_EQ(test::NamesIn(dir_.path()), std::vector<std::string>{"Docs"});
}

TEST_F(ZipWorkerRun, ItemListThatLostFilesGivesNoArchive) {
    // The list's temporary file is the first file opened; without it the
    // list is empty, and an empty archive would pass for the backup.
    WriteFile(out_, "old archive");
    const auto set = FolderSet(dir_ / "Docs");
    faults::Guard guard;
    faults::Arm(faults::Call::Open, ENOSPC, 1, 1);
    RecordingSink sink;
    const RunResult result = ZipWorker(set.get(), ZipJob{out_, ""}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_EQ(result.errorText, "Error making zip file:\r\n" + out_);
    EXPECT_EQ(ReadFile(out_), "old archive");
}

TEST_F(ZipWorkerRun, CancelDuringCompressionStopsWithoutMessage) {
    const auto set = FolderSet(dir_ / "Docs");
    WriteFile(out_, "older");
    RecordingSink sink(&cancel, 30);
    const RunResult result = ZipWorker(set.get(), ZipJob{out_, ""}, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_TRUE(result.errorText.empty());
    EXPECT_EQ(ReadFile(out_), "older");
    EXPECT_EQ(test::NamesIn(dir_.path()), (std::vector<std::string>{"Docs", "docs.zip"}));
}

TEST_F(ZipWorkerRun, CancelBeforeCompressionTouchesNothing) {
    const auto set = FolderSet(dir_ / "Docs");
    cancel.store(1);
    RecordingSink sink;
    EXPECT_EQ(ZipWorker(set.get(), ZipJob{out_, ""}, cancel, sink).end, RunEnd::Stopped);
    EXPECT_FALSE(std::filesystem::exists(out_));
    EXPECT_EQ(sink.phases, std::vector<std::string>{"Scanning Files..."});
}

TEST_F(ZipWorkerRun, NothingToZip) {
    std::filesystem::create_directories(dir_ / "Empty");
    const auto set = FolderSet(dir_ / "Empty");
    RecordingSink sink;
    EXPECT_EQ(ZipWorker(set.get(), ZipJob{out_, "pw"}, cancel, sink).end, RunEnd::Done);
    ASSERT_TRUE(std::filesystem::exists(out_));
    EXPECT_EQ(std::filesystem::file_size(out_), 22u);  // the end record alone
    EXPECT_TRUE(sink.percents.empty());  // a total of 0 moves nothing

    RecordingSink noSet;
    const std::string other = dir_ / "none.zip";
    EXPECT_EQ(ZipWorker(nullptr, ZipJob{other, ""}, cancel, noSet).end, RunEnd::Done);
    EXPECT_FALSE(std::filesystem::exists(other));
}

class PercentLog : public ZipProgress {
public:
    void ShowPercent(int percent) override { shown.push_back(percent); }
    std::vector<int> shown;
};

TEST(ZipProgressBase, PercentOfDoneOverTotal) {
    PercentLog idle;
    idle.AddDone(500);  // no total yet: nothing shown
    EXPECT_TRUE(idle.shown.empty());
    EXPECT_EQ(idle.IsCancelled(), 0);

    PercentLog p;
    p.SetTotal(300);
    for (std::uint32_t step : {1u, 1u, 97u, 101u, 100u}) p.AddDone(step);
    // 1/300, 2/300, 99/300, 200/300, 300/300, truncated
    EXPECT_EQ(p.shown, (std::vector<int>{0, 0, 33, 66, 100}));
    p.AddDone(150);  // a file that grew since the scan
    EXPECT_EQ(p.shown.back(), 100);

    PercentLog big;
    big.SetTotal(0x300000000ull);  // sums beyond 32 bits stay exact
    big.AddDone(0xFFFFFFFFu);
    big.AddDone(0xFFFFFFFFu);
    EXPECT_EQ(big.shown, (std::vector<int>{33, 66}));
}

}  // namespace
}  // namespace kivo::zip
