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
// when none was given: the first line of the source, without its line
// break, trimmed of white space at both ends. An unreadable source, and a
// first line longer than 65,536 bytes before trimming, are usage errors.
std::optional<std::string> ReadPassword(const ParsedArgs& args);

// The password of an archive to write (zip, bind zip): as ReadPassword,
// empty when no source was given, and a usage error ("The password is
// empty.") when a source gave nothing but white space.
std::string ReadZipPassword(const ParsedArgs& args);
// --aes asks for encryption, so it needs a password source.
void RequirePasswordForAes(const ParsedArgs& args);

// The first line of `text`, without its line break.
std::string FirstLine(const std::string& text);

}  // namespace kivo::cli
