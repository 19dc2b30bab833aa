// Stores that are damaged, and changes of both stores that fail halfway:
// nothing a user built is lost, and kivo-cli says what it found.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CliFixture.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "model/Archive.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "model/StoreChange.h"
#include "platform/Faults.h"

namespace kivo::clitest {
namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

// The path after "copied to " in a warning, up to the end of its line.
std::string CopyNamedIn(const std::string& err) {
    const std::string marker = "copied to ";
    const std::size_t at = err.find(marker);
    if (at == std::string::npos) return std::string();
    const std::size_t begin = at + marker.size();
    return err.substr(begin, err.find('\n', begin) - begin);
}

class DamagedStores : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        for (const char* name : {"A", "B", "C", "D"}) {
            CliOk({"set-add", name, At("docs")});
            CliOk({"bind", "copy", name, At(std::string("out") + name)});
        }
    }

    std::vector<std::string> SetNames() const {
        SetList sets;
        sets.LoadFromBytes(ReadBytes(SetStore()));
        std::vector<std::string> names;
        for (const auto& set : sets.sets) names.push_back(set->name);
        return names;
    }
    std::vector<std::string> OperationSets() const {
        OperationList operations;
        operations.LoadFromBytes(ReadBytes(BindingStore()));
        std::vector<std::string> names;
        for (const auto& operation : operations.operations) names.push_back(operation->setName);
        return names;
    }
};

std::string WithCount(std::string bytes, std::uint32_t count) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    return bytes;
}

TEST_F(DamagedStores, ShowingWarnsAndFailsTheNextChangeKeepsACopyAndLosesNothingReadable) {
    const std::string sets = ReadBytes(SetStore());
    const std::string bindings = ReadBytes(BindingStore());
    const std::size_t lastSet = sets.size() - (1 + 1 + 4 + 1 + At("docs").size() + 2 + 8);
    const std::size_t lastOperation = bindings.size() - (4 + 2 + 1 + At("outD").size() + 8 + 2 + 16);
    ASSERT_EQ(WithCount(sets.substr(0, lastSet), 3), WithCount(sets, 3).substr(0, lastSet));
    const struct {
        const char* what;
        bool setStore;
        std::string bytes;
        std::size_t readable;
    } cases[] = {
        {"set store cut after a record", true, sets.substr(0, lastSet), 3},
        {"set store cut inside a record", true, sets.substr(0, sets.size() - 10), 3},
        {"set store with trailing bytes", true, sets + "xyz", 4},
        {"set store with a huge count", true, WithCount(sets, 0x10000000), 4},
        {"binding store cut after a record", false, bindings.substr(0, lastOperation), 3},
        {"binding store cut inside a record", false, bindings.substr(0, bindings.size() - 10), 3},
        {"binding store with trailing bytes", false, bindings + "\x01", 4},
        {"binding store with a huge count", false, WithCount(bindings, 0x7FFFFFFF), 4},
    };
    const std::vector<std::string> all = {"A", "B", "C", "D"};
    for (const auto& c : cases) {
        WriteFile("data/kivos.kvd", sets);
        WriteFile("data/kvbind.kvb", bindings);
        const std::string store = c.setStore ? SetStore() : BindingStore();
        WriteFile(c.setStore ? "data/kivos.kvd" : "data/kvbind.kvb", c.bytes);
        const std::string warning = "kivo-cli: " + store + " is damaged; " +
                                    std::to_string(c.readable) +
                                    (c.setStore ? " sets" : " operations") + " could be read from it";
        const std::vector<std::string> readable(all.begin(), all.begin() + c.readable);

        // Showing commands print what they read, warn and exit 1.
        const CliResult shown = Cli({c.setStore ? "sets" : "ops"});
        EXPECT_EQ(shown.status, 1) << c.what;
        EXPECT_EQ(shown.err, warning + "\n") << c.what;
        EXPECT_EQ(Lines(shown.out).size(), c.readable) << c.what;
        if (c.setStore) {
            for (const char* command : {"show", "expand"}) {
                const CliResult one = Cli({command, "A"});
                EXPECT_EQ(one.status, 1) << c.what << command;
                EXPECT_EQ(one.err, warning + "\n") << c.what << command;
                EXPECT_NE(one.out.find(At("docs")), std::string::npos) << c.what << command;
            }
        }
        // A run warns and goes on with what was read.
        const CliResult ran = c.setStore ? Cli({"copy", "A", At("ran")}) : Cli({"run", "copy:A"});
        EXPECT_EQ(ran.status, 0) << c.what << ran.err;
        EXPECT_EQ(ran.err.find(warning), 0u) << c.what << ran.err;
        std::string copy = CopyNamedIn(ran.err);  // recording the run writes the binding store

        // The next change copies the damaged file aside first.
        std::vector<std::string> kept = readable;
        if (copy.empty()) {
            kept.push_back(c.setStore ? "E" : "A");
            const CliResult changed = c.setStore ? Cli({"set-add", "E", At("docs")})
                                                 : Cli({"bind", "delete", "A"});
            EXPECT_EQ(changed.status, 0) << c.what;
            EXPECT_EQ(changed.err.find(warning + "; the damaged file was copied to "), 0u)
                << c.what << changed.err;
            copy = CopyNamedIn(changed.err);
        }
        ASSERT_FALSE(copy.empty()) << c.what;
        EXPECT_EQ(ReadBytes(copy), c.bytes) << c.what;
        EXPECT_EQ(ModeOf(copy), 0600u) << c.what;
        EXPECT_EQ(copy.rfind(store + ".damaged-", 0), 0u) << c.what << copy;
        fs::remove(copy);

        EXPECT_EQ(c.setStore ? SetNames() : OperationSets(), kept) << c.what;
        // Whole again: nothing more to say.
        EXPECT_EQ(CliOk({c.setStore ? "sets" : "ops"}).err, "") << c.what;
    }
}

