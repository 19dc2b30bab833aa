#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/Faults.h"
#include "scan/ItemList.h"
#include "TempTree.h"

namespace kivo {
namespace {

class RecordingSink : public RunSink {
public:
    void SetCounter(const std::string& text) override { counters.push_back(text); }
    std::vector<std::string> counters;
};

ItemRecord MakeRecord(int i, std::size_t pathLength = 0) {
    ItemRecord r;
    r.attributes = 0x20u + static_cast<std::uint32_t>(i % 3);
    r.creationTime = 1000u + static_cast<std::uint64_t>(i);
    r.lastAccessTime = 2000u + static_cast<std::uint64_t>(i);
    r.lastWriteTime = 3000u + static_cast<std::uint64_t>(i);
    r.size = static_cast<std::uint64_t>(i) * 7;
    r.isLink = i % 5 == 0;
    r.path = "/data/dir" + std::to_string(i) + "/f" + std::to_string(i);
    if (pathLength > r.path.size()) r.path.append(pathLength - r.path.size(), 'p');
    r.relativeStart = 6;
    return r;
}

void ExpectSameRecord(const ItemRecord& a, const ItemRecord& b) {
    EXPECT_EQ(a.attributes, b.attributes);
    EXPECT_EQ(a.creationTime, b.creationTime);
    EXPECT_EQ(a.lastAccessTime, b.lastAccessTime);
    EXPECT_EQ(a.lastWriteTime, b.lastWriteTime);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.isLink, b.isLink);
    EXPECT_EQ(a.relativeStart, b.relativeStart);
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.alternateName, b.alternateName);
}

// Record sizes vary from short to PATH_MAX-long paths, so records straddle
// the internal buffer boundaries both ways.
TEST(ItemList, ReadsBackEveryRecordInOrder) {
    ItemList list;
    std::vector<ItemRecord> added;
    std::uint64_t total = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::size_t length = (i % 97 == 0) ? kMaxItemPath : static_cast<std::size_t>(i % 400);
        added.push_back(MakeRecord(i, length));
        total += added.back().size;
        ASSERT_TRUE(list.Add(added.back())) << i;
    }
    EXPECT_EQ(list.Count(), added.size());
    EXPECT_EQ(list.TotalSize(), total);

    ItemRecord read;
    for (const ItemRecord& expected : added) {
        ASSERT_TRUE(list.ReadNext(read));
        ExpectSameRecord(read, expected);
    }
    EXPECT_FALSE(list.ReadNext(read));
    EXPECT_FALSE(list.ReadNext(read));
    // Reading has begun: nothing more goes in.
    EXPECT_FALSE(list.Add(MakeRecord(1)));
    EXPECT_EQ(list.Count(), added.size());
}

TEST(ItemList, RefusesPathsItCannotHoldWhole) {
    ItemList list;
    ItemRecord empty = MakeRecord(1);
    empty.path.clear();
    empty.relativeStart = 0;
    EXPECT_FALSE(list.Add(empty));
    EXPECT_FALSE(list.Add(MakeRecord(2, kMaxItemPath + 1)));
    ASSERT_TRUE(list.Add(MakeRecord(3, kMaxItemPath)));
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.TotalSize(), 21u);
    ItemRecord read;
    ASSERT_TRUE(list.ReadNext(read));
    EXPECT_EQ(read.path.size(), kMaxItemPath);
    EXPECT_FALSE(list.ReadNext(read));
}

TEST(ItemList, CounterTextAfterEveryRecord) {
    RecordingSink sink;
    ItemList list(nullptr, &sink);
    ItemRecord r = MakeRecord(1);
    r.size = 1000;
    ASSERT_TRUE(list.Add(r));
    r.size = 536;
    ASSERT_TRUE(list.Add(r));
    r.size = 1048576;
    ASSERT_TRUE(list.Add(r));
    EXPECT_EQ(sink.counters,
              (std::vector<std::string>{"1 Files,  1,000", "2 Files,  1.5 KB",
                                        "3 Files,  1.0 MB"}));
}

TEST(ItemList, CancelStopsAddingAndIsInertOnceReading) {
    CancelFlag cancel{0};
    ItemList list(&cancel);
    ASSERT_TRUE(list.Add(MakeRecord(1)));
    EXPECT_EQ(list.IsCancelled(), 0);
    cancel = 1;
    EXPECT_NE(list.IsCancelled(), 0);
    EXPECT_FALSE(list.Add(MakeRecord(2)));
    EXPECT_EQ(list.Count(), 1u);
    ItemRecord read;
    ASSERT_TRUE(list.ReadNext(read));
    EXPECT_EQ(list.IsCancelled(), 0);
    EXPECT_FALSE(list.ReadNext(read));
}

