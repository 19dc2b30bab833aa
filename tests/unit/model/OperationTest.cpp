#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "model/OperationList.h"
#include "model/SetList.h"
#include "model/SetName.h"
#include "model/ZipOutputPath.h"

namespace kivo {
namespace {

// Sets TZ for one test and restores the previous zone afterwards.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadOld_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

// 2005-01-02 19:03:09 UTC and 2005-01-02 05:03:09 UTC as file times.
constexpr FileTime k1903Utc = 127491661890000000ULL;
constexpr FileTime k0503Utc = 127491157890000000ULL;

TEST(OperationLabelTest, ShowsTheLastRunInLocalTime) {
    Operation operation;
    operation.setName = "Docs";
    EXPECT_EQ(operation.Label(), "Docs");

    const struct {
        const char* zone;
        FileTime lastRun;
    } cases[] = {{"EST5", k1903Utc}, {"JST-9", k0503Utc}, {"UTC0", k0503Utc + 9 * 3600 * 10000000ULL}};
    for (const auto& c : cases) {
        ZoneGuard zone(c.zone);
        operation.lastRun = c.lastRun;
        EXPECT_EQ(operation.Label(), "Docs 2005-01-02 14:03:09") << c.zone;
    }
}

TEST(OperationFlagsTest, EmptyFolderModeKeepsTheSkipBit) {
    // Move: "Sub-folders only" with skip, then "No" without, then "Yes" with.
    std::uint32_t flags = 0;
    flags = WithSkipIfMissing(WithEmptyFolderMode(flags, EMPTY_FOLDERS_SUBFOLDERS_ONLY), true);
    EXPECT_EQ(flags, 0x5u);
    flags = WithSkipIfMissing(WithEmptyFolderMode(flags, EMPTY_FOLDERS_KEEP), false);
    EXPECT_EQ(flags, 0x2u);
    EXPECT_EQ(EmptyFolderModeOf(flags), EMPTY_FOLDERS_KEEP);
    EXPECT_FALSE(SkipIfMissing(flags));
    flags = WithSkipIfMissing(WithEmptyFolderMode(flags, EMPTY_FOLDERS_REMOVE), true);
    EXPECT_EQ(flags, 0x1u);
    EXPECT_EQ(EmptyFolderModeOf(flags), EMPTY_FOLDERS_REMOVE);
    EXPECT_TRUE(SkipIfMissing(flags));
    // Bits the program does not use are left as they were stored.
    EXPECT_EQ(WithEmptyFolderMode(0xFFFFFFF9u, EMPTY_FOLDERS_KEEP), 0xFFFFFFFBu);
    EXPECT_EQ(WithSkipIfMissing(0x80000006u, false), 0x80000006u);
}

TEST(SetNameTest, FoldsEveryLetterBySimpleCaseFolding) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"Docs", "DOCS", true},
        {"a-Z_9", "A-z_9", true},
        {"Docs", "Doc", false},
        {"Docs", "Docs ", false},
        {"@", "`", false},  // neighbours of the ASCII letter ranges
        {"[", "{", false},
        {"\xC3\x84\xC3\x96\xC3\x9C", "\xC3\xA4\xC3\xB6\xC3\xBC", true},  // ÄÖÜ äöü
        {"\xC3\x80", "\xC3\xA1", false},                                       // À á
        {"\xC4\x80\xC4\xAE", "\xC4\x81\xC4\xAF", true},  // ĀĮ āį: pairs one apart
        {"\xC4\x81", "\xC4\x82", false},                     // ā Ă: not a pair
        {"\xCE\xA3\xCF\x82", "\xCF\x83\xCF\x83", true},  // Σς σσ
        {"\xD0\x96\xD0\x81", "\xD0\xB6\xD1\x91", true},  // ЖЁ жё
        {"\xE2\x84\xAA", "k", true},                          // Kelvin sign, one byte against three
        {"\xC5\xBF", "S", true},                               // long s
        {"\xE1\xBA\x9E", "\xC3\x9F", true},                 // capital and small sharp s
        {"Stra\xC3\x9F" "e", "STRASSE", false},                // no full folding
        {"\xC4\xB0", "i", false},                              // dotted capital I folds only in Turkish
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", true},  // Deseret, four bytes
        {"\xEF\xBC\xA1", "\xEF\xBD\x81", true},            // fullwidth A a
        {"A\xFF", "a\xFF", true},                              // invalid bytes stand for themselves
        {"\xFF", "\xFE", false},
        {"\xC3", "\xC3\x83", false},                          // a cut sequence is not Ã
        {"\xC0\x81", "A", false},                              // overlong A
        {"\xC0\x81", "a", false},
        {"\xC3\x84\x80", "\xC3\xA4\x80", true},            // a stray continuation byte
        {"\xED\xA0\x80", "\xED\xA0\x80", true},            // a surrogate, byte for byte
        {"\xED\xA0\x80", "\xED\xA0\x81", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameSetName(c.a, c.b), c.same) << c.a << " | " << c.b;
        EXPECT_EQ(SameSetName(c.b, c.a), c.same) << c.b << " | " << c.a;
    }
}

