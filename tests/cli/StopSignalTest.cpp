// SIGTERM and SIGHUP (what `systemctl stop`, `timeout` and a closed
// terminal send) stop a run of a real kivo-cli as Ctrl+C does: the process
// cleans up and exits 128 + the signal, and leaves no temporary and no
// incomplete file under a final name. Under `nohup` SIGHUP is ignored.
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <thread>

#include "CliFixture.h"

namespace kivo::clitest {
namespace {

constexpr int kFiles = 3;
constexpr std::size_t kMegabytes = 32;

// Data that does not compress, so that zip and unzip take long enough to
// be caught at work.
void WriteNoise(const std::string& path, std::uint64_t seed) {
    std::vector<std::uint64_t> block((1 << 20) / sizeof(std::uint64_t));
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    std::ofstream out(path, std::ios::binary);
    for (std::size_t m = 0; m < kMegabytes; ++m) {
        for (auto& word : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            word = x;
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * sizeof(std::uint64_t)));
    }
}

// True once the process has a file open below `prefix` (named or not: an
// unnamed temporary shows as "FOLDER/#INODE (deleted)").
bool HasFileOpenBelow(pid_t pid, const std::string& prefix) {
    std::error_code error;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (!linkError && target.string().rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Names below `folder` that only a run at work makes: copy temporaries and
// the archive writer's hidden sibling.
std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(".kvt-", 0) == 0 || name.rfind(".a.zip.", 0) == 0) found.push_back(name);
    }
    return found;
}

class StopSignals : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        fs::create_directories(At("big"));
        for (int i = 0; i < kFiles; ++i) WriteNoise(Source(i), static_cast<std::uint64_t>(i + 1));
        CliOk({"set-add", "Big", At("big")});
    }
    std::string Source(int i) const { return At("big/f" + std::to_string(i)); }

    // Starts kivo-cli, waits until it has a file open below `busy`, sends
    // `signal` and waits for its end.
    CliResult StopWhileBusy(const std::vector<std::string>& args, const std::string& busy,
                            int signal, const CliOptions& options = {}) {
        std::vector<std::string> all = {"--data-dir", DataDir(), "-q"};
        all.insert(all.end(), args.begin(), args.end());
        CliProcess process(scratch_, all, options);
        bool working = false;
        while (!working && !process.HasExited()) {
            working = HasFileOpenBelow(process.pid(), busy);
            if (!working) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(working) << args[0] << " ended before it could be stopped";
        process.Signal(signal);
        return process.Wait();
    }

    // Every file below `folder` is one of the sources, whole.
    void ExpectOnlyWholeCopies(const std::string& folder, const std::string& what) {
        for (const auto& item : fs::recursive_directory_iterator(folder)) {
            if (!item.is_regular_file()) continue;
            const std::string name = item.path().filename().string();
            EXPECT_EQ(ReadBytes(item.path().string()), ReadBytes(Original(name))) << what << " " << name;
        }
    }
    std::string Original(const std::string& name) const { return At("orig/" + name); }
    void KeepOriginals() {
        fs::create_directories(At("orig"));
        for (int i = 0; i < kFiles; ++i) fs::copy_file(Source(i), At("orig/f" + std::to_string(i)));
    }
};

TEST_F(StopSignals, TermAndHupStopEveryRunCleanly) {
    KeepOriginals();
    CliOk({"zip", "Big", At("whole.zip")});
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string busy;  // a file open below it shows the run at work
        std::function<void(const std::string&)> check;
    } runs[] = {
        {"copy", {"copy", "Big", At("dest")}, At("dest"),
         [this](const std::string& what) {
             ExpectOnlyWholeCopies(At("dest"), what);
             ExpectOnlyWholeCopies(At("big"), what);
         }},
        {"move", {"move", "Big", At("dest")}, At("dest"),
         [this](const std::string& what) {
             ExpectOnlyWholeCopies(At("dest"), what);
             ExpectOnlyWholeCopies(At("big"), what);
             // Each file is somewhere, whole.
             for (int i = 0; i < kFiles; ++i) {
                 const std::string name = "f" + std::to_string(i);
                 EXPECT_TRUE(fs::exists(At("big/" + name)) || fs::exists(At("dest/big/" + name)))
                     << what << " " << name;
             }
         }},
        {"delete", {"delete", "Big", "--passes", "3"}, At("big"),
         [this](const std::string& what) {
             EXPECT_TRUE(fs::exists(At("big"))) << what << ": the run went to its end";
         }},
        {"zip", {"zip", "Big", At("arch/a.zip")}, At("arch"),
         [this](const std::string& what) {
             EXPECT_FALSE(fs::exists(At("arch/a.zip"))) << what;
         }},
        {"unzip", {"unzip", At("whole.zip"), At("x")}, At("x"),
         [this](const std::string& what) { ExpectOnlyWholeCopies(At("x"), what); }},
    };
    for (const int signal : {SIGTERM, SIGHUP}) {
        for (const auto& run : runs) {
            const std::string what = std::string(run.what) + " " + strsignal(signal);
            fs::create_directories(At("arch"));
            const CliResult result = StopWhileBusy(run.args, run.busy, signal);
            EXPECT_EQ(result.status, 128 + signal) << what << "\n" << result.err;
            EXPECT_FALSE(result.signalled) << what << ": killed, not stopped";
            EXPECT_EQ(result.err, "") << what;
            run.check(what);
            EXPECT_EQ(Temporaries(root_.string()), std::vector<std::string>()) << what;

            // Back to the start for the next run.
            for (const char* folder : {"dest", "x", "arch"}) fs::remove_all(At(folder));
            fs::remove_all(At("big"));
            fs::create_directories(At("big"));
            for (int i = 0; i < kFiles; ++i) {
                fs::copy_file(Original("f" + std::to_string(i)), Source(i));
            }
        }
    }
}

TEST_F(StopSignals, UnderNohupAHangUpDoesNotStopTheRun) {
    CliOptions nohup;
    nohup.ignoredSignals = {SIGHUP};
    const CliResult result = StopWhileBusy({"copy", "Big", At("dest")}, At("dest"), SIGHUP, nohup);
    EXPECT_EQ(result.status, 0) << result.err;
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_EQ(ReadBytes(At("dest/big/f" + std::to_string(i))), ReadBytes(Source(i))) << i;
    }
}

}  // namespace
}  // namespace kivo::clitest
