// What kivo-cli takes from what is typed and from the stores: numbers that
// are numbers, set entries as the kernel names them, entries that are no
// full path, and set names that differ only in letter case. Every refusal
// exits 2 with its message and leaves the stores and the files as they were.
#include <filesystem>

#include "CliFixture.h"
#include "cli/ExitCodes.h"
#include "cli/Numbers.h"
#include "model/OperationList.h"
#include "model/SetList.h"

namespace kivo::clitest {
namespace {

TEST(WholeNumbers, OnlyDecimalDigitsInRangeAreANumber) {
    const struct {
        const char* text;
        long long value;  // -1: refused
    } cases[] = {
        {"0", 0},      {"3", 3},       {"257", 257},  {"007", 7},    {"0000000000000000000000257", 257},
        {"258", -1},   {"1000", -1},   {"-1", -1},    {"+3", -1},    {"3x", -1},
        {"x3", -1},    {"abc", -1},    {"", -1},      {" 3", -1},    {"3 ", -1},
        {"0x10", -1},  {"1e2", -1},    {"3.0", -1},   {"99999999999999999999999", -1},
        {"18446744073709551617", -1},  // past 64 bits: no wrap-around into range
    };
    for (const auto& c : cases) {
        if (c.value >= 0) {
            EXPECT_EQ(cli::ParseWholeNumber(c.text, "PASSES", 0, 257),
                      static_cast<std::uint64_t>(c.value))
                << c.text;
            continue;
        }
        try {
            cli::ParseWholeNumber(c.text, "PASSES", 0, 257);
            ADD_FAILURE() << "accepted \"" << c.text << "\"";
        } catch (const cli::UsageError& error) {
            EXPECT_STREQ(error.what(), "PASSES must be a whole number from 0 to 257.") << c.text;
        }
    }
    // The bounds are the caller's, both ends.
    EXPECT_EQ(cli::ParseWholeNumber("5", "N", 5, 5), 5u);
    EXPECT_THROW(cli::ParseWholeNumber("4", "N", 5, 9), cli::UsageError);
    EXPECT_THROW(cli::ParseWholeNumber("1", "N", 0, 0), cli::UsageError);
    try {
        cli::ParseWholeNumber("10", "COUNT", 1, 9);
    } catch (const cli::UsageError& error) {
        EXPECT_STREQ(error.what(), "COUNT must be a whole number from 1 to 9.");
    }
}

class InputRules : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("other/dir/inner.txt", "inner");
        WriteFile("other/victim/precious.txt", "precious");
        WriteFile("S/victim/mine.txt", "mine");
        fs::create_directory_symlink(At("other/dir"), At("S/lnk"));
        fs::create_directory_symlink("/", At("S/top"));
        fs::create_directories(DataDir());
    }

    // Both stores and every file below the test's tree but the stores.
    std::string Snapshot() const {
        std::string all = ReadBytes(SetStore()) + "|" + ReadBytes(BindingStore()) + "|";
        for (const auto& item : fs::recursive_directory_iterator(root_)) {
            if (item.path().parent_path() == DataDir() || item.path().string().find("/scratch") != std::string::npos)
                continue;
            all += item.path().string() + (item.is_regular_file() ? ":" + ReadBytes(item.path()) : "") + "\n";
        }
        return all;
    }

    void ExpectRefused(const std::vector<std::string>& args, const std::string& message,
                       const CliOptions& options = {}) {
        const std::string before = Snapshot();
        const CliResult result = Cli(args, options);
        std::string command;
        for (const std::string& arg : args) command += arg + " ";
        EXPECT_EQ(result.status, cli::kExitUsage) << command << "\n" << result.err;
        EXPECT_NE(result.err.find("kivo-cli: " + message + "\n"), std::string::npos)
            << command << "\n" << result.err;
        EXPECT_EQ(result.out, "") << command;
        EXPECT_EQ(Snapshot(), before) << command;
    }

    static std::unique_ptr<FileSet> Set(const std::string& name, std::vector<std::string> paths) {
        auto set = std::make_unique<FileSet>();
        set->name = name;
        for (const std::string& path : paths) {
            set->entries.push_back(std::make_unique<SetEntry>());
            set->entries.back()->path = path;
        }
        return set;
    }
};

