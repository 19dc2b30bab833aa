// Passwords of archives to write: trimmed, never empty by mistake, never cut.
#include "CliFixture.h"

namespace kivo::clitest {
namespace {

constexpr std::size_t kLongest = 65536;

class PasswordRules : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        CliOk({"set-add", "Docs", At("docs")});
        CliOk({"bind", "delete", "Docs"});
    }
};

TEST_F(PasswordRules, AnEmptyOrOverlongPasswordWritesNothing) {
    const std::string empty = "The password is empty.";
    const std::string tooLong = "The password is longer than 65,536 bytes.";
    const struct {
        const char* what;
        std::string file;   // the password file's bytes, when `useStdin` is false
        bool useStdin;
        std::string message;
    } cases[] = {
        {"an empty file", "", false, empty},
        {"a blank first line", "  \t \nsecret\n", false, empty},
        {"an empty first line", "\nsecret\n", false, empty},
        {"stdin with an empty line", "\n", true, empty},
        {"stdin with spaces", "     ", true, empty},
        {"65,537 bytes in a file", std::string(kLongest + 1, 'p') + "\n", false, tooLong},
        {"65,537 bytes on stdin", std::string(kLongest + 1, 'p'), true, tooLong},
        {"65,536 bytes and spaces", " " + std::string(kLongest, 'p') + " \n", false, tooLong},
    };
    const std::string sets = ReadBytes(SetStore());
    const std::string bindings = ReadBytes(BindingStore());
    for (const auto& c : cases) {
        WriteFile("pw", c.file);
        const std::vector<std::string> source =
            c.useStdin ? std::vector<std::string>{"--password-stdin"}
                       : std::vector<std::string>{"--password-file", At("pw")};
        const CliOptions options{c.useStdin ? c.file : std::string(), {}, ""};
        std::vector<std::vector<std::string>> commands = {
            {"zip", "Docs", At("a.zip")},
            {"bind", "zip", "Docs", At("z"), "--name", "b"},
        };
        for (auto& args : commands) {
            args.insert(args.end(), source.begin(), source.end());
            const CliResult result = Cli(args, options);
            EXPECT_EQ(result.status, 2) << c.what << " " << args[0];
            EXPECT_EQ(result.err.rfind("kivo-cli: " + c.message + "\n", 0), 0u)
                << c.what << " " << args[0] << ": " << result.err;
        }
        EXPECT_FALSE(fs::exists(At("a.zip"))) << c.what;
        EXPECT_FALSE(fs::exists(At("z"))) << c.what;
        EXPECT_EQ(ReadBytes(SetStore()), sets) << c.what;
        EXPECT_EQ(ReadBytes(BindingStore()), bindings) << c.what;
        for (const auto& item : fs::directory_iterator(root_)) {
            EXPECT_EQ(item.path().filename().string().find(".a.zip"), std::string::npos) << c.what;
        }
    }
}

TEST_F(PasswordRules, PasswordsAreTrimmedAndTheLongestIsTakenWhole) {
    // The longest password, with a CRLF break: whole, and it alone opens the archive.
    const std::string longest(kLongest, 'q');
    WriteFile("long", longest + "\r\n");
    CliOk({"zip", "Docs", At("long.zip"), "--password-file", At("long")});
    WriteFile("cut", longest.substr(0, kLongest - 1) + "\n");
    EXPECT_EQ(Cli({"unzip", At("long.zip"), At("bad"), "--password-file", At("cut")}).status, 1);
    CliOk({"unzip", At("long.zip"), At("ok"), "--password-stdin"}, CliOptions{longest, {}, ""});
    EXPECT_EQ(ReadBytes(At("ok/docs/a.txt")), "alpha");

    // zip trims as bind zip and unzip do.
    WriteFile("spaced", " \topen sesame  \n");
    WriteFile("plain", "open sesame");
    CliOk({"zip", "Docs", At("spaced.zip"), "--password-file", At("spaced")});
    CliOk({"unzip", At("spaced.zip"), At("trimmed"), "--password-file", At("plain")});
    EXPECT_EQ(ReadBytes(At("trimmed/docs/a.txt")), "alpha");

    // unzip still takes no password, and an empty one.
    CliOk({"zip", "Docs", At("open.zip")});
    WriteFile("empty", "");
    CliOk({"unzip", At("open.zip"), At("open"), "--password-file", At("empty")});
    EXPECT_EQ(ReadBytes(At("open/docs/a.txt")), "alpha");
}

}  // namespace
}  // namespace kivo::clitest
