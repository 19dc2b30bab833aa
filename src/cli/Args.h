#pragma once
// Options and operands of one command. Options may stand anywhere among the
// operands; "--" ends the options; "--name=value" and "--name value" are the
// same. Unknown options, a missing value and a repeated option are usage
// errors.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/ExitCodes.h"

namespace kivo::cli {

struct OptionDef {
    std::string name;  // with its dashes: "--passes"
    bool takesValue = false;
};

class ParsedArgs {
public:
    std::vector<std::string> operands;

    bool Has(const std::string& name) const { return given_.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;

    // Usage errors unless the operand count lies in [min, max].
    void RequireOperands(std::size_t min, std::size_t max, const std::string& command) const;

private:
    friend ParsedArgs ParseArgs(const std::vector<std::string>&, const std::vector<OptionDef>&);
    std::map<std::string, std::string> given_;
};

// What ParseArgs throws for "--help": it names the options the command
// accepts, so its help can be checked against what it really parses.
struct OptionsHelpRequested : HelpRequested {
    std::vector<std::string> accepted;
};

// Throws OptionsHelpRequested when "--help" comes before "--".
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& defs);

// At most one of the named options; returns which, or empty.
std::string OneOf(const ParsedArgs& args, const std::vector<std::string>& names);

}  // namespace kivo::cli
