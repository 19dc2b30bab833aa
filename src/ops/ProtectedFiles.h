#pragma once
// The files a Copy or Move run must never replace: every file it lists
// (read later, or already read and still the only copy of a source that was
// skipped) and every file it has written. Two sources with the same relative
// name, or a source that is itself a destination, would otherwise have one
// file of the run overwrite another's data.
#include <string>

#include "scan/FileIdentities.h"

namespace kivo {

class ProtectedFiles {
public:
    // Filled by the scan, then sorted before the first Protects.
    FileIdentities& listed() { return listed_; }

    // True when the name `destination` (not what a link there leads to: a
    // rename replaces the link itself) is one of the run's files.
    bool Protects(const std::string& destination) const;
    // Records the file now at `destination`, just written by the run.
    void AddWritten(const std::string& destination);

private:
    FileIdentities listed_;
    FileIdentities written_;
};

}  // namespace kivo