Operations Bound(std::initializer_list<const char*> names) {
    Operations operations;
    int kind = 0;
    for (const char* name : names) {
        auto operation = std::make_unique<Operation>();
        operation->setName = name;
        operation->kind = kind++ % 4;
        operation->lastRun = 1000 + kind;
        operations.push_back(std::move(operation));
    }
    return operations;
}

std::vector<std::string> Names(const Operations& operations) {
    std::vector<std::string> names;
    for (const auto& operation : operations) names.push_back(operation->setName);
    return names;
}

TEST(CascadeTest, RenameRepointsEveryLetterCaseAndKeepsLastRun) {
    ZoneGuard zone("EST5");
    Operations operations = Bound({"Docs", "Music", "DOCS", "docs2", "dOcS"});
    operations[2]->lastRun = k1903Utc;
    EXPECT_EQ(RenameSet(operations, "Docs", "Papers"), 3u);
    EXPECT_EQ(Names(operations),
              (std::vector<std::string>{"Papers", "Music", "Papers", "docs2", "Papers"}));
    EXPECT_EQ(operations[2]->lastRun, k1903Utc);
    EXPECT_EQ(operations[2]->Label(), "Papers 2005-01-02 14:03:09");

    EXPECT_EQ(RenameSet(operations, "Nothing", "Else"), 0u);
}

TEST(CascadeTest, RenameOfLetterCaseOnlyLeavesOperations) {
    Operations operations = Bound({"Docs", "DOCS"});
    EXPECT_EQ(RenameSet(operations, "Docs", "docs"), 0u);
    EXPECT_EQ(Names(operations), (std::vector<std::string>{"Docs", "DOCS"}));
}

TEST(CascadeTest, RemoveTakesEveryLetterCaseAndKeepsOrder) {
    Operations operations = Bound({"A", "Docs", "B", "docs", "C", "DOCS"});
    EXPECT_EQ(RemoveSet(operations, "dOCs"), 3u);
    EXPECT_EQ(Names(operations), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(RemoveSet(operations, "Docs"), 0u);
    EXPECT_EQ(operations.size(), 3u);
}

// A store made while only ASCII letters were folded may hold both names:
// it loads as it is, and the cascades now reach the operations of both.
TEST(CascadeTest, NamesDifferingInNonAsciiCaseAreOneSet) {
    const char* upper = "\xC3\x84\xC3\x96\xC3\x9C";  // ÄÖÜ
    const char* lower = "\xC3\xA4\xC3\xB6\xC3\xBC";  // äöü
    SetList stored;
    for (const char* name : {upper, lower}) {
        auto set = std::make_unique<FileSet>();
        set->name = name;
        stored.sets.push_back(std::move(set));
    }
    SetList loaded;
    ASSERT_TRUE(loaded.LoadFromBytes(stored.SaveToBytes()));
    ASSERT_EQ(loaded.sets.size(), 2u);
    EXPECT_EQ(loaded.sets[1]->name, lower);

    Operations operations = Bound({upper, "Docs", lower});
    EXPECT_EQ(RenameSet(operations, lower, "Neu"), 2u);
    EXPECT_EQ(Names(operations), (std::vector<std::string>{"Neu", "Docs", "Neu"}));
    operations = Bound({upper, "Docs", lower});
    EXPECT_EQ(RemoveSet(operations, upper), 2u);
    EXPECT_EQ(Names(operations), (std::vector<std::string>{"Docs"}));
}

TEST(ZipOutputPathTest, FollowsTheNameRules) {
    TimeParts now;
    now.year = 2025;
    now.month = 3;
    now.day = 7;
    now.hour = 9;
    now.minute = 5;
    now.second = 3;
    const struct {
        const char* folder;
        const char* name;
        bool byTime;
        const char* expected;
    } cases[] = {
        {"/backup", "Backup.ZIP", false, "/backup/Backup.ZIP"},
        {"/backup", "Backup", false, "/backup/Backup.zip"},
        {"/backup", "Backup", true, "/backup/Backup250307090503.zip"},
        {"/backup", "Backup.zip", true, "/backup/Backup.zip250307090503.zip"},
        {"/backup", ".zip", false, "/backup/.zip.zip"},
        {"/backup", "a.zip.txt", false, "/backup/a.zip.txt.zip"},
        {"/backup", "x.Zip", false, "/backup/x.Zip"},
        {"/backup//", "B", false, "/backup/B.zip"},
        {"/", "B", false, "/B.zip"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SavedZipOutputPath(c.folder, c.name, c.byTime, now), c.expected)
            << c.folder << " " << c.name;
    }

    Operation operation;
    operation.destination = "/out";
    operation.zipName = "Daily";
    operation.zipNameByTime = 1;
    now.year = 2100;
    EXPECT_EQ(SavedZipOutputPath(operation, now), "/out/Daily000307090503.zip");
}

}  // namespace
}  // namespace kivo
