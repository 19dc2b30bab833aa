#include "model/StoreChange.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
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

// A set "Docs" with one Copy and one Zip bound to it, and a set "Other".
void WriteTwoStores(const std::string& folder) {
    const auto result = ChangeStores(folder, [](StoreSnapshot& s) {
        AddSet(s, "Docs");
        AddSet(s, "Other");
        for (int kind : {OPERATION_COPY, OPERATION_ZIP}) {
            s.operations.operations.push_back(std::make_unique<Operation>());
            s.operations.operations.back()->kind = kind;
            s.operations.operations.back()->setName = "Docs";
        }
        s.operationsChanged = true;
        return true;
    });
    ASSERT_EQ(result.end, ChangeEnd::Written);
}

bool RenameDocs(StoreSnapshot& s) {
    s.sets.sets[0]->name = "Papers";
    RenameSet(s.operations.operations, "Docs", "Papers");
    s.setsChanged = s.operationsChanged = true;
    return true;
}

bool RemoveDocs(StoreSnapshot& s) {
    s.sets.sets.erase(s.sets.sets.begin());
    RemoveSet(s.operations.operations, "Docs");
    s.setsChanged = s.operationsChanged = true;
    return true;
}

TEST_F(StoreChangeTest, AChangeOfBothStoresMakesBothOrNeither) {
    // Each name a two-store change gives, in turn, fails: keeping the set
    // store's version, parking the new binding store, replacing the set
    // store, replacing the binding store; then the writes themselves.
    const struct {
        const char* what;
        faults::Call call;
        unsigned nth;
        ChangeEnd end;
    } cases[] = {
        {"no hard link: the set store is copied instead", faults::Call::Rename, 1, ChangeEnd::Written},
        {"parking the binding store", faults::Call::Rename, 2, ChangeEnd::SaveFailed},
        {"replacing the set store", faults::Call::Rename, 3, ChangeEnd::SaveFailed},
        {"replacing the binding store", faults::Call::Rename, 4, ChangeEnd::SaveFailed},
        {"a full disk", faults::Call::Write, 1, ChangeEnd::SaveFailed},
        {"a failed flush", faults::Call::Flush, 2, ChangeEnd::SaveFailed},
    };
    const std::string setStore = SetStorePath(folder.path());
    const std::string bindingStore = BindingStorePath(folder.path());
    for (const auto& change : {RenameDocs, RemoveDocs}) {
        for (const auto& c : cases) {
            std::filesystem::remove(setStore);
            std::filesystem::remove(bindingStore);
            WriteTwoStores(folder.path());
            const std::string setsBefore = testing::ReadBytes(setStore);
            const std::string bindingsBefore = testing::ReadBytes(bindingStore);
            faults::Arm(c.call, ENOSPC, c.nth, 1, folder.path());
            const auto result = ChangeStores(folder.path(), change);
            faults::Reset();
            EXPECT_EQ(result.end, c.end) << c.what;
            SetList sets;
            OperationList operations;
            EXPECT_TRUE(sets.Load(setStore)) << c.what;
            EXPECT_TRUE(operations.Load(bindingStore)) << c.what;
            if (c.end == ChangeEnd::Written) {
                EXPECT_NE(testing::ReadBytes(setStore), setsBefore) << c.what;
                // Every operation left is bound to a set that exists.
                for (const auto& operation : operations.operations) {
                    bool found = false;
                    for (const auto& set : sets.sets) found = found || set->name == operation->setName;
                    EXPECT_TRUE(found) << c.what << ": " << operation->setName;
                }
            } else {
                EXPECT_EQ(testing::ReadBytes(setStore), setsBefore) << c.what;
                EXPECT_EQ(testing::ReadBytes(bindingStore), bindingsBefore) << c.what;
                EXPECT_EQ(result.error, ENOSPC) << c.what;
            }
            // Nothing of the change's work is left beside the stores.
            const std::vector<std::string> names = folder.Names();
            EXPECT_EQ(names.size(), 3u) << c.what;  // the two stores and the lock
        }
    }
}

