// sets, show, set-add, set-rename, set-remove, expand: output formats, the
// set editor's rules, and the cascades into the binding store.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "CliFixture.h"
#include "model/OperationList.h"
#include "model/SetList.h"

namespace kivo::clitest {
namespace {

class SetCommands : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("docs/sub/b.txt", std::string(2048, 'b'));
        WriteFile("single.txt", "single");
    }

    static std::unique_ptr<SetEntry> Entry(const std::string& path, int sub, int mode,
                                           std::vector<std::string> patterns) {
        auto entry = std::make_unique<SetEntry>();
        entry->path = path;
        entry->includeSubfolders = sub;
        entry->filterMode = mode;
        entry->patterns = std::move(patterns);
        return entry;
    }

    static std::unique_ptr<Operation> Bound(std::int32_t kind, const std::string& setName,
                                            const std::string& destination) {
        auto operation = std::make_unique<Operation>();
        operation->kind = kind;
        operation->setName = setName;
        operation->destination = destination;
        return operation;
    }
};

TEST_F(SetCommands, AddWritesTheStoreTheModelReadsBackByteForByte) {
    CliOk({"set-add", "Docs", At("docs"), "--include", "*.txt, *.md;;"});
    CliOk({"set-add", "Docs", At("single.txt")});
    // Relative paths are stored absolute, so a cron job finds them too.
    CliOptions inRoot;
    inRoot.workDir = At("");
    CliOk({"set-add", "  Other  ", "docs/sub/../", "--no-subfolders", "--exclude", "*.tmp"}, inRoot);

    SetList expected;
    auto docs = std::make_unique<FileSet>();
    docs->name = "Docs";
    docs->entries.push_back(Entry(At("docs"), 1, 0, {"*.txt", "*.md"}));
    docs->entries.push_back(Entry(At("single.txt"), 1, 1, {}));
    expected.sets.push_back(std::move(docs));
    auto other = std::make_unique<FileSet>();
    other->name = "Other";
    other->entries.push_back(Entry(At("docs"), 0, 1, {"*.tmp"}));
    expected.sets.push_back(std::move(other));

    const std::string written = ReadBytes(SetStore());
    EXPECT_EQ(written, expected.SaveToBytes());
    SetList loaded;
    ASSERT_TRUE(loaded.LoadFromBytes(written));
    EXPECT_EQ(loaded.SaveToBytes(), written);

    EXPECT_EQ(CliOk({"sets"}).out, "Docs\t2\nOther\t1\n");
    EXPECT_EQ(CliOk({"show", "docs"}).out,
              At("docs") + "\tScan Sub-folder; Includ Only: *.txt; *.md\n" + At("single.txt") +
                  "\tIndividual File\n");
    EXPECT_EQ(CliOk({"show", "Other"}).out, At("docs") + "\tExclude: *.tmp\n");
}

TEST_F(SetCommands, ShowLeavesTheDescriptionEmptyForAPathThatVanished) {
    CliOk({"set-add", "S", At("single.txt"), At("docs")});
    fs::remove(At("single.txt"));
    EXPECT_EQ(CliOk({"show", "S"}).out,
              At("single.txt") + "\t\n" + At("docs") + "\tScan Sub-folder; All Files\n");
}

TEST_F(SetCommands, NewNamesFollowTheSetEditorRules) {
    CliOk({"set-add", "Docs", At("docs")});
    struct Case {
        std::string name;
        int status;
        std::string setsAfter;
    };
    const Case cases[] = {
        {"docs", 0, "Docs\t2\n"},                        // an existing set, any case
        {std::string(24, 'n'), 0, "Docs\t2\n" + std::string(24, 'n') + "\t1\n"},
        {std::string(25, 'x'), 2, ""},                   // too long
        {"   ", 2, ""},                                   // empty once trimmed
        {"\xC3\xA9" + std::string(23, 'e'), 0, ""},       // 24 characters, 25 bytes
    };
    for (const Case& c : cases) {
        const std::string before = ReadBytes(SetStore());
        const CliResult result = Cli({"set-add", c.name, At("single.txt")});
        EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
        if (c.status != 0) {
            EXPECT_EQ(ReadBytes(SetStore()), before) << c.name;
        }
        if (!c.setsAfter.empty()) {
            EXPECT_EQ(CliOk({"sets"}).out, c.setsAfter) << c.name;
        }
    }
}

