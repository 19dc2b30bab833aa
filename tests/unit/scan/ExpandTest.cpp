#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "scan/Expand.h"
#include "TempTree.h"

namespace kivo {
namespace {

using test::TempTree;
using Names = std::vector<std::string>;

std::unique_ptr<SetEntry> Entry(const std::string& path, int subfolders = 1,
                                std::vector<std::string> patterns = {}, int mode = 1) {
    auto entry = std::make_unique<SetEntry>();
    entry->path = path;
    entry->includeSubfolders = subfolders;
    entry->patterns = std::move(patterns);
    entry->filterMode = mode;
    return entry;
}

std::vector<ItemRecord> ReadAll(ItemList& list) {
    std::vector<ItemRecord> records;
    ItemRecord r;
    while (list.ReadNext(r)) records.push_back(r);
    return records;
}

Names RelativeNames(const std::vector<ItemRecord>& records) {
    Names names;
    for (const ItemRecord& r : records) names.push_back(r.RelativeName());
    return names;
}

std::vector<ItemRecord> Expand(const FileSet& set, ExpandOptions options = {}) {
    ItemList list;
    ExpandSet(set, list, options);
    std::vector<ItemRecord> records = ReadAll(list);
    EXPECT_EQ(list.Count(), records.size());
    return records;
}

// The depth-first order as raw readdir gives it: each sub-folder listed
// whole where its parent's listing meets it.
void WalkOrder(const std::string& folder, const std::string& relative, Names& out) {
    for (const std::string& name : TempTree::ReaddirOrder(folder)) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        ::stat(path.c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            if (name[0] != '.') WalkOrder(path, relative + "/" + name, out);
        } else {
            out.push_back(relative + "/" + name);
        }
    }
}

class ExpandTest : public ::testing::Test {
protected:
    TempTree tree;
};

TEST_F(ExpandTest, OrderAndRelativeNamesForFolderAndFileEntries) {
    tree.Folder("Data/Docs/sub/deeper");
    tree.Folder("Data/Docs/other");
    for (const char* f : {"Data/Docs/a.txt", "Data/Docs/b.txt", "Data/Docs/sub/c.txt",
                          "Data/Docs/sub/deeper/d.txt", "Data/Docs/other/e.txt",
                          "Data/Docs/z.txt", "Data/single.txt"}) {
        tree.File(f, 10);
    }
    FileSet set;
    set.entries.push_back(Entry(tree.Path("Data/single.txt")));
    set.entries.push_back(Entry(tree.Path("Data/Docs")));
    set.entries.push_back(Entry(tree.Path("Data/Docs/sub/")));  // trailing separator

    Names expected = {"single.txt"};
    WalkOrder(tree.Path("Data/Docs"), "Docs", expected);
    WalkOrder(tree.Path("Data/Docs/sub"), "sub", expected);

    const std::vector<ItemRecord> records = Expand(set);
    EXPECT_EQ(RelativeNames(records), expected);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0].path, tree.Path("Data/single.txt"));
    for (std::size_t i = 1; i < records.size(); ++i) {
        // Full paths are normalised and end with the relative name.
        EXPECT_EQ(records[i].path.find("//"), std::string::npos) << records[i].path;
        EXPECT_EQ(records[i].path, tree.Path("Data/") + (i <= 6 ? "" : "Docs/") +
                                       records[i].RelativeName());
        EXPECT_EQ(records[i].size, 10u);
        EXPECT_FALSE(records[i].isLink);
    }
}

TEST_F(ExpandTest, RelativeNameStartRule) {
    struct Case {
        const char* full;
        std::size_t entryLength;
        std::uint32_t start;
    };
    const Case cases[] = {
        {"/data/Docs/sub/a.txt", 10, 6},  // "/data/Docs"
        {"/data/Docs/sub/a.txt", 11, 6},  // "/data/Docs/"
        {"/data/a.txt", 5, 1},            // top-level folder: no leading '/'
        {"/etc/passwd", 1, 1},            // the root
        {"Docs/a.txt", 4, 0},             // a relative entry path
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelativeNameStart(c.full, c.entryLength), c.start) << c.full;
    }
}

