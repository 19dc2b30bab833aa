#include "cli/Numbers.h"

#include "cli/ExitCodes.h"
#include "model/StringTable.h"

namespace kivo::cli {

std::uint64_t ParseWholeNumber(std::string_view text, const std::string& name, std::uint64_t min,
                               std::uint64_t max) {
    const auto refuse = [&] {
        return UsageError(FormatWith(LoadText(IDS_WHOLE_NUMBER_RANGE),
                                     {name, std::to_string(min), std::to_string(max)}));
    };
    if (text.empty()) throw refuse();
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw refuse();
        const auto digit = static_cast<std::uint64_t>(c - '0');
        // Leading zeros are harmless; a value past the range stays past it
        // without running over.
        if (digit > max || value > (max - digit) / 10) throw refuse();
        value = value * 10 + digit;
    }
    if (value < min) throw refuse();
    return value;
}

std::uint64_t WholeNumberOption(const ParsedArgs& args, const std::string& option,
                                const std::string& name, std::uint64_t min, std::uint64_t max,
                                std::uint64_t fallback) {
    const std::optional<std::string> value = args.Value(option);
    if (!value) return fallback;
    return ParseWholeNumber(*value, name, min, max);
}

}  // namespace kivo::cli
