// The progress line: drawn on standard error only when it is a terminal and
// -q was not given, wiped before the program's own messages.
#include <pty.h>
#include <unistd.h>

#include <thread>

#include "CliFixture.h"
#include "cli/TerminalProgress.h"

namespace kivo::clitest {
namespace {

class Progress : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        CliOk({"set-add", "Docs", At("docs")});
    }

    // Runs with standard error on a pseudo-terminal and returns what the
    // terminal received.
    std::string OnTerminal(const std::vector<std::string>& args, int& status) {
        int master = -1;
        int slave = -1;
        EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        CliOptions options;
        options.stderrFd = slave;
        std::string screen;
        // Drained while the child runs, so it never blocks on a full terminal.
        std::thread reader([&] {
            char buffer[4096];
            ssize_t got = 0;
            while ((got = read(master, buffer, sizeof buffer)) > 0) screen.append(buffer, static_cast<std::size_t>(got));
        });
        CliResult result = RunCli(scratch_, args, options);
        close(slave);  // the last writer gone, the reader sees the end
        reader.join();
        close(master);
        status = result.status;
        return screen;
    }
};

TEST_F(Progress, ATerminalSeesThePhaseAndACleanLineAtTheEnd) {
    int status = -1;
    const std::string screen = OnTerminal({"--data-dir", DataDir(), "copy", "Docs", At("out")}, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(screen.find("Scanning Files..."), std::string::npos) << screen;
    ASSERT_GE(screen.size(), 4u);
    EXPECT_EQ(screen.substr(screen.size() - 4), "\r\x1b[K") << screen;

    const std::string quiet = OnTerminal({"--data-dir", DataDir(), "-q", "copy", "Docs", At("q")}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(quiet, "");
}

TEST_F(Progress, AFailureMessageStartsOnAWipedLine) {
    WriteFile("blocked/docs", "in the way");
    int status = -1;
    const std::string screen =
        OnTerminal({"--data-dir", DataDir(), "copy", "Docs", At("blocked"), "--overwrite", "always"}, status);
    EXPECT_EQ(status, 1);
    // The terminal turns each line break into CR LF.
    const std::string message = "\r\x1b[KError create file:\r\n" + At("blocked/docs/a.txt") + "\r\n";
    ASSERT_GE(screen.size(), message.size()) << screen;
    EXPECT_EQ(screen.substr(screen.size() - message.size()), message) << screen;
}

}  // namespace
}  // namespace kivo::clitest

namespace kivo::clitest {
namespace {

// Archive entry names become the phase text of an extraction.
TEST(ProgressLine, ControlBytesOfANameNeverReachTheTerminal) {
    struct Case {
        std::string phase;
        std::string expectedStart;
    };
    const Case cases[] = {
        {"evil\x1b]0;title\x07.txt", "evil?]0;title?.txt  1 Files"},
        {"two\nlines\r.txt", "two?lines?.txt  1 Files"},
        {"del\x7f.txt", "del?.txt  1 Files"},
        {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt  1 Files"},  // UTF-8 stays as it is
    };
    for (const Case& c : cases) {
        const std::string line = cli::TerminalProgress::Compose(c.phase, "1 Files", 50, 200);
        EXPECT_EQ(line.rfind(c.expectedStart, 0), 0u) << line;
        EXPECT_EQ(line.substr(line.size() - 4), " 50%") << line;
    }
}

TEST(ProgressLine, ANarrowTerminalCutsBetweenCharacters) {
    // "é" is two bytes; a cut after 4 bytes would split it.
    const std::string line = cli::TerminalProgress::Compose("ab\xC3\xA9xyz", "", 0, 5);
    EXPECT_EQ(line, "ab\xC3\xA9");
    const std::string cut = cli::TerminalProgress::Compose("abc\xC3\xA9xyz", "", 0, 5);
    EXPECT_EQ(cut, "abc");
}

}  // namespace
}  // namespace kivo::clitest
