// Bad input exits 2 with a message and changes nothing; --help describes
// every command and option.
#include "CliFixture.h"
#include "model/OperationList.h"

namespace kivo::clitest {
namespace {

class Usage : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("plain", "x");
        CliOk({"set-add", "Docs", At("docs")});
        CliOk({"set-add", "Other", At("plain")});
        CliOk({"bind", "copy", "Docs", At("existing")});
        CliOk({"zip", "Docs", At("a.zip")});
        // An operation whose set is gone.
        OperationList operations;
        ASSERT_TRUE(operations.Load(BindingStore()));
        auto stale = std::make_unique<Operation>();
        stale->setName = "Gone";
        stale->destination = At("new");
        operations.operations.push_back(std::move(stale));
        ASSERT_TRUE(operations.Save(BindingStore()));
    }
};

TEST_F(Usage, BadInputExitsTwoAndChangesNothing) {
    const std::string n = At("new");  // must never be created
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"bogus"},
        {"sets", "extra"},
        {"--frobnicate", "sets"},
        {"show"},
        {"show", "Nope"},
        {"set-add", "Docs"},
        {"set-add", "Docs", At("missing")},
        {"set-add", "Docs", At("docs"), At("missing")},
        {"set-add", "Fresh", At("docs"), "--include", " ; ,"},
        {"set-add", "Fresh", At("docs"), "--include", "*.a", "--exclude", "*.b"},
        {"set-add", std::string(25, 'l'), At("docs")},
        {"set-rename", "Docs", "other"},
        {"set-rename", "Docs", ""},
        {"set-rename", "Nope", "New"},
        {"set-remove", "Nope"},
        {"expand", "Nope"},
        {"delete", "Nope"},
        {"delete", "Docs", "--remove-empty", "maybe"},
        {"copy", "Nope", n},
        {"copy", "Docs", n, "--overwrite", "sometimes"},
        {"copy", "Docs", n, "--overwrite"},
        {"copy", "Docs", " "},
        {"move", "Docs", n, "--skip-missing=yes"},
        {"zip", "Nope", n + "/x.zip"},
        {"zip", "Docs", n + "/x.zip", "--password-file", At("missing")},
        {"zip", "Docs", n + "/x.zip", "--password-stdin", "--ask-password"},
        {"unzip", At("a.zip"), n, "docs/nothing.txt"},
        {"unzip", At("a.zip"), n, "--folder", "nowhere"},
        {"unzip", At("a.zip"), n, "--folder", "docs", "docs"},
        {"survey", At("missing")},
        {"bind"},
        {"bind", "rename", "Docs"},
        {"bind", "delete", "Nope"},
        {"bind", "delete", "Docs", "--passes", "1000"},
        {"bind", "delete", "Docs", "--passes", "7x"},
        {"bind", "copy", "Docs"},
        {"bind", "copy", "Nope", n},
        {"bind", "move", "Docs", n, "--remove-empty", "all"},
        {"bind", "zip", "Docs", n},
        {"bind", "zip", "Docs", n, "--name", "a", "--prefix", "b"},
        {"bind", "zip", "Docs", n, "--prefix", "backup:"},
        {"bind", "zip", "Docs", n, "--name", "x/y"},
        {"bind", "zip", "Docs", n, "--name", "   "},
        {"bind", "zip", "Docs", n, "--name", std::string(33, 'z')},
        {"op-remove", "0"},
        {"op-remove", "3"},
        {"op-remove", "one"},
        {"run", "9"},
        {"run", "2"},  // bound to a set that no longer exists
    };
    const std::string sets = ReadBytes(SetStore());
    const std::string bindings = ReadBytes(BindingStore());
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& arg : args) shown += arg + " ";
        const CliResult result = Cli(args);
        EXPECT_EQ(result.status, 2) << shown << "\n" << result.err;
        EXPECT_EQ(result.err.rfind("kivo-cli: ", 0), 0u) << shown << "\n" << result.err;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_EQ(ReadBytes(SetStore()), sets) << shown;
        EXPECT_EQ(ReadBytes(BindingStore()), bindings) << shown;
        EXPECT_FALSE(fs::exists(n)) << shown;
    }
}

TEST_F(Usage, HelpDescribesEveryCommandAndOption) {
    const CliResult general = RunCli(scratch_, {"--help"});
    EXPECT_EQ(general.status, 0);
    for (const char* command : {"sets", "show", "set-add", "set-remove", "set-rename", "expand",
                                "delete", "copy", "move", "zip", "list", "unzip", "survey", "ops",
                                "bind", "op-remove", "run", "--data-dir", "-q"}) {
        EXPECT_NE(general.out.find(command), std::string::npos) << command;
    }
    const std::vector<std::pair<std::string, std::vector<std::string>>> options = {
        {"set-add", {"--no-subfolders", "--include", "--exclude"}},
        {"delete", {"--passes", "--remove-empty"}},
        {"copy", {"--overwrite", "--skip-missing"}},
        {"move", {"--overwrite", "--skip-missing", "--remove-empty"}},
        {"zip", {"--password-file", "--password-stdin", "--ask-password"}},
        {"unzip", {"--folder", "--skip-existing", "--password-file", "ENTRY"}},
        {"survey", {"--no-subfolders"}},
        {"bind", {"--passes", "--overwrite", "--skip-missing", "--remove-empty", "--name",
                  "--prefix", "--password-stdin"}},
    };
    for (const auto& [command, names] : options) {
        const CliResult help = RunCli(scratch_, {command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        for (const std::string& name : names) {
            EXPECT_NE(help.out.find(name), std::string::npos) << command << " " << name;
        }
    }
}

}  // namespace
}  // namespace kivo::clitest
