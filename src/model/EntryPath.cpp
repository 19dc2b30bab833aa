#include "model/EntryPath.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {

namespace {

// The root, also reached through a link to it.
bool NamesTheRoot(const std::string& path) {
    if (path == "/") return true;
    FindData root;
    FindData named;
    return GetFindData("/", root) && GetFindData(path, named) && named.device == root.device &&
           named.inode == root.inode;
}

}  // namespace

bool IsFullPath(std::string_view path) { return !path.empty() && path.front() == '/'; }

EntryPathResult StoredEntryPath(const std::string& chosen) {
    EntryPathResult result;
    if (!IsFullPath(chosen)) {
        result.problem = EntryPathProblem::NotFullPath;
        return result;
    }
    std::string resolved;
    result.error = ResolveParentSteps(chosen, resolved);
    if (result.error != 0) {
        result.problem = EntryPathProblem::Unreachable;
        return result;
    }
    if (NamesTheRoot(resolved)) {
        result.problem = EntryPathProblem::WholeFileSystem;
        return result;
    }
    result.stored = resolved;
    return result;
}

}  // namespace kivo
