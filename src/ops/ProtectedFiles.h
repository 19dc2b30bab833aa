#pragma once
// The files a Copy or Move run must never replace: every file it lists
// (read later, or already read and still the only copy of a source that was
// skipped) and every file it has written. Two sources with the same relative
// name, or a source that is itself a destination, would otherwise have one
// file of the run overwrite another's data.
#include "platform/Folder.h"
#include "scan/FileIdentities.h"

namespace kivo {

class ProtectedFiles {
public:
    // Filled by the scan, then sorted before the first Protects.
    FileIdentities& listed() { return listed_; }

    // True when the file found at a destination name (the name itself, not
    // what a link there leads to: a rename replaces the link) is one of the
    // run's files.
    bool Protects(const FileId& destination) const;
    // Records a file the run has just written.
    void AddWritten(const FileId& written);

private:
    FileIdentities listed_;
    FileIdentities written_;
};

}  // namespace kivo
