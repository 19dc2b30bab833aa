#pragma once
// A loaded archive: its central directory as a flat array of entries plus
// one entry for every folder the names imply, and the archive kept open so
// extraction can read entry data through it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"
#include "zip/ZipEntry.h"

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

    // Any field holds the value that sends readers to the Zip64 record.
    bool HasZip64Marker() const {
        return entriesOnDisk == 0xFFFF || totalEntries == 0xFFFF || centralSize == 0xFFFFFFFF ||
               centralOffset == 0xFFFFFFFF;
    }
};

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
    bool ReadCentralDirectory(const EndRecord& end);
    // Adds a name read from a central directory header (46 bytes at header).
    bool AddPath(const std::string& rawName, const unsigned char* header, ZipFolderIndex& index);

    File archive_;
    std::string path_;
    std::vector<std::unique_ptr<ZipEntry>> entries_;
    bool hasFolders_ = false;
};

}  // namespace kivo::zip