TEST_F(StoreChangeTest, AWriterThatDiedBetweenTheTwoReplacementsIsUndoneByTheNext) {
    WriteTwoStores(folder.path());
    const std::string setStore = SetStorePath(folder.path());
    const std::string bindingStore = BindingStorePath(folder.path());
    const std::string setsBefore = testing::ReadBytes(setStore);
    const std::string bindingsBefore = testing::ReadBytes(bindingStore);

    // The binding store is not replaced and the set store not put back:
    // what a writer killed between the two leaves.
    faults::Arm(faults::Call::Rename, EIO, 4, 2, folder.path());
    auto result = ChangeStores(folder.path(), RenameDocs);
    faults::Reset();
    ASSERT_EQ(result.end, ChangeEnd::Unrestored);
    ASSERT_NE(testing::ReadBytes(setStore), setsBefore);
    EXPECT_EQ(testing::ReadBytes(bindingStore), bindingsBefore);
    EXPECT_TRUE(PathExists(KeptSetStorePath(setStore)));

    // A reader under the lock sees the stores as they were.
    result = ReadStores(folder.path());
    EXPECT_EQ(result.end, ChangeEnd::Declined);
    EXPECT_TRUE(result.repaired);
    ASSERT_EQ(result.stores.sets.sets.size(), 2u);
    EXPECT_EQ(result.stores.sets.sets[0]->name, "Docs");
    EXPECT_EQ(testing::ReadBytes(setStore), setsBefore);
    EXPECT_EQ(folder.Names().size(), 3u);

    // The same through the next change, which then works on what was put back.
    faults::Arm(faults::Call::Rename, EIO, 4, 2, folder.path());
    ASSERT_EQ(ChangeStores(folder.path(), RemoveDocs).end, ChangeEnd::Unrestored);
    faults::Reset();
    result = ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "New"); });
    EXPECT_EQ(result.end, ChangeEnd::Written);
    EXPECT_TRUE(result.repaired);
    ASSERT_EQ(result.stores.sets.sets.size(), 3u);
    EXPECT_EQ(result.stores.sets.sets[0]->name, "Docs");
    EXPECT_EQ(result.stores.operations.operations.size(), 2u);
    EXPECT_EQ(testing::ReadBytes(bindingStore), bindingsBefore);

    // A kept set store without a pending binding store belongs to a change
    // that completed: it is removed, never put back.
    const std::string setsNow = testing::ReadBytes(setStore);
    testing::WriteBytes(KeptSetStorePath(setStore), setsBefore);
    result = ChangeStores(folder.path(), [](StoreSnapshot&) { return false; });
    EXPECT_FALSE(result.repaired);
    EXPECT_EQ(testing::ReadBytes(setStore), setsNow);
    EXPECT_FALSE(PathExists(KeptSetStorePath(setStore)));
}

TEST_F(StoreChangeTest, ADamagedStoreIsCopiedAsideBeforeItIsWrittenOver) {
    WriteTwoStores(folder.path());
    const std::string setStore = SetStorePath(folder.path());
    const std::string whole = testing::ReadBytes(setStore);
    const std::string damaged = whole.substr(0, whole.size() - 3);  // inside "Other"
    testing::WriteBytes(setStore, damaged);

    // A change that does not write the set store copies nothing.
    auto result = ChangeStores(folder.path(), [](StoreSnapshot& s) {
        s.operations.operations.clear();
        s.operationsChanged = true;
        return true;
    });
    EXPECT_EQ(result.setStore.read.state, StoreState::Damaged);
    EXPECT_EQ(result.setStore.read.records, 1u);
    EXPECT_TRUE(result.setStore.damagedCopy.empty());
    EXPECT_EQ(testing::ReadBytes(setStore), damaged);

    // The copy can not be made: nothing is written.
    faults::Arm(faults::Call::Open, ENOSPC, 1, 1, ".damaged-");
    result = ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "New"); });
    faults::Reset();
    EXPECT_EQ(result.end, ChangeEnd::CopyFailed);
    EXPECT_EQ(testing::ReadBytes(setStore), damaged);

    // Two changes in the same second make two copies, the second never
    // replacing the first. The second change finds a whole store, so it is
    // damaged again in between; a change of second in between is retried.
    std::vector<std::string> copies;
    for (int attempt = 0; attempt < 5 && copies.size() < 2; ++attempt) {
        copies.clear();
        for (int i = 0; i < 2; ++i) {
            testing::WriteBytes(setStore, damaged);
            result = ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "New"); });
            ASSERT_EQ(result.end, ChangeEnd::Written);
            copies.push_back(result.setStore.damagedCopy);
        }
        if (copies[1] != copies[0] + "-2") {
            for (const auto& copy : copies) std::filesystem::remove(copy);
            copies.clear();
        }
    }
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(BaseName(copies[0]).substr(0, 18), "kivos.kvd.damaged-");
    EXPECT_EQ(BaseName(copies[0]).size(), 18u + 15u);  // YYYYMMDD-HHMMSS
    for (const auto& copy : copies) {
        EXPECT_EQ(testing::ReadBytes(copy), damaged) << copy;
        struct stat st {};
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << copy;
    }
    // What could be read is kept, with the change.
    ASSERT_EQ(result.stores.sets.sets.size(), 2u);
    EXPECT_EQ(result.stores.sets.sets[0]->name, "Docs");
    EXPECT_EQ(result.stores.sets.sets[1]->name, "New");
    SetList stored;
    EXPECT_EQ(stored.Load(setStore).state, StoreState::Whole);
    EXPECT_EQ(stored.sets.size(), 2u);
}

