#pragma once
// Paths typed on the command line. The desktop program only ever sees full
// paths (its pickers give nothing else); a saved operation run by cron from
// another working folder must find the same place, so every path is made
// absolute before it is stored or used.
#include <string>

namespace kivo::cli {

// Trimmed, made absolute against the working folder, "." and ".."
// components resolved by text (links are not followed), separators
// normalised. Empty stays empty.
std::string AbsolutePath(const std::string& typed);

// Trimmed and, when relative, put after the working folder; nothing else:
// what its "." and ".." mean is for the file system to say.
std::string FullPathAsTyped(const std::string& typed);

}  // namespace kivo::cli
