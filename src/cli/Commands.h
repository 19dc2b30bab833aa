#pragma once
// The commands of kivo-cli. Each takes the context and its own arguments
// (after the command word) and returns the exit status; a usage error is
// thrown as UsageError before anything changes.
#include <string>
#include <vector>

#include "cli/Stores.h"

namespace kivo::cli {

using Arguments = std::vector<std::string>;
using CommandFunction = int (*)(const Context&, const Arguments&);

struct Command {
    const char* name;
    CommandFunction run;
    const char* usage;  // first line: synopsis; then one line per option
};

// Sets (SetCommands.cpp).
int CommandSets(const Context& context, const Arguments& args);
int CommandShow(const Context& context, const Arguments& args);
int CommandSetAdd(const Context& context, const Arguments& args);
int CommandSetRemove(const Context& context, const Arguments& args);
int CommandSetRename(const Context& context, const Arguments& args);
int CommandExpand(const Context& context, const Arguments& args);

// Runs on a set (RunCommands.cpp).
int CommandDelete(const Context& context, const Arguments& args);
int CommandCopy(const Context& context, const Arguments& args);
int CommandMove(const Context& context, const Arguments& args);
int CommandZip(const Context& context, const Arguments& args);

// Archives (ArchiveCommands.cpp).
int CommandList(const Context& context, const Arguments& args);
int CommandUnzip(const Context& context, const Arguments& args);
int CommandTest(const Context& context, const Arguments& args);

// The file-type survey (SurveyCommand.cpp).
int CommandSurvey(const Context& context, const Arguments& args);

// Saved operations (OperationCommands.cpp).
int CommandOps(const Context& context, const Arguments& args);
int CommandBind(const Context& context, const Arguments& args);
int CommandOpRemove(const Context& context, const Arguments& args);
int CommandRun(const Context& context, const Arguments& args);

// The table, in the order the help lists them (Help.cpp).
const std::vector<Command>& AllCommands();
const Command* FindCommand(const std::string& name);
// The general usage text.
std::string GeneralUsage();

}  // namespace kivo::cli