TEST_F(SetCommands, RenameAndRemoveCascadeIntoTheBindingStore) {
    CliOk({"set-add", "Docs", At("docs")});
    CliOk({"set-add", "Other", At("single.txt")});
    // Operations bound under two spellings of the name, as an older store
    // may hold them, and one on another set.
    OperationList seeded;
    seeded.operations.push_back(Bound(OPERATION_COPY, "Docs", At("c1")));
    seeded.operations.push_back(Bound(OPERATION_MOVE, "Other", At("m1")));
    seeded.operations.push_back(Bound(OPERATION_ZIP, "DOCS", At("z1")));
    seeded.operations[2]->lastRun = 132000000000000000ULL;
    ASSERT_TRUE(seeded.Save(BindingStore()));

    CliOk({"set-rename", "docs", "Papers"});
    seeded.operations[0]->setName = "Papers";
    seeded.operations[2]->setName = "Papers";  // its last run is kept
    EXPECT_EQ(ReadBytes(BindingStore()), seeded.SaveToBytes());
    EXPECT_EQ(CliOk({"sets"}).out, "Papers\t1\nOther\t1\n");

    // A change of letter case only stays with the set.
    const std::string bindingBefore = ReadBytes(BindingStore());
    CliOk({"set-rename", "Papers", "PAPERS"});
    EXPECT_EQ(ReadBytes(BindingStore()), bindingBefore);
    EXPECT_EQ(CliOk({"sets"}).out, "PAPERS\t1\nOther\t1\n");

    CliOk({"set-remove", "papers"});
    OperationList remaining;
    remaining.operations.push_back(Bound(OPERATION_MOVE, "Other", At("m1")));
    EXPECT_EQ(ReadBytes(BindingStore()), remaining.SaveToBytes());
    SetList sets;
    ASSERT_TRUE(sets.LoadFromBytes(ReadBytes(SetStore())));
    ASSERT_EQ(sets.sets.size(), 1u);
    EXPECT_EQ(sets.sets[0]->name, "Other");
}

TEST_F(SetCommands, RenameRefusesANameInUseAndChangesNothing) {
    CliOk({"set-add", "Docs", At("docs")});
    CliOk({"set-add", "Other", At("single.txt")});
    const std::string before = ReadBytes(SetStore());
    const CliResult result = Cli({"set-rename", "Other", " docs "});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("Docs"), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(SetStore()), before);
}

TEST_F(SetCommands, ExpandListsEveryItemThenTheCounter) {
    WriteFile("docs/skip.md", "markdown");
    CliOk({"set-add", "Docs", At("docs"), "--include", "*.txt"});
    CliOk({"set-add", "Docs", At("single.txt")});
    std::vector<std::string> lines = Lines(CliOk({"expand", "Docs"}).out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.back(), "3 Files,  2.0 KB");  // 5 + 2048 + 6 bytes
    lines.pop_back();
    // The file entry comes after the folder entry; the folder's own files
    // come in the order the file system gives them.
    EXPECT_EQ(lines.back(), "single.txt\t6\t" + At("single.txt"));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines[0], "docs/a.txt\t5\t" + At("docs/a.txt"));
    EXPECT_EQ(lines[1], "docs/sub/b.txt\t2048\t" + At("docs/sub/b.txt"));
}

TEST_F(SetCommands, ANameWithATabOrLineBreakCannotForgeFieldsOrRows) {
    // A name made to look like a second row naming another file.
    const std::string odd = "odd\tname\n9\tforged\rx";
    const std::string shown = "odd\\tname\\n9\\tforged\\rx";
    WriteFile("tricky/" + odd, "abc");
    CliOk({"set-add", "Tricky", At("tricky")});
    EXPECT_EQ(CliOk({"expand", "Tricky"}).out, "tricky/" + shown + "\t3\t" + At("tricky/") + shown +
                                                   "\n1 Files,  3\n");
    CliOk({"set-add", "Tricky", At("tricky/" + odd)});
    EXPECT_EQ(CliOk({"show", "Tricky"}).out, At("tricky") + "\tScan Sub-folder; All Files\n" +
                                                 At("tricky/") + shown + "\tIndividual File\n");
}

TEST_F(SetCommands, TheDefaultDataFolderIsTheDesktopProgramsOne) {
    CliOptions options;
    options.env = {{"XDG_DATA_HOME", At("xdg")}};
    const CliResult added = RunCli(scratch_, {"set-add", "Docs", At("docs")}, options);
    ASSERT_EQ(added.status, 0) << added.err;
    SetList sets;
    ASSERT_TRUE(sets.Load(At("xdg/KALDORWORKS/kivo/kivos.kvd")));
    ASSERT_EQ(sets.sets.size(), 1u);
    EXPECT_EQ(RunCli(scratch_, {"sets"}, options).out, "Docs\t1\n");
}

TEST_F(SetCommands, AStoreThatCannotBeWrittenIsReportedNotLostSilently) {
    WriteFile("not-a-folder", "a file where the data folder should be");
    const CliResult result =
        RunCli(scratch_, {"--data-dir", At("not-a-folder"), "set-add", "Docs", At("docs")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "kivo-cli: can not create the data folder " + At("not-a-folder") + "\n");
    EXPECT_EQ(ReadBytes(At("not-a-folder")), "a file where the data folder should be");
}

}  // namespace
}  // namespace kivo::clitest

namespace kivo::clitest {
namespace {

TEST_F(SetCommands, OutputThatCannotBeWrittenIsAFailureNotASuccess) {
    CliOk({"set-add", "Docs", At("docs")});
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    CliOptions options;
    options.stdoutFd = full;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sets"}, {"show", "Docs"}, {"expand", "Docs"}}) {
        const CliResult result = Cli(args, options);
        EXPECT_EQ(result.status, 1) << args[0];
        EXPECT_EQ(result.err, "kivo-cli: can not write to standard output\n") << args[0];
    }
    close(full);
}

}  // namespace
}  // namespace kivo::clitest
