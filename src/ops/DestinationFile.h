#pragma once
// A file written under a hidden temporary name beside its destination and
// renamed over it only when complete, so a failed or cancelled write never
// destroys an older file of that name nor leaves a partial one visible.
#include <string>

#include "platform/File.h"

namespace kivo {

// Prefix of the temporary names; hidden because it begins with a dot.
inline constexpr const char* kDestinationTempPrefix = ".kvt-";

class DestinationFile {
public:
    DestinationFile() = default;
    ~DestinationFile();  // discards an uncommitted file
    DestinationFile(DestinationFile&& other) noexcept;
    DestinationFile& operator=(DestinationFile&& other) noexcept;
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    bool IsOpen() const { return file_.IsOpen(); }
    // The file to write, open until Close or Commit.
    File& file() { return file_; }
    const std::string& path() const { return path_; }
    const std::string& tempPath() const { return tempPath_; }

    // Closes the temporary file; times and attributes may still be set on
    // tempPath() before Commit.
    void Close() { file_.Close(); }
    // Renames the temporary file over the destination; on failure it is
    // removed and the destination stays as it was.
    bool Commit();
    // Removes the temporary file; the destination stays as it was.
    void Discard();

private:
    friend DestinationFile CreateDestinationFile(const std::string& path);
    File file_;
    std::string path_;
    std::string tempPath_;
};

// Opens a new file that will become `path`, creating the folders above it.
// Not open when the path is empty, names a folder, or its folder cannot be
// written.
DestinationFile CreateDestinationFile(const std::string& path);

}  // namespace kivo
