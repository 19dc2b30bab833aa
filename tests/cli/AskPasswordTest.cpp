// --ask-password: the prompt on the controlling terminal, without echo, and
// a terminal left as it was found even when Ctrl+C ends the prompt.
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "CliFixture.h"

namespace kivo::clitest {
namespace {

// kivo-cli with a pseudo-terminal as its controlling terminal and as all
// three standard streams.
class OnTerminal {
public:
    explicit OnTerminal(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {KIVO_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& arg : argv) pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            execv(pointers[0], pointers.data());
            _exit(127);
        }
    }
    ~OnTerminal() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }
    OnTerminal(const OnTerminal&) = delete;
    OnTerminal& operator=(const OnTerminal&) = delete;

    bool Started() const { return pid_ > 0 && master_ >= 0; }
    pid_t pid() const { return pid_; }
    int master() const { return master_; }

    // Reads until `text` has appeared (true) or the child is gone (false).
    bool ReadUntil(const std::string& text) {
        char c = 0;
        while (screen_.find(text) == std::string::npos) {
            if (read(master_, &c, 1) != 1) return false;
            screen_ += c;
        }
        return true;
    }
    void Type(const std::string& text) const {
        ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // Drains the terminal until the child has closed it, then reaps it:
    // its exit status, or 128 + the signal that ended it.
    int Finish() {
        char buffer[256];
        ssize_t got = 0;
        while ((got = read(master_, buffer, sizeof buffer)) > 0) screen_.append(buffer, static_cast<std::size_t>(got));
        int raw = 0;
        waitpid(pid_, &raw, 0);
        reaped_ = true;
        return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : WEXITSTATUS(raw);
    }
    const std::string& screen() const { return screen_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    bool reaped_ = false;
    std::string screen_;
};

bool EchoOn(int terminal) {
    termios modes{};
    return tcgetattr(terminal, &modes) == 0 && (modes.c_lflag & ECHO) != 0;
}

class AskPassword : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("pw", "open sesame\n");
        CliOk({"set-add", "Docs", At("docs")});
    }
};

TEST_F(AskPassword, TheTypedPasswordIsNotEchoedAndReachesTheArchive) {
    OnTerminal cli({"--data-dir", DataDir(), "-q", "zip", "Docs", At("a.zip"), "--ask-password"});
    ASSERT_TRUE(cli.Started());
    ASSERT_TRUE(cli.ReadUntil("Password: ")) << cli.screen();
    EXPECT_FALSE(EchoOn(cli.master()));
    cli.Type("open sesame\n");
    EXPECT_EQ(cli.Finish(), 0) << cli.screen();
    EXPECT_EQ(cli.screen().find("sesame"), std::string::npos) << cli.screen();
    EXPECT_TRUE(EchoOn(cli.master()));

    CliOk({"unzip", At("a.zip"), At("out"), "--password-file", At("pw")});
    EXPECT_EQ(ReadBytes(At("out/docs/a.txt")), "alpha");
    EXPECT_EQ(Cli({"unzip", At("a.zip"), At("none")}).status, 1);
}

TEST_F(AskPassword, EveryStopSignalAtThePromptRestoresEchoAndChangesNothing) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        OnTerminal cli({"--data-dir", DataDir(), "-q", "zip", "Docs", At("a.zip"), "--ask-password"});
        ASSERT_TRUE(cli.Started());
        ASSERT_TRUE(cli.ReadUntil("Password: ")) << cli.screen();
        cli.Type("half");
        kill(cli.pid(), signal);
        EXPECT_EQ(cli.Finish(), 128 + signal) << signal << cli.screen();
        EXPECT_TRUE(EchoOn(cli.master())) << signal;
        EXPECT_FALSE(fs::exists(At("a.zip"))) << signal;
    }
}

}  // namespace
}  // namespace kivo::clitest
