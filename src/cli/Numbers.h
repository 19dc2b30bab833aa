#pragma once
// Numbers typed on the command line. A script that means "3 passes" and
// types "3x", "-1" or "1000" must hear about it: read by the dialogs' rule
// (leading digits, capped) those would quietly mean another number, and
// for the erase passes a plain unlink instead of an erase.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/Args.h"

namespace kivo::cli {

// `text` as a decimal number from `min` to `max`: digits only (no sign, no
// blanks, no other base). Anything else is a usage error, "NAME must be a
// whole number from MIN to MAX."
std::uint64_t ParseWholeNumber(std::string_view text, const std::string& name, std::uint64_t min,
                               std::uint64_t max);

// The value of `option` read so; `fallback` when the option was not given.
std::uint64_t WholeNumberOption(const ParsedArgs& args, const std::string& option,
                                const std::string& name, std::uint64_t min, std::uint64_t max,
                                std::uint64_t fallback);

}  // namespace kivo::cli
