#include "CliRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kivo::clitest {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int Counter() {
    static int counter = 0;
    return ++counter;
}

}  // namespace

CliProcess::CliProcess(const std::string& scratch, const std::vector<std::string>& args,
                       const CliOptions& options) {
    const std::string stem = scratch + "/run" + std::to_string(Counter());
    outPath_ = stem + ".out";
    errPath_ = stem + ".err";
    const std::string inPath = stem + ".in";
    {
        std::ofstream in(inPath, std::ios::binary);
        in << options.stdinText;
    }
    std::vector<std::string> argv = {KIVO_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(options.stdoutFd >= 0 ? options.stdoutFd : out, 1);
        dup2(options.stderrFd >= 0 ? options.stderrFd : err, 2);
        for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        for (const int ignored : options.ignoredSignals) signal(ignored, SIG_IGN);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(127);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
}

CliProcess::~CliProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &rawStatus_, 0);
    }
}

bool CliProcess::HasExited() {
    if (reaped_) return true;
    if (waitpid(pid_, &rawStatus_, WNOHANG) == pid_) reaped_ = true;
    return reaped_;
}

void CliProcess::Signal(int signal) {
    if (!reaped_) kill(pid_, signal);
}

CliResult CliProcess::Wait() {
    if (!reaped_) {
        waitpid(pid_, &rawStatus_, 0);
        reaped_ = true;
    }
    CliResult result;
    if (WIFEXITED(rawStatus_)) result.status = WEXITSTATUS(rawStatus_);
    if (WIFSIGNALED(rawStatus_)) result.status = 128 + WTERMSIG(rawStatus_);
    result.signalled = WIFSIGNALED(rawStatus_);
    result.out = ReadAll(outPath_);
    result.err = ReadAll(errPath_);
    return result;
}

CliResult RunCli(const std::string& scratch, const std::vector<std::string>& args,
                 const CliOptions& options) {
    CliProcess process(scratch, args, options);
    return process.Wait();
}

}  // namespace kivo::clitest
