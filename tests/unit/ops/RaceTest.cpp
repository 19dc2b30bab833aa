// Another process changes the set while a run works on it: a folder renamed
// away and replaced by a link or by another folder, a file replaced by a link
// or a second name of a file outside the set. Nothing outside the set or the
// destination may change, and the run says which file it could not finish.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "ops/CopyWorker.h"
#include "ops/DeleteWorker.h"
#include "ops/MoveWorker.h"
#include "ops/OpsTestSupport.h"
#include "ops/RunEngine.h"
#include "platform/Faults.h"
#include "platform/PrivateTemp.h"

namespace kivo::test {
namespace {

namespace fs = std::filesystem;

// Everything a tree holds, links not followed: names, kinds, modes and
// bytes. Two equal snapshots mean nothing in the tree changed.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, error), end;
         !error && it != end; it.increment(error)) {
        struct stat st {};
        ::lstat(it->path().c_str(), &st);
        std::string value = std::to_string(st.st_mode);
        if (S_ISREG(st.st_mode)) value += ":" + ReadFile(it->path().string());
        out[fs::relative(it->path(), root).string()] = value;
    }
    return out;
}

struct HooksGuard {
    ~HooksGuard() { SetRunHooksForTesting({}); }
};

enum class Op { DeleteWithPasses, Copy, Move, EmptyFolders };
enum class Swap { Link, OtherFolder };

const char* Name(Op op) {
    switch (op) {
        case Op::DeleteWithPasses: return "delete";
        case Op::Copy: return "copy";
        case Op::Move: return "move";
        case Op::EmptyFolders: return "empty folders";
    }
    return "";
}

class RaceTest : public ::testing::Test {
protected:
    RunResult RunOp(Op op, const std::string& setFolder) {
        auto set = MakeSet({setFolder});
        switch (op) {
            case Op::DeleteWithPasses: {
                DeleteOptions options;
                options.passesText = "3";
                return DeleteWorker(set.get(), options, cancel, sink);
            }
            case Op::EmptyFolders: {
                DeleteOptions options;
                options.passesText = "0";
                options.removeEmptyMode = 0;
                return DeleteWorker(set.get(), options, cancel, sink);
            }
            case Op::Copy: {
                CopyOptions options;
                options.destinationFolder = out;
                options.overwriteMode = 0;
                return CopyWorker(set.get(), options, cancel, sink);
            }
            case Op::Move: {
                MoveOptions options;
                options.destinationFolder = out;
                options.overwriteMode = 0;
                return MoveWorker(set.get(), options, cancel, sink);
            }
        }
        return {};
    }

    TempDir dir;
    std::string out = dir / "out";
    CancelFlag cancel{0};
    RecordingSink sink;
    faults::Guard guard;
    HooksGuard hooks;
};

// The set folder S holds zz/target.txt; the victim tree V holds the same
// names. Between the scan and the first file (or, for the empty-folder
// step, after the last file and before that step) S/zz is renamed away and
// replaced by a link to V/zz, or by V/zz itself moved into its place.
TEST_F(RaceTest, AFolderSwappedBetweenScanAndActIsNeverActedOn) {
    for (const Op op : {Op::DeleteWithPasses, Op::Copy, Op::Move, Op::EmptyFolders}) {
        for (const Swap swap : {Swap::Link, Swap::OtherFolder}) {
            SCOPED_TRACE(testing::Message() << Name(op) << (swap == Swap::Link ? " link" : " folder"));
            const std::string set = dir / "S", victim = dir / "V";
            if (op == Op::EmptyFolders) {
                // Only empty folders: nothing stops the step but the check.
                fs::create_directories(set + "/zz/sub/deeper");
                WriteFile(set + "/own.txt", "own");
                fs::create_directories(victim + "/zz/sub/deeper");
                fs::create_directories(victim + "/zz/other");
            } else {
                WriteFile(set + "/zz/target.txt", "set data");
                WriteFile(victim + "/zz/target.txt", "victim data");
                WriteFile(victim + "/zz/second.txt", "more victim data");
            }
            const auto victimBefore = Snapshot(victim);

            auto doSwap = [&] {
                fs::rename(set + "/zz", dir / "moved");
                if (swap == Swap::Link) {
                    fs::create_directory_symlink(victim + "/zz", set + "/zz");
                } else {
                    fs::rename(victim + "/zz", set + "/zz");
                }
            };
            RunHooksForTesting h;
            (op == Op::EmptyFolders ? h.beforeFinish : h.afterScan) = doSwap;
            SetRunHooksForTesting(h);
            const RunResult result = RunOp(op, set);
            SetRunHooksForTesting({});
            if (swap == Swap::OtherFolder) fs::rename(set + "/zz", victim + "/zz");

            EXPECT_EQ(Snapshot(victim), victimBefore);
            const std::string file = set + "/zz/target.txt";
            switch (op) {
                case Op::DeleteWithPasses:
                    EXPECT_EQ(result.errorText, ErrorText("Can not erase file", file));
                    break;
                case Op::Copy:
                case Op::Move:
                    EXPECT_EQ(result.errorText, ErrorText("Error open file read", file));
                    EXPECT_FALSE(Exists(out + "/S/zz/target.txt"));
                    EXPECT_EQ(ReadFile(dir / "moved/target.txt"), "set data");
                    break;
                case Op::EmptyFolders:
                    EXPECT_EQ(result.end, RunEnd::Done);
                    EXPECT_FALSE(Exists(set + "/own.txt"));
                    break;
            }
            fs::remove_all(set);
            fs::remove_all(victim);
            fs::remove_all(out);
            fs::remove_all(dir / "moved");
        }
    }
}