TEST_F(InputRules, NumbersThatAreNoWholeNumberInRangeAreRefused) {
    CliOk({"set-add", "Docs", At("docs")});
    for (const char* passes : {"abc", "x3", "3x", "-1", "1000", "258", "", " 3", "+1", "0x3"}) {
        ExpectRefused({"delete", "Docs", "--passes", passes}, "PASSES must be a whole number from 0 to 257.");
        ExpectRefused({"bind", "delete", "Docs", "--passes", passes},
                      "PASSES must be a whole number from 0 to 257.");
    }
    // The top of the range is taken as typed, not capped from above it.
    CliOk({"bind", "delete", "Docs", "--passes=257"});
    OperationList saved;
    ASSERT_TRUE(saved.LoadFromBytes(ReadBytes(BindingStore())));
    ASSERT_EQ(saved.operations.size(), 1u);
    EXPECT_EQ(saved.operations[0]->erasePasses, 257u);
    CliOk({"delete", "Docs", "--passes", "2"});
    EXPECT_FALSE(fs::exists(At("docs/a.txt")));
}

TEST_F(InputRules, ParentStepsAfterALinkStoreTheFolderTheKernelNames) {
    const std::string typed = At("S/lnk/../victim");
    const std::string named = fs::canonical(At("other/victim")).string();
    const CliResult added = CliOk({"set-add", "V", typed});
    EXPECT_EQ(added.out, "Stored as: " + named + "\n");
    // Relative to the working folder, the same.
    CliOptions inS;
    inS.workDir = At("S");
    EXPECT_EQ(CliOk({"set-add", "W", "lnk/../victim"}, inS).out, "Stored as: " + named + "\n");
    // A path that is stored as typed says nothing.
    EXPECT_EQ(CliOk({"set-add", "X", At("S/victim")}).out, "");
    EXPECT_EQ(CliOk({"show", "V"}).out, named + "\tScan Sub-folder; All Files\n");
    EXPECT_EQ(CliOk({"show", "W"}).out, named + "\tScan Sub-folder; All Files\n");

    // The Delete then erases the folder the path named for every program,
    // and the folder its text seemed to name is left alone.
    CliOk({"delete", "V"});
    EXPECT_FALSE(fs::exists(At("other/victim/precious.txt")));
    EXPECT_EQ(ReadBytes(At("S/victim/mine.txt")), "mine");
}

TEST_F(InputRules, TheWholeFileSystemAndPathsTheKernelCannotFollowAreNoEntry) {
    CliOk({"set-add", "Docs", At("docs")});
    const std::string whole = "The whole file system cannot be a set entry.";
    ExpectRefused({"set-add", "Docs", "/"}, whole);
    ExpectRefused({"set-add", "New", "//"}, whole);
    ExpectRefused({"set-add", "Docs", At("S/top")}, whole);        // a link to the root
    ExpectRefused({"set-add", "Docs", At("docs/../../../../../../../../../..")}, whole);
    // One refused path refuses the whole command.
    ExpectRefused({"set-add", "Docs", At("S/victim"), "/"}, whole);
    ExpectRefused({"set-add", "Docs", At("docs/a.txt/../a.txt")}, "no file or folder " + At("docs/a.txt/../a.txt"));
    ExpectRefused({"set-add", "Docs", At("S/gone/../victim")}, "no file or folder " + At("S/gone/../victim"));
}

