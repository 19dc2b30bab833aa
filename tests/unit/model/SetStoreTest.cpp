#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "AllocationProbe.h"
#include "TempFolder.h"
#include "model/Archive.h"
#include "model/SetList.h"
#include "platform/Attributes.h"
#include "platform/Faults.h"

namespace kivo {
namespace {

using testing::Bytes;

std::unique_ptr<FileSet> MakeSet(const std::string& name,
                                 std::vector<std::pair<std::string, std::vector<std::string>>> entries) {
    auto set = std::make_unique<FileSet>();
    set->name = name;
    for (auto& [path, patterns] : entries) {
        auto entry = std::make_unique<SetEntry>();
        entry->path = path;
        entry->patterns = patterns;
        set->entries.push_back(std::move(entry));
    }
    return set;
}

// One set named A with the folder entry D:\X, no patterns, sub-folders on,
// filter mode 1: the 25 bytes every reader of the format knows.
const std::string kOneSetStore =
    Bytes({0x01, 0x00, 0x00, 0x00, 0x01, 0x41, 0x01, 0x00, 0x00, 0x00, 0x04, 0x44, 0x3A,
           0x5C, 0x58, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});

TEST(SetStoreTest, WritesTheWorkedExampleExactly) {
    SetList list;
    list.sets.push_back(MakeSet("A", {{"D:\\X", {}}}));
    EXPECT_EQ(list.SaveToBytes(), kOneSetStore);
    EXPECT_EQ(SetList().SaveToBytes(), Bytes({0, 0, 0, 0}));
}

TEST(SetStoreTest, ReadsTheWorkedExample) {
    SetList list;
    // D:\X is no full path here: the entry is kept, and the store is
    // damaged for it.
    const StoreRead read = list.LoadFromBytes(kOneSetStore);
    EXPECT_EQ(read.state, StoreState::Damaged);
    EXPECT_EQ(read.records, 1u);
    ASSERT_EQ(list.sets.size(), 1u);
    const FileSet& set = *list.sets[0];
    EXPECT_EQ(set.name, "A");
    ASSERT_EQ(set.entries.size(), 1u);
    EXPECT_EQ(set.entries[0]->path, "D:\\X");
    EXPECT_TRUE(set.entries[0]->patterns.empty());
    EXPECT_EQ(set.entries[0]->includeSubfolders, 1);
    EXPECT_EQ(set.entries[0]->filterMode, 1);
}

TEST(SetStoreTest, RoundTripKeepsEveryField) {
    SetList list;
    list.sets.push_back(MakeSet("Docs", {{"/home/u/docs", {"*.html", "*.gif"}}, {"/etc/hosts", {}}}));
    list.sets[0]->entries[0]->includeSubfolders = 0;
    list.sets[0]->entries[0]->filterMode = 0;
    list.sets.push_back(MakeSet(std::string(300, 'n'), {}));
    list.sets.push_back(MakeSet("docs", {{"", {""}}}));
    list.sets[2]->entries[0]->filterMode = -7;

    SetList back;
    ASSERT_TRUE(back.LoadFromBytes(list.SaveToBytes()));
    EXPECT_EQ(back.SaveToBytes(), list.SaveToBytes());
    ASSERT_EQ(back.sets.size(), 3u);
    EXPECT_EQ(back.sets[0]->entries[0]->patterns, (std::vector<std::string>{"*.html", "*.gif"}));
    EXPECT_EQ(back.sets[0]->entries[0]->includeSubfolders, 0);
    EXPECT_EQ(back.sets[0]->entries[0]->filterMode, 0);
    EXPECT_EQ(back.sets[1]->name, std::string(300, 'n'));
    EXPECT_TRUE(back.sets[1]->entries.empty());
    EXPECT_EQ(back.sets[2]->entries[0]->filterMode, -7);
}

TEST(SetStoreTest, PatternListOfFFFFUsesLongCount) {
    auto set = MakeSet("P", {{"/p", std::vector<std::string>(0xFFFF, "a")}});
    const std::string bytes = SetStoreBytes({set.get()});
    // count 1, name, entry count 1, path "/p", then the pattern count.
    const std::size_t countAt = 4 + 2 + 4 + 3;
    EXPECT_EQ(bytes.substr(countAt, 6), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    SetList back;
    ASSERT_TRUE(back.LoadFromBytes(bytes));
    EXPECT_EQ(back.sets[0]->entries[0]->patterns.size(), 0xFFFFu);
}

TEST(SetStoreTest, CutInsideTheSecondSetKeepsOnlyTheFirst) {
    SetList list;
    list.sets.push_back(MakeSet("First", {{"/a", {"*.txt"}}}));
    list.sets.push_back(MakeSet("Second", {{"/b", {"*.doc", "*.xls"}}, {"/c", {}}}));
    const std::string whole = list.SaveToBytes();
    const std::size_t firstEnds = SetStoreBytes({list.sets[0].get()}).size();

    for (std::size_t cut = firstEnds; cut < whole.size(); ++cut) {
        SetList partial;
        EXPECT_FALSE(partial.LoadFromBytes(whole.substr(0, cut))) << cut;
        ASSERT_EQ(partial.sets.size(), 1u) << cut;
        EXPECT_EQ(partial.sets[0]->name, "First");
        // The next save writes the one set that was loaded.
        EXPECT_EQ(partial.SaveToBytes(), SetStoreBytes({list.sets[0].get()}));
    }
    for (std::size_t cut = 0; cut < firstEnds; ++cut) {
        SetList partial;
        partial.LoadFromBytes(whole.substr(0, cut));
        EXPECT_TRUE(partial.sets.empty()) << cut;
    }
}

TEST(SetStoreTest, LoadAppendsToWhatIsThere) {
    SetList list;
    list.sets.push_back(MakeSet("Mine", {}));
    ASSERT_EQ(list.LoadFromBytes(kOneSetStore).records, 1u);
    ASSERT_EQ(list.sets.size(), 2u);
    EXPECT_EQ(list.sets[0]->name, "Mine");
    EXPECT_EQ(list.sets[1]->name, "A");
}

TEST(SetStoreTest, DamagedCountsDoNotGrowMemory) {
    // Two billion sets announced, one present.
    std::string manySets = kOneSetStore;
    manySets.replace(0, 4, Bytes({0x00, 0x94, 0x35, 0x77}));
    // A pattern count of 0xFFFFFFFF with two patterns present.
    std::string manyPatterns = Bytes({0x01, 0, 0, 0, 0x01, 'P', 0x01, 0, 0, 0, 0x01, 'x', 0xFF,
                                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 'a', 0x01, 'b'});
    // Two billion entries announced.
    std::string manyEntries = Bytes({0x01, 0, 0, 0, 0x01, 'E', 0x00, 0x94, 0x35, 0x77});
    // A negative set count announces nothing.
    std::string negative = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x01, 'A'});