TEST(ItemList, NoBackingFileMeansAnEmptyList) {
    faults::Guard guard;
    faults::Arm(faults::Call::Open, EACCES);
    CancelFlag cancel{1};
    ItemList list(&cancel);
    EXPECT_EQ(faults::FiredCount(), 1u);
    EXPECT_NE(list.IsCancelled(), 0);
    cancel = 0;
    EXPECT_FALSE(list.Add(MakeRecord(1)));
    EXPECT_EQ(list.Count(), 0u);
    ItemRecord read;
    EXPECT_FALSE(list.ReadNext(read));
    // Reading has begun even though there was nothing to read.
    cancel = 1;
    EXPECT_EQ(list.IsCancelled(), 0);
}

// A failed write loses the records it carried; count and total must then
// describe exactly what can be read back, not what was offered.
TEST(ItemList, FailedWriteKeepsCountEqualToWhatReadsBack) {
    faults::Guard guard;
    RecordingSink sink;
    ItemList list(nullptr, &sink);
    std::uint64_t offered = 0;
    faults::Arm(faults::Call::Write, ENOSPC, 2);  // the second write of the list fails
    std::vector<ItemRecord> added;
    for (int i = 0; i < 5000; ++i) {
        ItemRecord r = MakeRecord(i, 200);
        if (list.Add(r)) added.push_back(r);
        offered += r.size;
    }
    EXPECT_EQ(faults::FiredCount(), 1u);
    EXPECT_LT(list.Count(), 4999u);

    std::uint64_t count = 0;
    std::uint64_t total = 0;
    ItemRecord read;
    while (list.ReadNext(read)) {
        ++count;
        total += read.size;
    }
    EXPECT_EQ(count, list.Count());
    EXPECT_EQ(total, list.TotalSize());
    EXPECT_LT(total, offered);
    ASSERT_FALSE(sink.counters.empty());
    // The last text shown carries the corrected count.
    std::string shown = sink.counters.back().substr(0, sink.counters.back().find(' '));
    std::erase(shown, ',');
    EXPECT_EQ(shown, std::to_string(count));
}

TEST(ItemList, FailedFinalWriteLeavesAnEmptyConsistentList) {
    faults::Guard guard;
    ItemList list;
    ASSERT_TRUE(list.Add(MakeRecord(1)));
    ASSERT_TRUE(list.Add(MakeRecord(2)));
    faults::Arm(faults::Call::Write, EIO);
    ItemRecord read;
    EXPECT_FALSE(list.ReadNext(read));
    EXPECT_EQ(faults::FiredCount(), 1u);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.TotalSize(), 0u);
}

TEST(ItemList, ReadErrorEndsTheList) {
    faults::Guard guard;
    ItemList list;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(list.Add(MakeRecord(i)));
    faults::Arm(faults::Call::Read, EIO);
    ItemRecord read;
    EXPECT_FALSE(list.ReadNext(read));
    EXPECT_EQ(faults::FiredCount(), 1u);
}

std::set<std::string> OpenDescriptors() {
    std::set<std::string> fds;
    for (const std::string& name : test::TempTree::ReaddirOrder("/proc/self/fd")) {
        char target[4096];
        const std::string link = "/proc/self/fd/" + name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0) fds.insert(name + " -> " + std::string(target, static_cast<std::size_t>(n)));
    }
    return fds;
}

// The backing file is never visible by name and its descriptor is closed
// with the list, so nothing is left behind in the temporary folder.
TEST(ItemList, BackingFileGoneAfterDestruction) {
    test::TempTree tmp;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", tmp.root().c_str(), 1);

    const std::set<std::string> before = OpenDescriptors();
    {
        ItemList list;
        for (int i = 0; i < 2000; ++i) ASSERT_TRUE(list.Add(MakeRecord(i, 300)));
        ItemRecord read;
        ASSERT_TRUE(list.ReadNext(read));
        EXPECT_TRUE(test::TempTree::ReaddirOrder(tmp.root()).empty());
        std::set<std::string> during = OpenDescriptors();
        bool backing = false;
        for (const std::string& fd : during) {
            if (before.count(fd) == 0 && fd.find(tmp.root()) != std::string::npos) backing = true;
        }
        EXPECT_TRUE(backing) << "the list's file should live in TMPDIR";
    }
    const std::set<std::string> after = OpenDescriptors();
    for (const std::string& fd : after) {
        EXPECT_EQ(fd.find(tmp.root()), std::string::npos) << "still open: " << fd;
    }
    EXPECT_TRUE(test::TempTree::ReaddirOrder(tmp.root()).empty());

    if (oldTmp) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

}  // namespace
}  // namespace kivo