TEST_F(InputRules, AnEntryThatIsNoFullPathIsReportedAndNeverActedOn) {
    SetList seeded;
    seeded.sets.push_back(Set("Rel", {"docs", ".", "docs/a.txt", At("kept")}));
    WriteFile("kept/k.txt", "k");
    ASSERT_TRUE(seeded.Save(SetStore()));
    // Two working folders, each with what the entries would name there.
    for (const char* where : {"one", "two"}) {
        WriteFile(std::string(where) + "/docs/a.txt", where);
        WriteFile(std::string(where) + "/b.txt", where);
    }
    for (const char* where : {"one", "two"}) {
        CliOptions options;
        options.workDir = At(where);
        const CliResult result = Cli({"delete", "Rel", "--remove-empty", "yes"}, options);
        EXPECT_EQ(result.status, 0) << where << "\n" << result.err;
        for (const char* entry : {"docs", ".", "docs/a.txt"}) {
            EXPECT_NE(result.err.find(std::string("Not a full path, skipped: ") + entry + "\n"),
                      std::string::npos)
                << where << "\n" << result.err;
        }
        EXPECT_NE(result.err.find(SetStore() + " is damaged"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(At("kept/k.txt"))) << where;  // the full path was acted on
    }
    for (const char* where : {"one", "two"}) {
        EXPECT_EQ(ReadBytes(At(std::string(where) + "/docs/a.txt")), where);
        EXPECT_EQ(ReadBytes(At(std::string(where) + "/b.txt")), where);
    }
    // A change of the store keeps the entry, and the damaged file aside.
    CliResult added = Cli({"set-add", "Docs", At("docs")});
    EXPECT_EQ(added.status, 0) << added.err;
    EXPECT_NE(added.err.find("the damaged file was copied to"), std::string::npos) << added.err;
    SetList after;
    after.LoadFromBytes(ReadBytes(SetStore()));
    ASSERT_EQ(after.sets.size(), 2u);
    ASSERT_EQ(after.sets[0]->entries.size(), 4u);
    EXPECT_EQ(after.sets[0]->entries[0]->path, "docs");
}

TEST_F(InputRules, NamesThatDifferOnlyInLetterCaseTakeTheExactOneOrAreAmbiguous) {
    WriteFile("work1/w.txt", "1");
    WriteFile("work2/w.txt", "2");
    SetList sets;
    sets.sets.push_back(Set("Work", {At("work1")}));
    sets.sets.push_back(Set("WORK", {At("work2")}));
    ASSERT_TRUE(sets.Save(SetStore()));
    OperationList operations;
    for (const char* name : {"Work", "WORK", "work"}) {
        operations.operations.push_back(std::make_unique<Operation>());
        operations.operations.back()->kind = OPERATION_DELETE;
        operations.operations.back()->setName = name;
    }
    ASSERT_TRUE(operations.Save(BindingStore()));

    const std::string ambiguous =
        "The name \"work\" is ambiguous: \"Work\" and \"WORK\" differ only in letter case; give "
        "the exact name.";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set-remove", "work"}, {"show", "work"}, {"expand", "work"}, {"delete", "work"},
             {"set-rename", "work", "Other"}, {"set-add", "work", At("docs")},
             {"bind", "copy", "work", At("out")}, {"zip", "work", At("w.zip")},
             {"run", "delete:work"}, {"run", "3"}}) {
        ExpectRefused(args, ambiguous);
    }
    // Operations are found by their set name the same way.
    ExpectRefused({"ops", "delete:wORK"},
                  "The name \"wORK\" is ambiguous: \"Work\", \"WORK\" and \"work\" differ only "
                  "in letter case; give the exact name.");
    EXPECT_EQ(CliOk({"ops", "delete:work"}).out, "3\tDelete\twork\n");

    EXPECT_EQ(CliOk({"show", "WORK"}).out, At("work2") + "\tScan Sub-folder; All Files\n");
    EXPECT_EQ(CliOk({"ops", "delete:WORK"}).out, "2\tDelete\tWORK\n");
    // The exact name removes that set and the operations bound to it alone.
    CliOk({"set-remove", "WORK"});
    SetList left;
    ASSERT_TRUE(left.LoadFromBytes(ReadBytes(SetStore())));
    ASSERT_EQ(left.sets.size(), 1u);
    EXPECT_EQ(left.sets[0]->name, "Work");
    OperationList bound;
    ASSERT_TRUE(bound.LoadFromBytes(ReadBytes(BindingStore())));
    ASSERT_EQ(bound.operations.size(), 2u);
    EXPECT_EQ(bound.operations[0]->setName, "Work");
    EXPECT_EQ(bound.operations[1]->setName, "work");
    EXPECT_EQ(ReadBytes(At("work1/w.txt")), "1");
    // With one set of the name left, any spelling finds it.
    CliOk({"run", "2"});
    EXPECT_FALSE(fs::exists(At("work1/w.txt")));
}

TEST_F(InputRules, AnOverwriteModeNoDialogWritesIsDamageAndNeverAlways) {
    WriteFile("src/f.txt", "new");
    WriteFile("dest/src/f.txt", "keep me");
    SetList sets;
    sets.sets.push_back(Set("Src", {At("src")}));
    ASSERT_TRUE(sets.Save(SetStore()));
    OperationList operations;
    operations.operations.push_back(std::make_unique<Operation>());
    operations.operations[0]->kind = OPERATION_COPY;
    operations.operations[0]->setName = "Src";
    operations.operations[0]->destination = At("dest");
    operations.operations[0]->overwriteMode = 99;
    ASSERT_TRUE(operations.Save(BindingStore()));

    const std::string before = ReadBytes(BindingStore());
    const CliResult listed = Cli({"ops"});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(listed.out, "");
    EXPECT_NE(listed.err.find(BindingStore() + " is damaged; 0 operations could be read from it"),
              std::string::npos)
        << listed.err;
    const CliResult ran = Cli({"run", "copy:Src"});
    EXPECT_EQ(ran.status, cli::kExitUsage) << ran.err;
    EXPECT_EQ(ReadBytes(At("dest/src/f.txt")), "keep me");
    EXPECT_EQ(ReadBytes(BindingStore()), before);
}

}  // namespace
}  // namespace kivo::clitest
