#pragma once
// File helpers of Copy, shared with Move and with extraction.
#include <string>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace kivo {

// Overwrite modes, the index of the chosen radio button.
constexpr int kOverwriteAlways = 0;
constexpr int kOverwriteNever = 1;
constexpr int kOverwriteIfOlder = 2;

// Fills `info` and returns nonzero when `path` (trailing separators
// ignored) names an existing file or folder.
int GetFileInfo(const std::string& path, FindData& info);

// Nonzero when the source is not to be copied to the destination: the same
// path or the same file (device and inode: a hard link, a bind mount); a
// missing destination when skipIfMissing is set; an existing destination
// under "Never", or under "If Older" unless its last write is strictly
// earlier than the source's.
int ShouldSkipCopy(const std::string& sourcePath, const std::string& destinationPath,
                   int overwriteMode, int skipIfMissing);

// Gives the destination the source's last-access and last-write times (the
// creation time cannot be set on this platform). False when the source's
// times cannot be read or set.
bool CopyFileTimes(const File& source, File& destination);

}  // namespace kivo
