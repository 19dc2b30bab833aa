#include "model/StoreChange.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "platform/Faults.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

using namespace std::chrono_literals;

bool AddSet(StoreSnapshot& stores, const std::string& name) {
    auto set = std::make_unique<FileSet>();
    set->name = name;
    stores.sets.sets.push_back(std::move(set));
    stores.setsChanged = true;
    return true;
}

class StoreChangeTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetStoreLockWait(10s);
        faults::Reset();
    }
    testing::TempFolder folder;
};

TEST_F(StoreChangeTest, ConcurrentWritersLoseNoChange) {
    std::vector<std::thread> writers;
    for (int w = 0; w < 8; ++w) {
        writers.emplace_back([this, w] {
            for (int i = 0; i < 5; ++i) {
                const auto result = ChangeStores(folder.path(), [&](StoreSnapshot& stores) {
                    return AddSet(stores, std::to_string(w) + "-" + std::to_string(i));
                });
                EXPECT_EQ(result.end, ChangeEnd::Written);
            }
        });
    }
    for (auto& writer : writers) writer.join();
    SetList stored;
    EXPECT_TRUE(stored.Load(SetStorePath(folder.path())));
    EXPECT_EQ(stored.sets.size(), 40u);

    // The lock file stays, private, for the next writer.
    struct stat st {};
    ASSERT_EQ(::stat(StoreLockPath(folder.path()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(StoreChangeTest, ChangeSeesWhatIsOnDiskNowAndWritesOnlyWhatItMarked) {
    ASSERT_EQ(ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "A"); }).end,
              ChangeEnd::Written);
    // Another program replaces the store behind our back.
    SetList other;
    other.LoadFromBytes(testing::ReadBytes(SetStorePath(folder.path())));
    other.sets.push_back(std::make_unique<FileSet>());
    other.sets.back()->name = "B";
    ASSERT_TRUE(other.Save(SetStorePath(folder.path())));

    const auto result = ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "C"); });
    ASSERT_EQ(result.end, ChangeEnd::Written);
    ASSERT_EQ(result.stores.sets.sets.size(), 3u);
    EXPECT_EQ(result.stores.sets.sets[1]->name, "B");
    EXPECT_EQ(result.setStamp, StampOf(SetStorePath(folder.path())));
    EXPECT_FALSE(result.bindingStamp.exists);  // never marked, never written

    const std::string before = testing::ReadBytes(SetStorePath(folder.path()));
    EXPECT_EQ(ChangeStores(folder.path(), [](StoreSnapshot& s) { return !AddSet(s, "D"); }).end,
              ChangeEnd::Declined);
    EXPECT_THROW(ChangeStores(folder.path(),
                              [](StoreSnapshot& s) -> bool {
                                  AddSet(s, "E");
                                  throw std::runtime_error("refused");
                              }),
                 std::runtime_error);
    EXPECT_EQ(testing::ReadBytes(SetStorePath(folder.path())), before);
    // The throwing change released the lock.
    EXPECT_EQ(ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "F"); }).end,
              ChangeEnd::Written);
}

TEST_F(StoreChangeTest, LockTroublesDecideWhetherTheChangeIsMade) {
    const struct {
        const char* what;
        bool heldElsewhere;
        int lockError;
        ChangeEnd end;
    } cases[] = {
        {"held past the wait", true, 0, ChangeEnd::LockTimedOut},
        {"file system without locks (ENOLCK)", false, ENOLCK, ChangeEnd::Written},
        {"file system without locks (EOPNOTSUPP)", false, EOPNOTSUPP, ChangeEnd::Written},
        {"lock call fails otherwise", false, EIO, ChangeEnd::LockFailed},
    };
    SetStoreLockWait(300ms);
    for (const auto& c : cases) {
        std::remove(SetStorePath(folder.path()).c_str());
        faults::Reset();
        FileLock other;
        if (c.heldElsewhere) {
            ASSERT_EQ(other.Acquire(StoreLockPath(folder.path()), 0ms), LockState::Held);
        }
        if (c.lockError != 0) faults::Arm(faults::Call::Lock, c.lockError);
        bool called = false;
        const auto result = ChangeStores(folder.path(), [&](StoreSnapshot& s) {
            called = true;
            return AddSet(s, "A");
        });
        EXPECT_EQ(result.end, c.end) << c.what;
        EXPECT_EQ(called, c.end == ChangeEnd::Written) << c.what;
        EXPECT_EQ(PathExists(SetStorePath(folder.path())), c.end == ChangeEnd::Written) << c.what;
    }
}

TEST_F(StoreChangeTest, AFailedSaveIsReportedWithTheStore) {
    faults::Arm(faults::Call::Rename, ENOSPC, 1, 1, "kvbind.kvb");
    const auto result = ChangeStores(folder.path(), [](StoreSnapshot& s) {
        s.operations.operations.push_back(std::make_unique<Operation>());
        s.operationsChanged = true;
        return AddSet(s, "A");
    });
    EXPECT_EQ(result.end, ChangeEnd::SaveFailed);
    EXPECT_EQ(result.failedStore, BindingStorePath(folder.path()));
    EXPECT_TRUE(PathExists(SetStorePath(folder.path())));  // the set store went first
}

TEST(FindSavedOperationTest, MatchesAllButTheLastRunAndPrefersTheRememberedRow) {
    Operations operations;
    for (const char* set : {"A", "B", "A"}) {
        operations.push_back(std::make_unique<Operation>());
        operations.back()->setName = set;
        operations.back()->destination = "/d";
    }
    operations[2]->lastRun = 77;  // recorded by another program meanwhile
    Operation remembered = *operations[0];
    const struct {
        std::size_t rememberedIndex;
        const char* destination;
        std::size_t found;
    } cases[] = {
        {2, "/d", 2},                  // the remembered row, although its last run changed
        {1, "/d", 0},                  // rows moved: the first equal record
        {9, "/d", 0},                  // rows removed above it
        {0, "/e", std::string::npos},  // changed elsewhere
    };
    for (const auto& c : cases) {
        remembered.destination = c.destination;
        EXPECT_EQ(FindSavedOperation(operations, remembered, c.rememberedIndex), c.found)
            << c.rememberedIndex << c.destination;
    }
}

}  // namespace
}  // namespace kivo