TEST_F(ExpandTest, SubfolderFlagDotFoldersAndDotFiles) {
    tree.Folder("top/sub");
    tree.Folder("top/.svn");
    tree.File("top/a.txt");
    tree.File("top/.profile");
    tree.File("top/sub/b.txt");
    tree.File("top/.svn/entries");

    FileSet flat;
    flat.entries.push_back(Entry(tree.Path("top"), 0));
    Names names = RelativeNames(Expand(flat));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"top/.profile", "top/a.txt"}));

    FileSet deep;
    deep.entries.push_back(Entry(tree.Path("top"), 1));
    names = RelativeNames(Expand(deep));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"top/.profile", "top/a.txt", "top/sub/b.txt"}));
}

TEST_F(ExpandTest, FiltersApplyOnlyToFilesUnderFolderEntries) {
    tree.Folder("site/img");
    tree.Folder("site/temp");
    tree.File("site/index.html", 5);
    tree.File("site/index.txt", 6);
    tree.File("site/img/logo.GIF", 7);
    tree.File("site/temp/cache.html", 8);
    tree.File("notes.txt", 9);

    struct Case {
        std::vector<std::string> patterns;
        int mode;
        Names expected;  // sorted
    };
    const Case cases[] = {
        {{"*.html", "*.gif"}, 0,
         {"notes.txt", "site/img/logo.GIF", "site/index.html", "site/temp/cache.html"}},
        {{"*.html", "*.gif"}, 1, {"notes.txt", "site/index.txt"}},
        {{"*/temp/*"}, 1, {"notes.txt", "site/img/logo.GIF", "site/index.html", "site/index.txt"}},
        {{"*/TEMP/*"}, 0, {"notes.txt", "site/temp/cache.html"}},
        // Filters never decide about folders: "img" is entered although it
        // matches no pattern.
        {{"*.gif"}, 0, {"notes.txt", "site/img/logo.GIF"}},
    };
    for (const Case& c : cases) {
        FileSet set;
        set.entries.push_back(Entry(tree.Path("site"), 1, c.patterns, c.mode));
        // A file entry is always taken, whatever the filter of the others.
        set.entries.push_back(Entry(tree.Path("notes.txt"), 1, {"*.none"}, 0));
        ItemList list;
        ExpandSet(set, list);
        Names names = RelativeNames(ReadAll(list));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.expected) << c.patterns[0] << " mode " << c.mode;
    }
}

TEST_F(ExpandTest, UnreachableEntriesAreSkippedAndTheRestExpand) {
    tree.Folder("d");
    tree.File("d/x.bin", 3);
    tree.File("kept.txt", 4);
    FileSet set;
    set.entries.push_back(Entry(tree.Path("deleted.txt")));
    set.entries.push_back(Entry(""));
    set.entries.push_back(Entry(tree.Path("gone-folder")));
    set.entries.push_back(Entry(tree.Link("dangling", tree.Path("nowhere"))));
    set.entries.push_back(Entry(tree.Path("kept.txt")));
    set.entries.push_back(Entry(tree.Path("d")));
    ItemList list;
    ExpandSet(set, list);
    EXPECT_EQ(list.TotalSize(), 7u);
    EXPECT_EQ(RelativeNames(ReadAll(list)), (Names{"kept.txt", "d/x.bin"}));
}

TEST_F(ExpandTest, PipesAndDanglingLinksOnlyForTheRunsThatRemoveThem) {
    tree.Folder("d");
    tree.File("d/a.txt", 2);
    ASSERT_EQ(::mkfifo(tree.Path("d/pipe").c_str(), 0644), 0);
    tree.Link("d/dangling", tree.Path("nowhere"));
    FileSet set;
    set.entries.push_back(Entry(tree.Path("d")));
    set.entries.push_back(Entry(tree.Path("d/pipe")));

    // Copy, Zip and the survey would open them: a pipe blocks and neither
    // has contents.
    EXPECT_EQ(RelativeNames(Expand(set)), (Names{"d/a.txt"}));

    // Delete and Move list them so that they can be removed.
    ExpandOptions noFollow;
    noFollow.followFolderLinks = false;
    Names names = RelativeNames(Expand(set, noFollow));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"d/a.txt", "d/dangling", "d/pipe", "pipe"}));
}

