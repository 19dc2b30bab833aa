#pragma once
// Where a password comes from. Never the command line, where every user
// of the machine can read it in the process list.
#include <optional>
#include <string>
#include <vector>

#include "cli/Args.h"

namespace kivo::cli {

// --password-file FILE, --password-stdin, --ask-password.
std::vector<OptionDef> PasswordOptions();

// The password from the one source given (at most one may be), or nothing
// when none was given. An unreadable source is a usage error.
std::optional<std::string> ReadPassword(const ParsedArgs& args);

// --aes asks for encryption, so it needs a password source.
void RequirePasswordForAes(const ParsedArgs& args);

// The first line of `text`, without its line break.
std::string FirstLine(const std::string& text);

}  // namespace kivo::cli
