#include "cli/Password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/ExitCodes.h"

namespace kivo::cli {

namespace {

constexpr std::size_t kMaxPasswordFile = 64 * 1024;

volatile std::sig_atomic_t gPromptInterrupted = 0;

extern "C" void OnPromptInterrupt(int) { gPromptInterrupted = 1; }

// Read as a stream, not as a regular file: `--password-file <(pass show x)`
// and `--password-file /dev/stdin` hand over a pipe. Reading stops at the
// end of the first line, so a writer that keeps its end open does not hold
// the run up.
std::string FromFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw UsageError("can not read the password file " + path);
    std::string text(kMaxPasswordFile, '\0');
    std::size_t total = 0;
    bool failed = false;
    while (total < text.size()) {
        const ssize_t got = read(fd, text.data() + total, text.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        const bool lineEnded =
            std::memchr(text.data() + total, '\n', static_cast<std::size_t>(got)) != nullptr;
        total += static_cast<std::size_t>(got);
        if (lineEnded) break;
    }
    close(fd);
    if (failed) throw UsageError("can not read the password file " + path);
    text.resize(total);
    return FirstLine(text);
}

std::string FromStdin() {
    std::string line;
    if (!std::getline(std::cin, line) && line.empty()) {
        throw UsageError("no password on standard input");
    }
    return FirstLine(line);
}

// Prompts on the controlling terminal, not on stdout or stderr, which may
// be redirected; echo is off while the password is typed.
std::string FromTerminal() {
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) throw UsageError("--ask-password needs a terminal");
    // Ctrl+C at the prompt must not end the program with echo still off:
    // the read is interrupted (no restart), the terminal restored, and only
    // then does SIGINT take its default course.
    gPromptInterrupted = 0;
    struct sigaction onInterrupt {};
    struct sigaction previous {};
    onInterrupt.sa_handler = OnPromptInterrupt;
    sigemptyset(&onInterrupt.sa_mask);
    sigaction(SIGINT, &onInterrupt, &previous);
    termios saved{};
    const bool isTerminal = tcgetattr(tty, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    static const char kPrompt[] = "Password: ";
    ssize_t ignored = write(tty, kPrompt, sizeof kPrompt - 1);
    (void)ignored;
    std::string line;
    char c = 0;
    while (gPromptInterrupted == 0) {
        const ssize_t got = read(tty, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got != 1 || c == '\n') break;
        line += c;
    }
    if (isTerminal) tcsetattr(tty, TCSAFLUSH, &saved);
    close(tty);
    sigaction(SIGINT, &previous, nullptr);
    if (gPromptInterrupted != 0) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
    return FirstLine(line);
}

}  // namespace

std::vector<OptionDef> PasswordOptions() {
    return {{"--password-file", true}, {"--password-stdin", false}, {"--ask-password", false}};
}

std::optional<std::string> ReadPassword(const ParsedArgs& args) {
    const std::string source = OneOf(args, {"--password-file", "--password-stdin", "--ask-password"});
    if (source.empty()) return std::nullopt;
    if (source == "--password-file") return FromFile(*args.Value("--password-file"));
    if (source == "--password-stdin") return FromStdin();
    return FromTerminal();
}

void RequirePasswordForAes(const ParsedArgs& args) {
    if (args.Has("--aes") &&
        OneOf(args, {"--password-file", "--password-stdin", "--ask-password"}).empty())
        throw UsageError("--aes needs a password (--password-file, --password-stdin or --ask-password)");
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace kivo::cli
