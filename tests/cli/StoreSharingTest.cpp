// The two stores as something several programs share: who may read them,
// and what concurrent writers leave behind.
#include <sys/stat.h>

#include <memory>

#include "CliFixture.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Stores.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"

namespace kivo::clitest {
namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

class StoreSharing : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("secret", "s3cret\n");
    }
};

TEST_F(StoreSharing, TheDataFolderAndBothStoresAreTheOwnersAlone) {
    CliOk({"set-add", "Docs", At("docs")});
    CliOk({"bind", "zip", "Docs", At("z"), "--name", "b", "--password-file", At("secret")});
    EXPECT_EQ(ModeOf(DataDir()), 0700u);
    EXPECT_EQ(ModeOf(SetStore()), 0600u);
    EXPECT_EQ(ModeOf(BindingStore()), 0600u);

    // A store left readable by an older version is closed at its next save.
    ASSERT_EQ(::chmod(BindingStore().c_str(), 0644), 0);
    CliOk({"bind", "delete", "Docs"});
    EXPECT_EQ(ModeOf(BindingStore()), 0600u);
}

// Each command is a change of what is on disk when it runs: none undoes
// another's, however they overlap.
TEST_F(StoreSharing, ConcurrentCommandsKeepEveryChange) {
    const auto startAll = [this](int count, auto argsOf) {
        std::vector<std::unique_ptr<CliProcess>> running;
        for (int i = 0; i < count; ++i) {
            std::vector<std::string> args = {"--data-dir", DataDir(), "-q"};
            for (const std::string& arg : argsOf(i)) args.push_back(arg);
            running.push_back(std::make_unique<CliProcess>(scratch_, args));
        }
        for (int i = 0; i < count; ++i) {
            const CliResult result = running[i]->Wait();
            EXPECT_EQ(result.status, 0) << i << ": " << result.err;
        }
    };
    startAll(40, [this](int i) {
        return std::vector<std::string>{"set-add", "Set" + std::to_string(i), At("docs")};
    });
    SetList sets;
    sets.LoadFromBytes(ReadBytes(SetStore()));
    EXPECT_EQ(sets.sets.size(), 40u);

    startAll(20, [this](int i) {
        return std::vector<std::string>{"bind", "copy", "Set" + std::to_string(i),
                                        At("out" + std::to_string(i))};
    });
    OperationList operations;
    operations.LoadFromBytes(ReadBytes(BindingStore()));
    EXPECT_EQ(operations.operations.size(), 20u);
}

TEST_F(StoreSharing, AWriterThatCannotGetTheLockChangesNothing) {
    using namespace std::chrono_literals;
    CliOk({"set-add", "Docs", At("docs")});
    const std::string before = ReadBytes(SetStore());
    FileLock otherProgram;
    ASSERT_EQ(otherProgram.Acquire(StoreLockPath(DataDir()), 0ms), LockState::Held);

    cli::Context context;
    context.dataFolder = DataDir();
    SetStoreLockWait(200ms);
    bool changed = false;
    ::testing::internal::CaptureStderr();
    const int status = cli::ChangeStores(context, [&](StoreSnapshot& stores) {
        changed = true;
        stores.sets.sets.clear();
        stores.setsChanged = true;
    });
    const std::string message = ::testing::internal::GetCapturedStderr();
    SetStoreLockWait(10s);

    EXPECT_EQ(status, cli::kExitFailed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(message, "kivo-cli: another program has been changing the stores in " + DataDir() +
                           " for more than 200 milliseconds; nothing was changed, try again later\n");
    EXPECT_EQ(ReadBytes(SetStore()), before);
}

// `run` holds the lock only to read the stores and to record the run.
class RunLock : public StoreSharing {
protected:
    void SetUp() override {
        StoreSharing::SetUp();
        CliOk({"set-add", "Docs", At("docs")});
        CliOk({"bind", "copy", "Docs", At("dest")});
        context_.dataFolder = DataDir();
        context_.quiet = true;
        SetStoreLockWait(std::chrono::milliseconds(200));
    }
    void TearDown() override {
        SetStoreLockWait(std::chrono::seconds(10));
        cli::SetBeforeRecordingHook(nullptr);
        StoreSharing::TearDown();
    }
    int Run(cli::CommandFunction command, const std::vector<std::string>& args, std::string& err) {
        ::testing::internal::CaptureStderr();
        const int status = command(context_, args);
        err = ::testing::internal::GetCapturedStderr();
        return status;
    }
    cli::Context context_;
};

TEST_F(RunLock, ALockHeldAtTheStartRunsNothing) {
    const std::string bindings = ReadBytes(BindingStore());
    FileLock otherProgram;
    ASSERT_EQ(otherProgram.Acquire(StoreLockPath(DataDir()), std::chrono::milliseconds(0)),
              LockState::Held);
    std::string err;
    EXPECT_EQ(Run(cli::CommandRun, {"copy:Docs"}, err), cli::kExitFailed);
    EXPECT_EQ(err, "kivo-cli: another program has been changing the stores in " + DataDir() +
                       " for more than 200 milliseconds; nothing was run, try again later\n");
    EXPECT_TRUE(fs::is_empty(At("dest")));
    EXPECT_EQ(ReadBytes(BindingStore()), bindings);

    // Nor does a bind make its folder before it has the lock.
    EXPECT_EQ(Run(cli::CommandBind, {"copy", "Docs", At("new/dest")}, err), cli::kExitFailed);
    EXPECT_FALSE(fs::exists(At("new")));
    EXPECT_EQ(ReadBytes(BindingStore()), bindings);
}

TEST_F(RunLock, ALockHeldAtRecordingSaysTheRunCompleted) {
    const std::string bindings = ReadBytes(BindingStore());
    FileLock otherProgram;
    cli::SetBeforeRecordingHook([&] {
        // The run is over and the lock it read under was let go.
        EXPECT_EQ(ReadBytes(At("dest/docs/a.txt")), "alpha");
        ASSERT_EQ(otherProgram.Acquire(StoreLockPath(DataDir()), std::chrono::milliseconds(0)),
                  LockState::Held);
    });
    std::string err;
    EXPECT_EQ(Run(cli::CommandRun, {"copy:Docs"}, err), cli::kExitFailed);
    EXPECT_EQ(err, "The run completed; its last run was not recorded: another program has been "
                   "changing the stores in " +
                       DataDir() + " for more than 200 milliseconds.\n");
    EXPECT_EQ(ReadBytes(BindingStore()), bindings);

    otherProgram.Release();
    cli::SetBeforeRecordingHook(nullptr);
    EXPECT_EQ(Run(cli::CommandRun, {"copy:Docs"}, err), cli::kExitOk);
    EXPECT_NE(ReadBytes(BindingStore()), bindings);
}

}  // namespace
}  // namespace kivo::clitest
