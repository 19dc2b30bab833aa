// Runs whose trees share data with the world outside the set, or with
// themselves: hard links, overlapping entries, destinations inside the set,
// and set folders that are links. Nothing outside the set is harmed, and
// every file passed over is named on standard error.
#include <sys/stat.h>

#include "CliFixture.h"

namespace kivo::clitest {
namespace {

class RunSafety : public CliFixture {};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST_F(RunSafety, DeleteOnlyUnlinksAFileWhoseDataAnotherLinkHolds) {
    // A line break in the name must not split the notice in two.
    const std::string name = "f\nx.txt";
    for (const char* passes : {"0", "1"}) {
        WriteFile("S/" + name, "kept by the backup");
        WriteFile("S/own.txt", "only here");
        fs::create_directories(At("backup"));
        fs::create_hard_link(At("S/" + name), At("backup/f.txt"));
        ASSERT_EQ(::chmod(At("backup/f.txt").c_str(), 0444), 0);
        CliOk({"set-add", "S", At("S")});

        const CliResult result = Cli({"delete", "S", "--passes", passes});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(ReadBytes(At("backup/f.txt")), "kept by the backup") << passes;
        EXPECT_EQ(ModeOf(At("backup/f.txt")), 0444u) << passes;
        EXPECT_FALSE(fs::exists(At("S"))) << passes;
        // Only a run asked to erase has a file it left unerased to name.
        const std::vector<std::string> expected =
            passes == std::string("1")
                ? std::vector<std::string>{"Deleted without erasing, another link holds its data: " +
                                           At("S/f?x.txt")}
                : std::vector<std::string>{};
        EXPECT_EQ(Lines(result.err), expected) << passes;
        CliOk({"set-remove", "S"});
        fs::remove_all(At("backup"));
    }
}

TEST_F(RunSafety, CopyAndMoveNeverOverwriteAFileOfTheSameRun) {
    struct Case {
        const char* command;
        std::vector<std::string> entries;  // relative to the tree
        std::string destination;
        std::vector<std::pair<std::string, std::string>> after;  // file, content ("" = gone)
        // Skipped source and the destination kept, one line each.
        std::vector<std::pair<std::string, std::string>> skipped;
    };
    // Each file's content is its own path, so any overwrite shows.
    const std::vector<std::string> files = {"a/x.txt", "b/x.txt", "D/x.txt", "y/S/T/f", "x/S/T/f"};
    const Case cases[] = {
        // The second x.txt would replace the first, already moved.
        {"move", {"a/x.txt", "b/x.txt"}, "D",
         {{"D/x.txt", "a/x.txt"}, {"a/x.txt", ""}, {"b/x.txt", "b/x.txt"}}, {{"b/x.txt", "D/x.txt"}}},
        // D/x.txt is a source not read yet, and then its own destination.
        {"copy", {"a/x.txt", "D/x.txt"}, "D",
         {{"D/x.txt", "D/x.txt"}, {"a/x.txt", "a/x.txt"}},
         {{"a/x.txt", "D/x.txt"}, {"D/x.txt", "D/x.txt"}}},
        // y/S/T/f would land on x/S/T/f before that file is moved.
        {"move", {"y/S", "x/S/T"}, "x",
         {{"x/T/f", "x/S/T/f"}, {"x/S/T/f", ""}, {"y/S/T/f", "y/S/T/f"}}, {{"y/S/T/f", "x/S/T/f"}}},
    };
    for (const Case& c : cases) {
        for (const std::string& file : files) WriteFile(file, file);
        std::vector<std::string> add = {"set-add", "Run"};
        for (const std::string& entry : c.entries) add.push_back(At(entry));
        CliOk(add);

        const CliResult result = Cli({c.command, "Run", At(c.destination), "--overwrite", "always"});
        EXPECT_EQ(result.status, 0) << result.err;
        for (const auto& [file, content] : c.after) {
            if (content.empty()) {
                EXPECT_FALSE(fs::exists(At(file))) << file;
            } else {
                EXPECT_EQ(ReadBytes(At(file)), content) << file;
            }
        }
        std::vector<std::string> expected;
        for (const auto& [source, kept] : c.skipped)
            expected.push_back("Skipped " + At(source) + ": its destination " + At(kept) +
                               " is a file of this run");
        EXPECT_EQ(Lines(result.err), expected);
        CliOk({"set-remove", "Run"});
        for (const char* folder : {"a", "b", "D", "x", "y"}) fs::remove_all(At(folder));
    }
}

TEST_F(RunSafety, CopyIntoAFolderTheSetScansIsRefusedBeforeAnythingIsMade) {
    WriteFile("x/S/sub/f.txt", "f");
    fs::create_directories(At("x/SS"));
    fs::create_directory_symlink(At("x/S/sub"), At("toSub"));
    CliOk({"set-add", "Scan", At("x/S")});
    CliOk({"set-add", "Flat", At("x/S"), "--no-subfolders"});
    struct Case {
        const char* set;
        std::string destination;  // relative to the tree
        std::string firstMade;    // the folder a refused run must not make
    };
    const Case refused[] = {
        {"Scan", "x/S", ""},
        {"Scan", "x/S/new/deeper", "x/S/new"},
        {"Scan", "toSub/new", "x/S/sub/new"},
    };
    for (const char* command : {"copy", "move"}) {
        for (const Case& c : refused) {
            const CliResult result = Cli({command, c.set, At(c.destination)});
            EXPECT_EQ(result.status, 1) << command << " " << c.destination;
            EXPECT_EQ(result.err, "Can not copy a folder into itself:\n" + At(c.destination) + "\n");
            if (!c.firstMade.empty()) {
                EXPECT_FALSE(fs::exists(At(c.firstMade))) << c.destination;
            }
            EXPECT_EQ(ReadBytes(At("x/S/sub/f.txt")), "f");
        }
    }
    // A name that only begins like the set folder's, and a folder the set
    // does not scan below, are fine destinations.
    CliOk({"copy", "Scan", At("x/SS/copy")});
    EXPECT_EQ(ReadBytes(At("x/SS/copy/S/sub/f.txt")), "f");
    CliOk({"copy", "Flat", At("x/S/sub")});
}

TEST_F(RunSafety, ASetFolderThatIsALinkIsFollowedAndKeptByDeleteAndMove) {
    for (const char* command : {"delete", "move"}) {
        WriteFile("real/a.txt", "a");
        WriteFile("real/inner/b.txt", "b");
        fs::create_directories(At("real/inner/empty"));
        fs::create_directory_symlink(At("real"), At("link"));
        CliOk({"set-add", "Linked", At("link")});

        std::vector<std::string> args = {command, "Linked"};
        if (command == std::string("move")) args.push_back(At("moved"));
        CliOk(args);
        EXPECT_FALSE(fs::exists(At("real/a.txt"))) << command;
        EXPECT_FALSE(fs::exists(At("real/inner"))) << command;
        // "Yes" acts as "Sub-folders only": the link and its folder stay.
        EXPECT_TRUE(fs::is_symlink(At("link"))) << command;
        EXPECT_TRUE(fs::is_directory(At("real"))) << command;
        if (command == std::string("move")) {
            EXPECT_EQ(ReadBytes(At("moved/link/a.txt")), "a");
            EXPECT_EQ(ReadBytes(At("moved/link/inner/b.txt")), "b");
        }
        CliOk({"set-remove", "Linked"});
        for (const char* path : {"real", "link", "moved"}) fs::remove_all(At(path));
    }
}

TEST_F(RunSafety, DeleteAndMoveOfASetHoldingTheDataFolderAreRefused) {
    WriteFile("docs/a.txt", "a");
    // The tree holds the data folder; the set takes the tree with sub-folders.
    CliOk({"set-add", "Tree", At("")});
    CliOk({"set-add", "Stores", SetStore()});
    CliOk({"bind", "delete", "Tree", "--passes", "1"});
    // Binding makes its destination folder; the refused run must leave it
    // empty.
    CliOk({"bind", "move", "Tree", At("bound-dest")});
    const std::string sets = ReadBytes(SetStore()), operations = ReadBytes(BindingStore());
    ASSERT_FALSE(sets.empty());
    ASSERT_FALSE(operations.empty());
    const std::vector<std::vector<std::string>> runs = {
        {"delete", "Tree"},
        {"delete", "Stores", "--passes", "3"},
        {"move", "Tree", At("new-dest")},
        {"move", "Stores", At("new-dest")},
        {"run", "delete:Tree"},
        {"run", "move:Tree"},
    };
    for (const auto& args : runs) {
        const CliResult result = Cli(args);
        EXPECT_EQ(result.status, 1) << args[0] << " " << args[1];
        EXPECT_EQ(result.err, "This set holds Kivo's own data folder: " + DataDir() + "\n");
        EXPECT_EQ(ReadBytes(SetStore()), sets);
        EXPECT_EQ(ReadBytes(BindingStore()), operations);
        EXPECT_EQ(ReadBytes(At("docs/a.txt")), "a");
        EXPECT_FALSE(fs::exists(At("new-dest")));
        EXPECT_TRUE(fs::is_empty(At("bound-dest")));
    }
    // Copy takes nothing away: it goes ahead.
    CliOk({"copy", "Stores", At("docs/copied")});
    EXPECT_EQ(ReadBytes(At("docs/copied/kivos.kvd")), sets);
}

TEST_F(RunSafety, FolderLinksBelowASetFolderAreNamedByDeleteAndMove) {
    for (const char* command : {"delete", "move"}) {
        WriteFile("outside/kept.txt", "kept");
        WriteFile("S/own.txt", "own");
        fs::create_directories(At("S/sub"));
        fs::create_directory_symlink(At("outside"), At("S/sub/linked"));
        CliOk({"set-add", "S", At("S")});
        std::vector<std::string> args = {command, "S"};
        if (command == std::string("move")) args.push_back(At("moved"));
        const CliResult result = Cli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Lines(result.err),
                  std::vector<std::string>{"Link not followed, skipped: " + At("S/sub/linked")})
            << command;
        EXPECT_FALSE(fs::exists(At("S/own.txt"))) << command;
        EXPECT_EQ(ReadBytes(At("outside/kept.txt")), "kept");
        CliOk({"set-remove", "S"});
        fs::remove_all(At("S"));
        fs::remove_all(At("moved"));
    }
}

}  // namespace
}  // namespace kivo::clitest
