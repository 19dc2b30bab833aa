#pragma once
// Where a saved Zip operation writes its archive.
#include <string>

#include "platform/FileTime.h"

namespace kivo {

class Operation;

// With the date-and-time flag: folder/<name>YYMMDDhhmmss.zip from `localNow`
// (two-digit year). Otherwise folder/<name> when the name already ends in
// ".zip" (any case) at a dot after its first character, else
// folder/<name>.zip. The result is normalised.
std::string SavedZipOutputPath(const std::string& folder, const std::string& name, bool byTime,
                               const TimeParts& localNow);
std::string SavedZipOutputPath(const Operation& operation, const TimeParts& localNow);
// The same at the current local time.
std::string SavedZipOutputPath(const Operation& operation);

}  // namespace kivo