    const struct {
        const char* what;
        const std::string& bytes;
        std::size_t sets;
    } cases[] = {{"sets", manySets, 1}, {"patterns", manyPatterns, 0}, {"entries", manyEntries, 0},
                 {"negative", negative, 0}};
    for (const auto& c : cases) {
        testing::AllocationProbe probe;
        SetList list;
        list.LoadFromBytes(c.bytes);
        EXPECT_EQ(list.sets.size(), c.sets) << c.what;
        EXPECT_LT(probe.largest(), 4096u) << c.what;
    }
}

class SetStoreFileTest : public ::testing::Test {
protected:
    testing::TempFolder folder;
    std::string path = folder.File("kivos.kvd");
    faults::Guard guard;
};

TEST_F(SetStoreFileTest, MissingFileLoadsNothing) {
    SetList list;
    EXPECT_FALSE(list.Load(path));
    EXPECT_TRUE(list.sets.empty());
}

TEST_F(SetStoreFileTest, SaveWritesExactBytesAndLeavesNoTemporaryFile) {
    SetList list;
    list.sets.push_back(MakeSet("A", {{"D:\\X", {}}}));
    ASSERT_TRUE(list.Save(path));
    EXPECT_EQ(testing::ReadBytes(path), kOneSetStore);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"kivos.kvd"});

    SetList back;
    ASSERT_EQ(back.Load(path).records, 1u);
    EXPECT_EQ(back.SaveToBytes(), kOneSetStore);
}