TEST_F(StoreChangeTest, TemporariesOfDeadWritersGoOnlyUnderAHeldLock) {
    const std::string dead[] = {".kivos.kvd.AbC123", ".kvbind.kvb.x9Y8z7"};
    const std::string others[] = {".kivos.kvd.AbC1234", ".kivos.kvd.kept0", ".kvbind.kvb.ab-123",
                                  "kivos.kvd.AbC123"};
    const auto plant = [&] {
        for (const auto& name : dead) testing::WriteBytes(folder.File(name), "partial");
        for (const auto& name : others) testing::WriteBytes(folder.File(name), "keep");
        std::filesystem::create_directory(folder.File(".kvbind.kvb.Dir123"));
        std::filesystem::create_symlink(folder.File("kivos.kvd.AbC123"), folder.File(".kivos.kvd.Lnk123"));
    };
    plant();
    faults::Arm(faults::Call::Lock, ENOLCK);  // no locks: another writer may be at work
    ASSERT_EQ(ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "A"); }).end,
              ChangeEnd::Written);
    faults::Reset();
    for (const auto& name : dead) EXPECT_TRUE(PathExists(folder.File(name))) << name;

    ASSERT_EQ(ChangeStores(folder.path(), [](StoreSnapshot& s) { return AddSet(s, "B"); }).end,
              ChangeEnd::Written);
    for (const auto& name : dead) EXPECT_FALSE(PathExists(folder.File(name))) << name;
    for (const auto& name : others) EXPECT_TRUE(PathExists(folder.File(name))) << name;
    EXPECT_TRUE(IsFolder(folder.File(".kvbind.kvb.Dir123")));
    EXPECT_TRUE(IsLink(folder.File(".kivos.kvd.Lnk123")));
}

TEST_F(StoreChangeTest, ADanglingStoreLinkGetsItsTargetWritten) {
    std::filesystem::create_directories(folder.File("data"));
    std::filesystem::create_directories(folder.File("synced"));
    const std::string data = folder.File("data");
    const struct {
        const char* what;
        std::string linkText;
        std::string target;
        ChangeEnd end;
    } cases[] = {
        {"absolute", folder.File("synced/sets.kvd"), folder.File("synced/sets.kvd"), ChangeEnd::Written},
        {"relative", "../synced/rel.kvd", folder.File("synced/rel.kvd"), ChangeEnd::Written},
        {"through a second link", "hop", folder.File("synced/hop.kvd"), ChangeEnd::Written},
        {"into a missing folder", "../gone/sets.kvd", folder.File("gone/sets.kvd"), ChangeEnd::SaveFailed},
    };
    std::filesystem::create_symlink("../synced/hop.kvd", folder.File("data/hop"));
    for (const auto& c : cases) {
        const std::string store = SetStorePath(data);
        std::filesystem::remove(store);
        std::filesystem::create_symlink(c.linkText, store);
        const auto result = ChangeStores(data, [](StoreSnapshot& s) { return AddSet(s, "A"); });
        EXPECT_EQ(result.end, c.end) << c.what;
        EXPECT_TRUE(IsLink(store)) << c.what;
        EXPECT_EQ(std::filesystem::read_symlink(store).string(), c.linkText) << c.what;
        SetList sets;
        EXPECT_EQ(sets.Load(store).state,
                  c.end == ChangeEnd::Written ? StoreState::Whole : StoreState::Missing)
            << c.what;
        EXPECT_EQ(PathExists(c.target), c.end == ChangeEnd::Written) << c.what;
        if (c.end == ChangeEnd::SaveFailed) {
            EXPECT_EQ(result.error, ENOENT);
            EXPECT_FALSE(PathExists(folder.File("gone")));
        }
    }
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
