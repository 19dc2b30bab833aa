#include "cli/Password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/ExitCodes.h"
#include "platform/Paths.h"

namespace kivo::cli {

namespace {

// Longer first lines are refused, never cut: an archive made with a cut
// password would open only with the cut one.
constexpr std::size_t kMaxPasswordBytes = 65536;

constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gPromptSignal = 0;

extern "C" void OnPromptSignal(int signal) { gPromptSignal = signal; }

[[noreturn]] void RefuseLongPassword() {
    throw UsageError("The password is longer than 65,536 bytes.");
}

// The line break ends the line and is not part of it; nor is the CR of a
// CRLF break.
std::string WithoutLineBreak(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The first line `fd` delivers, read as a stream, not as a regular file:
// `--password-file <(pass show x)` and `--password-file /dev/stdin` hand
// over a pipe. Reading stops at the end of the first line, so a writer
// that keeps its end open does not hold the run up, and just past the
// longest line allowed (with room for a CRLF), so a huge file is never
// read whole. False when it could not be read; `any` tells whether a
// single byte came.
bool FirstLineOf(int fd, std::string& line, bool& any) {
    std::string text(kMaxPasswordBytes + 2, '\0');
    std::size_t total = 0;
    bool lineEnded = false;
    while (total < text.size() && !lineEnded) {
        const ssize_t got = read(fd, text.data() + total, text.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        lineEnded = std::memchr(text.data() + total, '\n', static_cast<std::size_t>(got)) != nullptr;
        total += static_cast<std::size_t>(got);
    }
    any = total > 0;
    text.resize(total);
    line = WithoutLineBreak(text.substr(0, text.find('\n')));
    if (line.size() > kMaxPasswordBytes) RefuseLongPassword();
    return true;
}

std::string FromFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw UsageError("can not read the password file " + path);
    std::string line;
    bool any = false;
    bool read = false;
    try {
        read = FirstLineOf(fd, line, any);
    } catch (...) {
        close(fd);
        throw;
    }
    close(fd);
    if (!read) throw UsageError("can not read the password file " + path);
    return line;
}

std::string FromStdin() {
    std::string line;
    bool any = false;
    if (!FirstLineOf(STDIN_FILENO, line, any) || !any) {
        throw UsageError("no password on standard input");
    }
    return line;
}

// Prompts on the controlling terminal, not on stdout or stderr, which may
// be redirected; echo is off while the password is typed.
std::string FromTerminal() {
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) throw UsageError("--ask-password needs a terminal");
    // A signal at the prompt must not end the program with echo still off:
    // the read is interrupted (no restart), the terminal restored, and only
    // then does the signal take its default course. A signal the program
    // ignores (SIGHUP under nohup) stays ignored.
    gPromptSignal = 0;
    struct sigaction previous[std::size(kPromptSignals)] {};
    bool caught[std::size(kPromptSignals)] = {};
    for (std::size_t i = 0; i < std::size(kPromptSignals); ++i) {
        if (sigaction(kPromptSignals[i], nullptr, &previous[i]) != 0 ||
            previous[i].sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction onSignal {};
        onSignal.sa_handler = OnPromptSignal;
        sigemptyset(&onSignal.sa_mask);
        caught[i] = sigaction(kPromptSignals[i], &onSignal, nullptr) == 0;
    }
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
    bool tooLong = false;
    char c = 0;
    while (gPromptSignal == 0) {
        const ssize_t got = read(tty, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got != 1 || c == '\n') break;
        // The rest of a line too long is read and dropped, so it does not
        // reach the shell once the program has ended.
        if (line.size() <= kMaxPasswordBytes) {
            line += c;
        } else {
            tooLong = true;
        }
    }
    if (isTerminal) tcsetattr(tty, TCSAFLUSH, &saved);
    close(tty);
    for (std::size_t i = 0; i < std::size(kPromptSignals); ++i) {
        if (caught[i]) sigaction(kPromptSignals[i], &previous[i], nullptr);
    }
    if (gPromptSignal != 0) {
        const int signal = gPromptSignal;
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    line = WithoutLineBreak(line);
    if (tooLong || line.size() > kMaxPasswordBytes) RefuseLongPassword();
    return line;
}

}  // namespace

std::vector<OptionDef> PasswordOptions() {
    return {{"--password-file", true}, {"--password-stdin", false}, {"--ask-password", false}};
}

std::optional<std::string> ReadPassword(const ParsedArgs& args) {
    const std::string source = OneOf(args, {"--password-file", "--password-stdin", "--ask-password"});
    if (source.empty()) return std::nullopt;
    // Trimmed as every dialog trims what was typed into its password box.
    if (source == "--password-file") return Trim(FromFile(*args.Value("--password-file")));
    if (source == "--password-stdin") return Trim(FromStdin());
    return Trim(FromTerminal());
}

std::string ReadZipPassword(const ParsedArgs& args) {
    const std::optional<std::string> password = ReadPassword(args);
    if (!password) return std::string();
    // The zip dialog shows an empty box as no encryption; a password option
    // that delivers nothing is a mistake, which would give an archive
    // anyone can open.
    if (password->empty()) throw UsageError("The password is empty.");
    return *password;
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
