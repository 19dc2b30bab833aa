#pragma once
// The two store files, looked up afresh for every load and save so a data
// folder that disappeared while the program runs is created again.
#include <string>

#include "platform/Paths.h"

namespace kivo {

inline std::string SetStoreFile() { return SetStorePath(DataFolder()); }
inline std::string BindingStoreFile() { return BindingStorePath(DataFolder()); }

}  // namespace kivo
