#pragma once
// The paths a set entry may hold. An entry names one place for every
// program, whatever folder a run starts from: a full path, with its ".."
// steps taken as the kernel takes them, and never the root itself (a run
// over the whole file system is nothing a set can mean).
#include <string>
#include <string_view>

namespace kivo {

// True for a path that starts at the root. Anything else in a store did not
// come from the set editor or kivo-cli and is not acted on.
bool IsFullPath(std::string_view path);

enum class EntryPathProblem {
    None,
    NotFullPath,      // the chosen path does not start at the root
    Unreachable,      // a ".." step leaves something the kernel can not enter
    WholeFileSystem,  // the path names the root (also through a link)
};

struct EntryPathResult {
    std::string stored;  // what the entry keeps, when `problem` is None
    EntryPathProblem problem = EntryPathProblem::None;
    int error = 0;       // the errno of an Unreachable path
};

// The path a new entry keeps for the full path `chosen` (see
// ResolveParentSteps): the place the kernel reaches through it.
EntryPathResult StoredEntryPath(const std::string& chosen);

}  // namespace kivo
