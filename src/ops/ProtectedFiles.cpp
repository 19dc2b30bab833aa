#include "ops/ProtectedFiles.h"

#include "platform/FileSystem.h"

namespace kivo {

bool ProtectedFiles::Protects(const std::string& destination) const {
    FindData data;
    if (!GetFindData(destination, data, /*followLinks=*/false)) return false;
    return listed_.Contains(data.device, data.inode) || written_.Contains(data.device, data.inode);
}

void ProtectedFiles::AddWritten(const std::string& destination) {
    FindData data;
    if (GetFindData(destination, data, /*followLinks=*/false)) written_.Add(data.device, data.inode);
}

}  // namespace kivo
