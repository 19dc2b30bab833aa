#pragma once
// Runs the built kivo-cli as a child process with its output captured.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace kivo::clitest {

struct CliResult {
    int status = -1;  // exit status, or 128 + signal number
    bool signalled = false;  // ended by a signal rather than by exiting
    std::string out;
    std::string err;
};

struct CliOptions {
    std::string stdinText;  // fed to standard input (else /dev/null)
    std::vector<std::pair<std::string, std::string>> env;  // set in the child
    std::string workDir;  // the child's working folder, when not empty
    int stderrFd = -1;    // the child's standard error, when not -1 (a terminal, say)
    int stdoutFd = -1;    // the child's standard output, when not -1
    std::vector<int> ignoredSignals = {};  // ignored in the child, as `nohup` ignores SIGHUP
};

// A running kivo-cli; output goes to files in `scratch` so a chatty child
// can never block on a full pipe.
class CliProcess {
public:
    CliProcess(const std::string& scratch, const std::vector<std::string>& args,
               const CliOptions& options = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return pid_; }
    // True once the child has ended (reaps it).
    bool HasExited();
    void Signal(int signal);
    CliResult Wait();

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int rawStatus_ = 0;
    std::string outPath_;
    std::string errPath_;
};

// Runs to the end.
CliResult RunCli(const std::string& scratch, const std::vector<std::string>& args,
                 const CliOptions& options = {});

}  // namespace kivo::clitest