TEST_F(ExpandTest, SameFolderTwiceIsListedTwice) {
    tree.Folder("f/s");
    tree.File("f/one", 100);
    tree.File("f/s/two", 23);
    FileSet set;
    set.entries.push_back(Entry(tree.Path("f")));
    set.entries.push_back(Entry(tree.Path("f/s/two")));
    set.entries.push_back(Entry(tree.Path("f")));
    ItemList list;
    ExpandSet(set, list);
    EXPECT_EQ(list.Count(), 5u);
    EXPECT_EQ(list.TotalSize(), 2u * 123u + 23u);
    const Names names = RelativeNames(ReadAll(list));
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(Names(names.begin(), names.begin() + 2), Names(names.begin() + 3, names.end()));
    EXPECT_EQ(names[2], "two");
}

TEST_F(ExpandTest, EmptyFolderGivesAnEmptyListWithoutCounterUpdates) {
    tree.Folder("empty/sub");
    struct Sink : RunSink {
        int calls = 0;
        void SetCounter(const std::string&) override { ++calls; }
    } sink;
    FileSet set;
    set.entries.push_back(Entry(tree.Path("empty")));
    ItemList list(nullptr, &sink);
    ExpandSet(set, list);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.TotalSize(), 0u);
    EXPECT_EQ(sink.calls, 0);
}

// The receiver raises the flag from the counter update, as a user's click
// would arrive between two files.
TEST_F(ExpandTest, CancellationStopsTheAddingAndLaterEntries) {
    for (int d = 0; d < 4; ++d) {
        tree.Folder("c/d" + std::to_string(d));
        for (int f = 0; f < 10; ++f) tree.File("c/d" + std::to_string(d) + "/f" + std::to_string(f));
    }
    tree.File("later.txt");

    struct CancelAfter : RunSink {
        CancelFlag* flag = nullptr;
        int after = 0;
        int seen = 0;
        void SetCounter(const std::string&) override {
            if (++seen == after) *flag = 1;
        }
    };
    for (int after : {1, 7, 15}) {
        CancelFlag flag{0};
        CancelAfter sink;
        sink.flag = &flag;
        sink.after = after;
        ItemList list(&flag, &sink);
        FileSet set;
        set.entries.push_back(Entry(tree.Path("c")));
        set.entries.push_back(Entry(tree.Path("later.txt")));
        ExpandSet(set, list);
        EXPECT_EQ(list.Count(), static_cast<std::uint64_t>(after));
        EXPECT_EQ(sink.seen, after);
        const Names names = RelativeNames(ReadAll(list));
        EXPECT_EQ(names.size(), static_cast<std::size_t>(after));
        EXPECT_EQ(std::count(names.begin(), names.end(), "later.txt"), 0);
    }
}

TEST_F(ExpandTest, LinkCyclesTerminateAndLinkedFilesAreMarked) {
    tree.Folder("a/b");
    tree.Folder("outside");
    tree.File("a/f.txt", 11);
    tree.File("a/b/g.txt", 12);
    tree.File("outside/o.txt", 13);
    tree.Link("a/b/up", tree.Path("a"));        // back to an ancestor
    tree.Link("a/self", ".");                    // to itself
    tree.Link("a/out", tree.Path("outside"));    // an ordinary folder link
    tree.Link("a/lf.txt", tree.Path("outside/o.txt"));

    FileSet set;
    set.entries.push_back(Entry(tree.Path("a")));

    std::map<std::string, ItemRecord> byName;
    for (const ItemRecord& r : Expand(set)) {
        EXPECT_EQ(byName.count(r.RelativeName()), 0u) << "twice: " << r.RelativeName();
        byName[r.RelativeName()] = r;
    }
    Names names;
    for (const auto& [name, r] : byName) names.push_back(name);
    EXPECT_EQ(names, (Names{"a/b/g.txt", "a/f.txt", "a/lf.txt", "a/out/o.txt"}));
    EXPECT_TRUE(byName["a/lf.txt"].isLink);
    EXPECT_EQ(byName["a/lf.txt"].size, 13u);  // the target's data
    EXPECT_FALSE(byName["a/out/o.txt"].isLink);

    ExpandOptions noFollow;
    noFollow.followFolderLinks = false;
    names = RelativeNames(Expand(set, noFollow));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"a/b/g.txt", "a/f.txt", "a/lf.txt"}));

    // A folder entry that is itself a link is entered either way; without
    // following, nothing below it is.
    FileSet linked;
    linked.entries.push_back(Entry(tree.Path("a/out")));
    EXPECT_EQ(RelativeNames(Expand(linked)), Names{"out/o.txt"});
    tree.Link("outside/back", tree.Path("a/b"));
    EXPECT_EQ(RelativeNames(Expand(linked, noFollow)), Names{"out/o.txt"});

    // A file entry that is a link is listed with its target's data.
    FileSet file;
    file.entries.push_back(Entry(tree.Path("a/lf.txt")));
    const std::vector<ItemRecord> one = Expand(file, noFollow);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(one[0].isLink);
    EXPECT_EQ(one[0].size, 13u);
}

