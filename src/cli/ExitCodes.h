#pragma once
// The exit statuses scripts rely on, and the error that ends a command with
// a usage status.
#include <stdexcept>
#include <string>

namespace kivo::cli {

constexpr int kExitOk = 0;           // a run completed, or a query succeeded
constexpr int kExitFailed = 1;       // a run failed; its message went to stderr
constexpr int kExitUsage = 2;        // usage error or bad input; nothing changed
constexpr int kExitInterrupted = 130;  // stopped by SIGINT

// Thrown before anything is changed; main prints it and exits kExitUsage.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// A request to show a command's usage and exit 0 (COMMAND --help).
struct HelpRequested {};

}  // namespace kivo::cli