TEST_F(SetStoreFileTest, FailedSaveLeavesTheOldStoreWhole) {
    SetList old;
    old.sets.push_back(MakeSet("A", {{"D:\\X", {}}}));
    ASSERT_TRUE(old.Save(path));

    SetList bigger;
    for (int i = 0; i < 40; ++i) {
        bigger.sets.push_back(MakeSet(std::string(250, 'b'), {{std::string(250, 'q'), {}}}));
    }
    const struct {
        const char* what;
        faults::Call call;
        unsigned nth;
    } cases[] = {
        {"temporary file cannot be created", faults::Call::Open, 1},
        {"first write", faults::Call::Write, 1},
        {"write half-way", faults::Call::Write, 3},
        {"flush to disk", faults::Call::Flush, 1},
        {"rename", faults::Call::Rename, 1},
        {"permissions", faults::Call::SetAttributes, 1},
    };
    for (const auto& c : cases) {
        faults::Reset();
        faults::Arm(c.call, ENOSPC, c.nth);
        EXPECT_FALSE(bigger.Save(path)) << c.what;
        EXPECT_GE(faults::FiredCount(), 1u) << c.what;
        EXPECT_EQ(testing::ReadBytes(path), kOneSetStore) << c.what;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"kivos.kvd"}) << c.what;
    }
    faults::Reset();
    EXPECT_TRUE(bigger.Save(path));
    EXPECT_EQ(testing::ReadBytes(path), bigger.SaveToBytes());
}

TEST_F(SetStoreFileTest, ReadFailureKeepsTheSetsReadBefore) {
    SetList list;
    for (int i = 0; i < 30; ++i) {
        list.sets.push_back(MakeSet(std::string(251, static_cast<char>('a' + i % 26)), {}));
    }
    ASSERT_TRUE(list.Save(path));
    // The first 4096-byte block holds the 4-byte count and 15 complete sets
    // of 256 bytes each; the second read fails.
    faults::Arm(faults::Call::Read, EIO, 2, 1, "kivos.kvd");
    SetList back;
    EXPECT_FALSE(back.Load(path));
    EXPECT_EQ(back.sets.size(), 15u);
}

TEST_F(SetStoreFileTest, ReadOnlyStoreIsNotReplaced) {
    SetList old;
    old.sets.push_back(MakeSet("A", {{"D:\\X", {}}}));
    ASSERT_TRUE(old.Save(path));
    ASSERT_TRUE(SetAttributes(path, ATTR_READONLY));
    SetList other;
    EXPECT_FALSE(other.Save(path));
    EXPECT_EQ(testing::ReadBytes(path), kOneSetStore);
}

TEST_F(SetStoreFileTest, SaveKeepsTheStoresLinkAndPermissions) {
    // The store lives elsewhere and the data folder only links to it, as a
    // user syncing it would set up; the old store was made private.
    testing::TempFolder elsewhere;
    const std::string target = elsewhere.File("kivos.kvd");
    SetList old;
    old.sets.push_back(MakeSet("Old", {}));
    ASSERT_TRUE(old.Save(target));
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);

    SetList list;
    list.sets.push_back(MakeSet("A", {{"D:\\X", {}}}));
    ASSERT_TRUE(list.Save(path));
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(testing::ReadBytes(target), kOneSetStore);
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(elsewhere.Names(), std::vector<std::string>{"kivos.kvd"});
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"kivos.kvd"});
}

TEST_F(SetStoreFileTest, StoresAreReadableByTheirOwnerAlone) {
    // The binding store holds passwords as plain text; both stores are
    // written the same way. 0 stands for no store yet.
    const struct {
        unsigned before;
        unsigned after;
    } cases[] = {{0, 0600}, {0644, 0600}, {0666, 0600}, {0750, 0700}, {0600, 0600}};
    for (const auto& c : cases) {
        std::remove(path.c_str());
        if (c.before != 0) {
            testing::WriteBytes(path, kOneSetStore);
            ASSERT_EQ(::chmod(path.c_str(), c.before), 0);
        }
        SetList list;
        list.sets.push_back(MakeSet("A", {{"D:\\X", {}}}));
        ASSERT_TRUE(list.Save(path)) << std::oct << c.before;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << c.before;
    }
}

TEST(SetEntryTest, CloneCopiesEveryStoredField) {
    SetEntry entry;
    entry.path = "/data";
    entry.patterns = {"*.c", "*.h"};
    entry.includeSubfolders = 0;
    entry.filterMode = 0;
    const auto copy = entry.Clone();
    entry.patterns.clear();
    EXPECT_EQ(copy->path, "/data");
    EXPECT_EQ(copy->patterns, (std::vector<std::string>{"*.c", "*.h"}));
    EXPECT_EQ(copy->includeSubfolders, 0);
    EXPECT_EQ(copy->filterMode, 0);
}

}  // namespace
}  // namespace kivo
