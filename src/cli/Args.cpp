#include "cli/Args.h"

#include "cli/ExitCodes.h"

namespace kivo::cli {

std::optional<std::string> ParsedArgs::Value(const std::string& name) const {
    const auto found = given_.find(name);
    if (found == given_.end()) return std::nullopt;
    return found->second;
}

void ParsedArgs::RequireOperands(std::size_t min, std::size_t max,
                                 const std::string& command) const {
    if (operands.size() < min) throw UsageError(command + ": missing operand");
    if (operands.size() > max) throw UsageError(command + ": unexpected operand \"" + operands[max] + "\"");
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& defs) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            OptionsHelpRequested help;
            for (const OptionDef& def : defs) help.accepted.push_back(def.name);
            throw help;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        const OptionDef* def = nullptr;
        for (const OptionDef& candidate : defs) {
            if (candidate.name == name) def = &candidate;
        }
        if (def == nullptr) throw UsageError("unknown option \"" + name + "\"");
        if (parsed.given_.count(name) != 0) throw UsageError("option " + name + " given twice");
        std::string value;
        if (def->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError("option " + name + " needs a value");
            }
        } else if (inlineValue) {
            throw UsageError("option " + name + " takes no value");
        }
        parsed.given_[name] = value;
    }
    return parsed;
}

std::string OneOf(const ParsedArgs& args, const std::vector<std::string>& names) {
    std::string chosen;
    for (const std::string& name : names) {
        if (!args.Has(name)) continue;
        if (!chosen.empty()) throw UsageError("options " + chosen + " and " + name + " exclude each other");
        chosen = name;
    }
    return chosen;
}

}  // namespace kivo::cli
