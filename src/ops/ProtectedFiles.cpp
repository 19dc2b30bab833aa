#include "ops/ProtectedFiles.h"

namespace kivo {

bool ProtectedFiles::Protects(const FileId& destination) const {
    return listed_.Contains(destination.device, destination.inode) ||
           written_.Contains(destination.device, destination.inode);
}

void ProtectedFiles::AddWritten(const FileId& written) {
    if (!written.Known()) return;
    // A run writes each listed file at most once: room for that many at the
    // first write, so the array never doubles past what it can need.
    if (written_.Size() == 0) written_.Reserve(listed_.Size());
    written_.Add(written.device, written.inode);
}

}  // namespace kivo
