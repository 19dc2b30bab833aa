#include "platform/SymbolicLinks.h"

#include <unistd.h>

#include <cerrno>

#include "platform/Faults.h"

namespace kivo {

std::error_code MakeLinkAt(const FolderHandle& folder, const std::string& name,
                           const std::string& target) {
    if (!folder.IsOpen()) return ErrnoCode(EBADF);
    if (faults::ShouldFail(faults::Call::Open, folder.PathOf(name).c_str())) return ErrnoCode(errno);
    if (::symlinkat(target.c_str(), folder.fd(), name.c_str()) != 0) return ErrnoCode(errno);
    return {};
}

}  // namespace kivo
