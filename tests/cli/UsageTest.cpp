// Bad input exits 2 with a message and changes nothing; --help describes
// every command and option.
#include <cctype>
#include <optional>

#include "CliFixture.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
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

// The options a command's parser accepts for `args` (which end in --help),
// or nothing when the command refuses them. The parser names them itself,
// so a new option can not be left out of the help unnoticed.
std::optional<std::vector<std::string>> AcceptedOptions(const cli::Command& command,
                                                        const cli::Context& context,
                                                        const std::vector<std::string>& args) {
    try {
        command.run(context, args);
    } catch (const cli::OptionsHelpRequested& help) {
        return help.accepted;
    } catch (const cli::HelpRequested&) {
        return std::vector<std::string>{};
    } catch (const cli::UsageError&) {
        return std::nullopt;
    }
    ADD_FAILURE() << command.name << " ran instead of showing its help";
    return std::nullopt;
}

// The overview's synopses, each joined with its continuation lines and
// without its leading spaces.
std::vector<std::string> Synopses(const std::string& overview) {
    std::vector<std::string> synopses;
    const std::size_t commands = overview.find("Commands:\n");
    if (commands == std::string::npos) return synopses;
    for (const std::string& line : Lines(overview.substr(commands))) {
        if (line.rfind("   ", 0) == 0 && !synopses.empty()) {
            synopses.back() += line;
        } else if (line.rfind("  ", 0) == 0) {
            synopses.push_back(line.substr(2));
        }
    }
    return synopses;
}

// `text` names the option as a whole word ("--name", not "--names").
bool NamesOption(const std::string& text, const std::string& option) {
    const auto wordCharacter = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
    };
    for (std::size_t at = text.find(option); at != std::string::npos;
         at = text.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        if ((at == 0 || !wordCharacter(text[at - 1])) &&
            (end == text.size() || !wordCharacter(text[end]))) {
            return true;
        }
    }
    return false;
}

TEST_F(Usage, HelpListsEveryCommandAndOptionTheParserAccepts) {
    const CliResult general = RunCli(scratch_, {"--help"});
    EXPECT_EQ(general.status, 0);
    EXPECT_EQ(general.out, cli::GeneralUsage());
    const std::vector<std::string> synopses = Synopses(general.out);
    const auto synopsisOf = [&synopses](const std::string& words) {
        for (const std::string& synopsis : synopses) {
            if (synopsis.rfind(words + " ", 0) == 0 || synopsis == words) return synopsis;
        }
        return std::string();
    };
    cli::Context context;
    context.dataFolder = DataDir();
    context.quiet = true;
    for (const cli::Command& command : cli::AllCommands()) {
        const auto own = AcceptedOptions(command, context, {"--help"});
        ASSERT_TRUE(own.has_value()) << command.name;
        // Every command word may also be a sub-command of this one (bind zip).
        std::vector<std::pair<std::string, std::vector<std::string>>> forms = {{command.name, *own}};
        for (const cli::Command& word : cli::AllCommands()) {
            const auto options = AcceptedOptions(command, context, {word.name, "--help"});
            if (options && *options != *own) {
                forms.push_back({std::string(command.name) + " " + word.name, *options});
            }
        }
        for (const auto& [words, options] : forms) {
            const std::string synopsis = synopsisOf(words);
            EXPECT_FALSE(synopsis.empty()) << "no synopsis of \"" << words << "\" in\n" << general.out;
            for (const std::string& option : options) {
                EXPECT_TRUE(NamesOption(synopsis, option)) << words << " " << option;
                EXPECT_TRUE(NamesOption(command.usage, option)) << words << " " << option;
            }
        }
        const CliResult help = RunCli(scratch_, {command.name, "--help"});
        EXPECT_EQ(help.status, 0) << command.name;
        EXPECT_NE(help.out.find(command.usage), std::string::npos) << command.name;
    }
    EXPECT_TRUE(NamesOption(general.out, "--data-dir"));
    EXPECT_TRUE(NamesOption(general.out, "-q"));
}

}  // namespace
}  // namespace kivo::clitest