// Below the destination a folder that is a link is never written through.
TEST_F(RaceTest, ALinkBelowTheDestinationIsRefused) {
    WriteFile(dir / "S/zz/target.txt", "set data");
    WriteFile(dir / "V/target.txt", "victim data");
    fs::create_directories(out + "/S");
    fs::create_directory_symlink(dir / "V", out + "/S/zz");
    const auto victimBefore = Snapshot(dir / "V");
    for (const Op op : {Op::Copy, Op::Move}) {
        const RunResult result = RunOp(op, dir / "S");
        EXPECT_EQ(result.errorText, ErrorText("Error create file", out + "/S/zz/target.txt")) << Name(op);
        EXPECT_EQ(Snapshot(dir / "V"), victimBefore) << Name(op);
        EXPECT_EQ(ReadFile(dir / "S/zz/target.txt"), "set data") << Name(op);
    }
}

// After the last pass (or after the copy of a Move), before the attribute
// reset and the removal, the file's name is made to lead to a read-only
// file outside the set: its mode and bytes stay, and the file fails.
TEST_F(RaceTest, AFileSwappedBeforeItsRemovalKeepsTheOutsideFileAsItWas) {
    for (const Op op : {Op::DeleteWithPasses, Op::Move}) {
        for (const Swap kind : {Swap::Link, Swap::OtherFolder}) {  // symbolic link, hard link
            SCOPED_TRACE(testing::Message() << Name(op) << (kind == Swap::Link ? " symlink" : " hard link"));
            const std::string outside = dir / "outside.txt";
            const std::string file = dir / "S/victim.bin";
            WriteBytes(outside, 100, 'k');
            ::chmod(outside.c_str(), 0444);
            WriteBytes(file, 100, 'x');
            bool swapped = false;
            sink.onPercent = [&](int percent) {
                if (swapped || percent < 100) return;
                swapped = true;
                fs::rename(file, dir / "moved.bin");
                if (kind == Swap::Link) {
                    fs::create_symlink(outside, file);
                } else {
                    fs::create_hard_link(outside, file);
                }
            };
            const RunResult result = RunOp(op, dir / "S");
            sink.onPercent = nullptr;
            EXPECT_TRUE(swapped);
            EXPECT_EQ(result.errorText,
                      ErrorText(op == Op::Move ? "Can not delete file" : "Can not erase file", file));
            struct stat st {};
            ASSERT_EQ(::stat(outside.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0444u);
            EXPECT_EQ(ReadFile(outside), std::string(100, 'k'));
            fs::remove_all(dir / "S");
            fs::remove_all(out);
            fs::remove(outside);
            fs::remove(dir / "moved.bin");
        }
    }
}

// A scratch folder in memory where there is one: the race is about how
// files are reached, and thousands of synced passes on a disk would only
// make it slow.
class ScratchInMemory {
public:
    ScratchInMemory() {
        std::string pattern = "/dev/shm/kivo-race-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchInMemory() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    ScratchInMemory(const ScratchInMemory&) = delete;
    ScratchInMemory& operator=(const ScratchInMemory&) = delete;
    // The folder to use: in memory, or else the test's own on disk.
    std::string PathOr(const TempDir& fallback) const { return path_.empty() ? fallback.path() : path_; }

private:
    std::string path_;
};

// While Delete runs over a tree, another thread keeps renaming its folders
// away and putting links to a victim tree of the same names in their place.
// The victim tree never changes.
void RaceDeleteWithSwaps(int rounds, int folders, int filesPerFolder) {
    TempDir disk;
    ScratchInMemory memory;
    const std::string root = memory.PathOr(disk);
    const std::string set = root + "/S", victim = root + "/V";
    for (int f = 0; f < folders; ++f)
        for (int i = 0; i < filesPerFolder; ++i)
            WriteFile(victim + "/d" + std::to_string(f) + "/f" + std::to_string(i), "victim");
    const auto victimBefore = Snapshot(victim);
    for (int round = 0; round < rounds; ++round) {
        for (int f = 0; f < folders; ++f)
            for (int i = 0; i < filesPerFolder; ++i)
                WriteFile(set + "/d" + std::to_string(f) + "/f" + std::to_string(i), "set");
        std::atomic<bool> stop{false};
        std::thread racer([&] {
            unsigned n = static_cast<unsigned>(round);
            int moved = 0;
            while (!stop.load()) {
                const std::string name = "/d" + std::to_string(n++ % static_cast<unsigned>(folders));
                std::error_code error;
                fs::rename(set + name, root + "/away" + std::to_string(moved), error);
                if (error) continue;
                ++moved;
                fs::create_directory_symlink(victim + name, set + name, error);
            }
        });
        auto fileSet = MakeSet({set});
        DeleteOptions options;
        options.passesText = "1";
        CancelFlag cancel{0};
        RecordingSink sink;
        DeleteWorker(fileSet.get(), options, cancel, sink);
        stop = true;
        racer.join();
        ASSERT_EQ(Snapshot(victim), victimBefore) << "round " << round;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(root, error))
            if (entry.path().filename() != "V") fs::remove_all(entry.path(), error);
    }
}

TEST(RaceDelete, SwappedFoldersNeverLeadOutOfTheSet) { RaceDeleteWithSwaps(5, 10, 50); }

TEST(RaceDeleteSlow, SwappedFoldersNeverLeadOutOfTheSetTwoHundredTimes) {
    RaceDeleteWithSwaps(200, 20, 100);
}

// The temporary file of a copy is its owner's alone from its first byte, so
// a 0600 source is never readable by others; the copy ends with the
// source's mode.
TEST_F(RaceTest, TheTemporaryFileIsPrivateFromTheStart) {
    struct Case {
        mode_t umask;
        unsigned sourceMode;
        bool unnamed;
    };
    for (const Case c : {Case{022, 0600, true}, Case{0, 0600, true}, Case{0, 0644, true},
                         Case{022, 0600, false}, Case{0, 0600, false}}) {
        SCOPED_TRACE(testing::Message() << "umask " << c.umask << " mode " << c.sourceMode
                                        << (c.unnamed ? " unnamed" : " named"));
        const mode_t oldMask = ::umask(c.umask);
        RefuseUnnamedTempForTesting(!c.unnamed);
        const std::string source = dir / "S/secret.key";
        // Several kernel copy calls of at most 2 MiB, or many transfers.
        WriteBytes(source, 5 * 1024 * 1024, 's');
        ::chmod(source.c_str(), c.sourceMode);
        unsigned writes = 0, seen = 0, open = 0;
        // At every write, whatever temporary file exists under the
        // destination, named or not, is looked at.
        faults::SetObserverForTesting([&](faults::Call call, const char* path) {
            if (call != faults::Call::Write || path == nullptr || std::string(path).rfind(out, 0) != 0) return;
            ++writes;
            std::error_code error;
            for (const auto& fd : fs::directory_iterator("/proc/self/fd", error)) {
                const std::string target = fs::read_symlink(fd.path(), error).string();
                if (error || target.rfind(out, 0) != 0) continue;
                struct stat st {};
                if (::stat(fd.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
                ++seen;
                if ((st.st_mode & 0777) == 0600) ++open;
            }
        });
        const RunResult result = RunOp(Op::Copy, dir / "S");
        faults::SetObserverForTesting(nullptr);
        RefuseUnnamedTempForTesting(false);
        ::umask(oldMask);
        EXPECT_EQ(result.end, RunEnd::Done);
        EXPECT_GE(writes, 3u);
        EXPECT_EQ(seen, writes);
        EXPECT_EQ(open, seen);
        struct stat st {};
        ASSERT_EQ(::stat((out + "/S/secret.key").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.sourceMode);
        EXPECT_TRUE(TempFilesUnder(out).empty());
        fs::remove_all(out);
        fs::remove_all(dir / "S");
    }
}

// Every pass of every file reaches the disk: three passes over ten small
// files are at least thirty data syncs. Move makes its copies durable
// before the first source goes.
TEST_F(RaceTest, SyncsAreCountedAndOrdered) {
    for (int i = 0; i < 10; ++i) WriteBytes(dir / ("S/f" + std::to_string(i)), 1000, 'x');
    std::vector<std::pair<faults::Call, std::string>> calls;
    faults::SetObserverForTesting([&](faults::Call call, const char* path) {
        calls.emplace_back(call, path == nullptr ? std::string() : std::string(path));
    });
    EXPECT_EQ(RunOp(Op::DeleteWithPasses, dir / "S").end, RunEnd::Done);
    std::size_t dataSyncs = 0;
    for (const auto& [call, path] : calls)
        if (call == faults::Call::Flush && path.rfind(dir / "S/f", 0) == 0) ++dataSyncs;
    EXPECT_GE(dataSyncs, 30u);

    calls.clear();
    for (int i = 0; i < 10; ++i) WriteBytes(dir / ("S/f" + std::to_string(i)), 1000, 'x');
    EXPECT_EQ(RunOp(Op::Move, dir / "S").end, RunEnd::Done);
    faults::SetObserverForTesting(nullptr);
    std::size_t firstSync = calls.size(), firstRemoval = calls.size();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].first == faults::Call::Sync && firstSync == calls.size()) firstSync = i;
        if (calls[i].first == faults::Call::Delete && calls[i].second.rfind(dir / "S/f", 0) == 0 &&
            firstRemoval == calls.size())
            firstRemoval = i;
    }
    ASSERT_LT(firstRemoval, calls.size());
    EXPECT_LT(firstSync, firstRemoval);
    EXPECT_EQ(ReadFile(out + "/S/f9"), std::string(1000, 'x'));
}

// A failed sync of the destination keeps every source: both copies stay.
TEST_F(RaceTest, AMoveWhoseCopiesCannotBeSyncedKeepsItsSources) {
    for (int i = 0; i < 3; ++i) WriteFile(dir / ("S/f" + std::to_string(i)), "data");
    faults::Arm(faults::Call::Sync, EIO, 1, 0);
    const RunResult result = RunOp(Op::Move, dir / "S");
    EXPECT_EQ(result.errorText, ErrorText("Error writting file", out));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadFile(dir / ("S/f" + std::to_string(i))), "data");
        EXPECT_EQ(ReadFile(out + "/S/f" + std::to_string(i)), "data");
    }
}

// A set entry that is gone is named; a file whose destination is itself
// is named too.
TEST_F(RaceTest, SkippedEntriesAndFilesAreNamed) {
    WriteFile(dir / "S/a.txt", "a");
    auto set = MakeSet({dir / "missing", dir / "S"});
    CopyOptions options;
    options.destinationFolder = dir.path();  // S/a.txt onto itself
    options.overwriteMode = 0;
    const RunResult result = CopyWorker(set.get(), options, cancel, sink);
    EXPECT_EQ(result.end, RunEnd::Done);
    EXPECT_EQ(sink.notices,
              (std::vector<std::string>{"Not found, skipped: " + (dir / "missing"),
                                        "Skipped " + (dir / "S/a.txt") + ": its destination " +
                                            (dir / "S/a.txt") + " is a file of this run"}));
    EXPECT_EQ(ReadFile(dir / "S/a.txt"), "a");
}

}  // namespace
}  // namespace kivo::test