TEST_F(DamagedStores, MissingAndEmptyStoresAreNoDamage) {
    for (const std::string& content : {std::string("missing"), std::string()}) {
        fs::remove(SetStore());
        fs::remove(BindingStore());
        if (content.empty()) {
            WriteFile("data/kivos.kvd", "");
            WriteFile("data/kvbind.kvb", "");
        }
        EXPECT_EQ(CliOk({"sets"}).out, "");
        EXPECT_EQ(CliOk({"ops"}).out, "");
        CliOk({"set-add", "A", At("docs")});
        CliOk({"bind", "delete", "A"});
        for (const auto& item : fs::directory_iterator(DataDir())) {
            EXPECT_EQ(item.path().filename().string().find("damaged"), std::string::npos);
        }
    }
}

// In-process, where the platform's faults can be armed.
class BothStores : public DamagedStores {
protected:
    void TearDown() override {
        faults::Reset();
        DamagedStores::TearDown();
    }
    int InProcess(cli::CommandFunction command, const std::vector<std::string>& args,
                  std::string& err) {
        cli::Context context;
        context.dataFolder = DataDir();
        context.quiet = true;
        ::testing::internal::CaptureStderr();
        const int status = command(context, args);
        err = ::testing::internal::GetCapturedStderr();
        return status;
    }
};

TEST_F(BothStores, AFailedSecondReplacementChangesNeitherStore) {
    const struct {
        const char* what;
        cli::CommandFunction command;
        std::vector<std::string> args;
    } cases[] = {
        {"set-rename", cli::CommandSetRename, {"B", "Papers"}},
        {"set-remove", cli::CommandSetRemove, {"B"}},
    };
    for (const auto& c : cases) {
        const std::string sets = ReadBytes(SetStore());
        const std::string bindings = ReadBytes(BindingStore());
        // Keeping the set store, parking the new binding store, replacing
        // the set store: the fourth name given is the binding store's.
        faults::Arm(faults::Call::Rename, ENOSPC, 4, 1, DataDir());
        std::string err;
        EXPECT_EQ(InProcess(c.command, c.args, err), cli::kExitFailed) << c.what;
        faults::Reset();
        EXPECT_EQ(err, "kivo-cli: can not write " + BindingStore() +
                           ": No space left on device; nothing was changed\n")
            << c.what;
        EXPECT_EQ(ReadBytes(SetStore()), sets) << c.what;
        EXPECT_EQ(ReadBytes(BindingStore()), bindings) << c.what;
        const CliResult ran = Cli({"run", "copy:B"});
        EXPECT_EQ(ran.status, 0) << c.what << ran.err;
        EXPECT_EQ(ReadBytes(At("outB/docs/a.txt")), "alpha") << c.what;
    }
}

TEST_F(BothStores, AChangeCutBetweenTheReplacementsIsRepairedByTheNext) {
    const std::string bindings = ReadBytes(BindingStore());
    // The binding store is not replaced and the set store is not put back
    // either: the state a writer killed between the two leaves.
    faults::Arm(faults::Call::Rename, EIO, 4, 2, DataDir());
    std::string err;
    EXPECT_EQ(InProcess(cli::CommandSetRename, {"B", "Papers"}, err), cli::kExitFailed);
    faults::Reset();
    EXPECT_NE(err.find("is put back by the next change"), std::string::npos) << err;
    EXPECT_EQ(SetNames(), (std::vector<std::string>{"A", "Papers", "C", "D"}));

    CliOk({"set-add", "E", At("docs")});
    EXPECT_EQ(SetNames(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(ReadBytes(BindingStore()), bindings);
    const CliResult ran = Cli({"run", "copy:B"});
    EXPECT_EQ(ran.status, 0) << ran.err;
}

// A writer killed while its temporaries exist, part written or whole:
// the next change, holding the lock, removes them.
TEST_F(BothStores, TemporariesOfAKilledWriterAreGoneAfterTheNextChange) {
    const auto killedWriter = [](const std::string& store, bool whole) {
        const pid_t child = fork();
        if (child == 0) {
            StoreDraft draft;
            draft.Write(store, [whole](Archive& archive) {
                if (!whole) {
                    archive.WriteI32(7);
                    archive.Flush();
                    raise(SIGKILL);
                }
                return archive.WriteI32(0);
            });
            raise(SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    };
    const auto temporaries = [this] {
        int count = 0;
        for (const auto& item : fs::directory_iterator(DataDir())) {
            const std::string name = item.path().filename().string();
            if (name.rfind(".kivos.kvd.", 0) == 0 || name.rfind(".kvbind.kvb.", 0) == 0) ++count;
        }
        return count;
    };
    for (const bool whole : {false, true}) {
        ASSERT_TRUE(killedWriter(SetStore(), whole));
        ASSERT_TRUE(killedWriter(BindingStore(), whole));
    }
    ASSERT_EQ(temporaries(), 4);
    CliOk({"set-add", "E", At("docs")});
    EXPECT_EQ(temporaries(), 0);
    EXPECT_EQ(SetNames(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
}

}  // namespace
}  // namespace kivo::clitest
