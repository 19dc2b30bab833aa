#pragma once
// A new file built where nobody else can read it and no name shows it
// until it is complete.
//
// The data goes into an unnamed file (O_TMPFILE, mode 0600) in the folder
// that will hold it; when it is complete the caller sets its final mode and
// times through file() (fchmod, futimens) and gives it its name with
// linkat("/proc/self/fd/N", AT_SYMLINK_FOLLOW). A process killed at any
// point leaves nothing behind. Where the file system or the kernel refuses
// an unnamed file (EOPNOTSUPP, EISDIR, EINVAL) or /proc is missing, a named
// hidden temporary "<prefix>XXXXXX" is created instead, mode 0600 from its
// creation, and renamed at the end (a kill leaves that one behind).
//
// The File's path() is the final path, so faults armed by the
// destination's path match every step: Open (creation), Write, Flush,
// SetAttributes and SetTimes through file(), Rename (naming).
#include <string>
#include <system_error>

#include "platform/File.h"
#include "platform/Folder.h"

namespace kivo {

class PrivateTemp {
public:
    PrivateTemp() = default;
    ~PrivateTemp();  // Discard()
    PrivateTemp(const PrivateTemp&) = delete;
    PrivateTemp& operator=(const PrivateTemp&) = delete;

    // Creates the file that will become `finalName` in `folder` (which
    // need not stay open: the temporary keeps a handle of its own).
    std::error_code Create(const FolderHandle& folder, const std::string& finalName,
                           const std::string& hiddenPrefix = ".kvt-");

    bool IsOpen() const { return file_.IsOpen(); }
    File& file() { return file_; }
    // True for an unnamed (O_TMPFILE) file, false for the named fallback.
    bool IsUnnamed() const { return unnamed_; }
    // The hidden name of the named fallback; empty for an unnamed file.
    const std::string& tempName() const { return tempName_; }
    const std::string& finalName() const { return finalName_; }
    const FolderHandle& folder() const { return folder_; }

    // Gives the complete file its final name only if that name is free:
    // EEXIST when something is there, which is then left as it was and
    // the temporary kept for another try.
    std::error_code LinkAsNew();
    // Gives the complete file its final name, replacing the file there (a
    // folder of that name is never replaced), through a hidden name and
    // renameat so the name never shows a partial file.
    std::error_code Replace();
    // Closes the file; a named temporary is removed. The final name is
    // untouched. Nothing to do after a successful LinkAsNew or Replace.
    void Discard();

private:
    std::error_code NameAs(const std::string& name);  // unnamed file: linkat
    void Reset();

    FolderHandle folder_;
    File file_;
    std::string finalName_;
    std::string prefix_;
    std::string tempName_;  // named fallback, until renamed
    bool unnamed_ = false;
    bool named_ = false;  // has its final name
};

// Tests only: while set, unnamed files are refused as if the file system
// could not make them, so the named fallback runs.
void RefuseUnnamedTempForTesting(bool refuse);

}  // namespace kivo
