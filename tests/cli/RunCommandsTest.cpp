// delete, copy, move, zip run on temporary trees: options reach the engine
// with the run dialogs' defaults, and a failed run exits 1 with its message.
#include "CliFixture.h"

namespace kivo::clitest {
namespace {

class RunCommands : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "new a");
        WriteFile("docs/sub/b.txt", "new b");
        CliOk({"set-add", "Docs", At("docs")});
    }

    void SetTime(const std::string& relative, int secondsFromSource) {
        const auto source = fs::last_write_time(At("docs/a.txt"));
        fs::last_write_time(At(relative), source + std::chrono::seconds(secondsFromSource));
    }
};

TEST_F(RunCommands, CopyFollowsTheOverwritePolicyWithIfOlderByDefault) {
    struct Case {
        std::vector<std::string> options;
        int destinationAge;  // seconds relative to the source
        std::string expected;
    };
    const Case cases[] = {
        {{}, -100, "new a"},
        {{}, +100, "old a"},
        {{"--overwrite", "never"}, -100, "old a"},
        {{"--overwrite", "always"}, +100, "new a"},
        {{"--overwrite=if-older"}, +100, "old a"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string out = "out" + std::to_string(++n);
        WriteFile(out + "/docs/a.txt", "old a");
        SetTime(out + "/docs/a.txt", c.destinationAge);
        std::vector<std::string> args = {"copy", "Docs", At(out)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult result = CliOk(args);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(ReadBytes(At(out + "/docs/a.txt")), c.expected) << n;
        EXPECT_EQ(ReadBytes(At(out + "/docs/sub/b.txt")), "new b") << n;
        EXPECT_EQ(ReadBytes(At("docs/a.txt")), "new a");
    }
}

TEST_F(RunCommands, CopyCreatesTheDestinationAndSkipsMissingFilesWhenAsked) {
    WriteFile("have/docs/a.txt", "old a");
    CliOk({"copy", "Docs", At("have"), "--skip-missing", "--overwrite", "always"});
    EXPECT_EQ(ReadBytes(At("have/docs/a.txt")), "new a");
    EXPECT_FALSE(fs::exists(At("have/docs/sub/b.txt")));

    CliOk({"copy", "Docs", At("deep/new/folder")});
    EXPECT_EQ(ReadBytes(At("deep/new/folder/docs/sub/b.txt")), "new b");
}

TEST_F(RunCommands, MoveRemovesEmptiedSourceFoldersByMode) {
    struct Case {
        std::string mode;  // empty: the default
        bool topStays;
        bool subStays;
    };
    const Case cases[] = {{"", false, false}, {"yes", false, false}, {"no", true, true},
                          {"sub", true, false}};
    int n = 0;
    for (const Case& c : cases) {
        WriteFile("docs/a.txt", "new a");
        WriteFile("docs/sub/b.txt", "new b");
        const std::string out = At("moved" + std::to_string(++n));
        std::vector<std::string> args = {"move", "Docs", out};
        if (!c.mode.empty()) args.insert(args.end(), {"--remove-empty", c.mode});
        CliOk(args);
        EXPECT_EQ(ReadBytes(out + "/docs/sub/b.txt"), "new b") << c.mode;
        EXPECT_FALSE(fs::exists(At("docs/a.txt"))) << c.mode;
        EXPECT_FALSE(fs::exists(At("docs/sub/b.txt"))) << c.mode;
        EXPECT_EQ(fs::exists(At("docs")), c.topStays) << c.mode;
        EXPECT_EQ(fs::exists(At("docs/sub")), c.subStays) << c.mode;
    }
}

TEST_F(RunCommands, DeleteErasesTheFilesAndRemovesFoldersByMode) {
    CliOk({"delete", "Docs", "--passes", "3", "--remove-empty", "sub"});
    EXPECT_FALSE(fs::exists(At("docs/a.txt")));
    EXPECT_FALSE(fs::exists(At("docs/sub")));
    EXPECT_TRUE(fs::exists(At("docs")));

    WriteFile("docs/c.txt", "c");
    CliOk({"delete", "Docs"});
    EXPECT_FALSE(fs::exists(At("docs")));
}

TEST_F(RunCommands, AFailedRunExitsOneWithTheProgramsMessage) {
    // A regular file where the destination needs the folder "docs".
    WriteFile("blocked/docs", "in the way");
    fs::remove(At("docs/sub/b.txt"));
    fs::remove(At("docs/sub"));
    WriteFile("plain", "a file, not a folder");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"copy", "Docs", At("blocked"), "--overwrite", "always"},
         "Error create file:\n" + At("blocked/docs/a.txt") + "\n"},
        {{"move", "Docs", At("blocked")}, "Error create file:\n" + At("blocked/docs/a.txt") + "\n"},
        {{"copy", "Docs", At("plain/sub")}, "Can not create folder:\n" + At("plain/sub") + "\n"},
        {{"zip", "Docs", At("plain/out.zip")}, "Error making zip file:\n" + At("plain/out.zip") + "\n"},
    };
    for (const Case& c : cases) {
        const CliResult result = Cli(c.args);
        EXPECT_EQ(result.status, 1) << c.args[0];
        EXPECT_EQ(result.err, c.message);
        EXPECT_EQ(result.out, "");
    }
    // The move stopped before deleting its source.
    EXPECT_EQ(ReadBytes(At("docs/a.txt")), "new a");
    EXPECT_EQ(ReadBytes(At("blocked/docs")), "in the way");
}

}  // namespace
}  // namespace kivo::clitest
