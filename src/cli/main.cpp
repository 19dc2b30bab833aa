// kivo-cli: drives the same core as the desktop program, on the same two
// stores, for scripts, cron jobs and timers.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/PathArgs.h"

using namespace kivo::cli;

namespace {

// Global options stand before the command word.
int Main(const std::vector<std::string>& args) {
    Context context;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(GeneralUsage().c_str(), stdout);
            return kExitOk;
        }
        if (arg == "-q") {
            context.quiet = true;
        } else if (arg == "--data-dir" || arg.rfind("--data-dir=", 0) == 0) {
            std::string value;
            if (arg == "--data-dir") {
                if (i + 1 >= args.size()) throw UsageError("option --data-dir needs a value");
                value = args[++i];
            } else {
                value = arg.substr(std::string("--data-dir=").size());
            }
            context.dataFolder = AbsolutePath(value);
            if (context.dataFolder.empty()) throw UsageError("--data-dir needs a folder");
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option \"" + arg + "\"");
        } else {
            break;
        }
    }
    if (i >= args.size()) throw UsageError("no command given");
    const Command* command = FindCommand(args[i]);
    if (command == nullptr) throw UsageError("unknown command \"" + args[i] + "\"");
    if (context.dataFolder.empty()) context.dataFolder = DefaultDataFolder();
    const Arguments commandArgs(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    try {
        return command->run(context, commandArgs);
    } catch (const HelpRequested&) {
        std::fputs(("Usage: kivo-cli [--data-dir DIR] [-q] " + std::string(command->usage)).c_str(),
                   stdout);
        return kExitOk;
    } catch (const UsageError& error) {
        PrintError(error.what());
        std::fprintf(stderr, "Try 'kivo-cli %s --help'.\n", command->name);
        return kExitUsage;
    }
}

// A listing cut short by a full disk or a closed file must not pass for a
// complete one: a script would act on half of it.
int CheckedOutput(int status) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
    PrintError("can not write to standard output");
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything else, so the dispositions seen are the inherited ones.
    CatchInterrupts();
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return CheckedOutput(Main(args));
    } catch (const UsageError& error) {
        PrintError(error.what());
        std::fputs("Try 'kivo-cli --help'.\n", stderr);
        return kExitUsage;
    } catch (const std::exception& error) {
        PrintError(error.what());
        return kExitFailed;
    }
}
