#pragma once
// Symbolic links made relative to a folder handle.
#include <string>
#include <system_error>

#include "platform/Folder.h"

namespace kivo {

// Makes the symbolic link `name` in `folder` pointing to `target`
// (symlinkat); EEXIST when the name is taken. Fault point Open, armed by
// the link's path.
std::error_code MakeLinkAt(const FolderHandle& folder, const std::string& name,
                           const std::string& target);

}  // namespace kivo
