#pragma once
// A loaded archive: its central directory as a flat array of entries plus
// one entry for every folder the names imply, and the archive kept open so
// extraction can read entry data through it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"
#include "zip/format/ZipEntry.h"

namespace kivo::zip {

class ZipFolderIndex;

// The 22 bytes of an end-of-central-directory record, decoded.
struct EndRecord {
    std::uint16_t thisDisk = 0;
    std::uint16_t centralDisk = 0;
    std::uint16_t entriesOnDisk = 0;
    std::uint16_t totalEntries = 0;
    std::uint32_t centralSize = 0;
    std::uint32_t centralOffset = 0;
    std::uint16_t commentLength = 0;
    // A Zip64 end-of-central-directory locator lies just before the record.
    bool zip64LocatorBefore = false;
    std::uint64_t position = 0;  // of the record in the archive
};

// The central directory as the end records state it: from the classic
// record, or from the Zip64 record when a locator points to one.
struct CentralDirectoryInfo {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t statedOffset = 0;    // short by the length of any data before the archive
    std::uint64_t recordPosition = 0;  // of the record stating these, which follows the directory
    bool zip64 = false;                // the count is 64-bit; else it wraps at 65,536
};

// The central directory's description behind `end`. False when a Zip64
// locator precedes it and the Zip64 record is missing, damaged, or
// disagrees with a real (unmarked) value of the classic record.
bool ReadCentralDirectoryInfo(File& archive, const EndRecord& end, CentralDirectoryInfo& out);

// How far from the end the record is looked for: the record itself plus the
// longest comment, plus slack.
constexpr std::size_t kEndRecordSearchSize = 65574;

// The end record nearest the end of the archive that passes every
// plausibility test; false when there is none.
bool FindEndRecord(File& archive, EndRecord& out);

class ZipDirectory {
public:
    ZipDirectory() = default;
    ~ZipDirectory();
    ZipDirectory(const ZipDirectory&) = delete;
    ZipDirectory& operator=(const ZipDirectory&) = delete;

    // Nonzero on success; on failure the directory is left cleared.
    int Load(const std::string& path);
    void Clear();

    bool HasFolders() const { return hasFolders_; }
    const std::string& Path() const { return path_; }
    const std::vector<std::unique_ptr<ZipEntry>>& Entries() const { return entries_; }
    // The open archive; extraction positions and reads it.
    File& ArchiveFile() { return archive_; }

    // Display names of the folders directly inside folderPath, entry order.
    std::vector<std::string> ListSubfolders(const std::string& folderPath) const;
    // Files and folders inside folderPath (deeper ones too when recursive).
    std::vector<ZipEntry*> CollectEntries(const std::string& folderPath, bool recursive) const;

private:
    bool ReadCentralDirectory(const CentralDirectoryInfo& info);
    // Adds a name read from a central directory header (46 bytes at header)
    // whose extra field is `extra`; `prefix` is the length of any data
    // before the archive, by which every stated offset is short.
    bool AddPath(std::string& rawName, const unsigned char* header, std::string_view extra,
                 std::uint64_t prefix, ZipFolderIndex& index);

    File archive_;
    std::string path_;
    std::vector<std::unique_ptr<ZipEntry>> entries_;
    // While loading: the entry of each folder id of the index.
    std::vector<ZipEntry*> folderEntries_;
    bool hasFolders_ = false;
};

}  // namespace kivo::zip