TEST_F(ExpandTest, LongPathsAreListedWholeOrNotAtAll) {
    // Well past the 259 bytes of the old limit.
    const std::string name100(100, 'n');
    std::string relative = "long";
    for (int i = 0; i < 4; ++i) relative += "/" + name100 + std::to_string(i);
    tree.Folder(relative);
    const std::string longFile = tree.File(relative + "/" + std::string(150, 'f') + ".txt", 5);
    ASSERT_GT(longFile.size(), 559u);

    // A folder whose own path fits, holding one name that would take the
    // full path past PATH_MAX and one that does not.
    std::string deep = "deep";
    const std::string name240(240, 'd');
    while (tree.Path(deep).size() + 241 < 3900) deep += "/" + name240;
    tree.Folder(deep);
    tree.File(deep + "/short.txt", 6);
    {
        const int dir = ::open(tree.Path(deep).c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(dir, 0);
        const std::string tooLong(250, 't');
        const int fd = ::openat(dir, tooLong.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        ::close(dir);
        ASSERT_GT(tree.Path(deep).size() + 1 + tooLong.size(), kMaxItemPath);
    }

    FileSet set;
    set.entries.push_back(Entry(tree.Path("long")));
    set.entries.push_back(Entry(tree.Path("deep")));
    const std::vector<ItemRecord> records = Expand(set);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].path, longFile);
    EXPECT_EQ(records[0].RelativeName(), longFile.substr(tree.root().size() + 1));
    EXPECT_EQ(records[1].path, tree.Path(deep + "/short.txt"));
    EXPECT_EQ(records[1].size, 6u);
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

class NoticeLines : public RunSink {
public:
    void Notice(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

// Entries that are no full path name nothing: not the working folder's
// files, whichever folder the run starts from.
TEST(ExpandSet, AnEntryThatIsNoFullPathIsPassedOverWithANotice) {
    TempTree tree;
    tree.Folder("work/docs");
    tree.Folder("kept");
    tree.File("work/docs/a.txt", 1);
    tree.File("work/b.txt", 1);
    tree.File("kept/c.txt", 1);
    FileSet set;
    set.name = "S";
    for (const char* path : {"docs", ".", "b.txt", "", "../work/docs"}) set.entries.push_back(Entry(path));
    set.entries.push_back(Entry(tree.Path("kept")));

    char before[4096];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    for (const char* start : {"work", "work/docs"}) {
        ASSERT_EQ(::chdir(tree.Path(start).c_str()), 0);
        NoticeLines sink;
        ItemList list(nullptr, &sink);
        std::vector<FileId> ids;
        ExpandOptions options;
        options.entryIds = &ids;
        ExpandSet(set, list, options);
        const std::vector<ItemRecord> records = ReadAll(list);
        EXPECT_EQ(RelativeNames(records), Names{"kept/c.txt"}) << start;
        EXPECT_EQ(sink.lines, (std::vector<std::string>{"Not a full path, skipped: docs",
                                                        "Not a full path, skipped: .",
                                                        "Not a full path, skipped: b.txt",
                                                        "Not a full path, skipped: ../work/docs"}))
            << start;
        ASSERT_EQ(ids.size(), set.entries.size());
        for (std::size_t i = 0; i + 1 < ids.size(); ++i) EXPECT_FALSE(ids[i].Known()) << i;
        EXPECT_TRUE(ids.back().Known());
    }
    ASSERT_EQ(::chdir(before), 0);
}

}  // namespace
}  // namespace kivo
