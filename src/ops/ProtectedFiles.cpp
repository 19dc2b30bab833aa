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
    if (!GetFindData(destination, data, /*followLinks=*/false)) return;
    // A run writes each listed file at most once: room for that many at the
    // first write, so the array never doubles past what it can need.
    if (written_.Size() == 0) written_.Reserve(listed_.Size());
    written_.Add(data.device, data.inode);
}

}  // namespace kivo
