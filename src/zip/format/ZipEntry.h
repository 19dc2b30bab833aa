#pragma once
// One entry of a loaded archive: a file from the central directory, or a
// folder that the names imply (or that the archive lists explicitly).
#include <cstdint>
#include <string>

#include "platform/FileTime.h"

namespace kivo::zip {

enum class EntryEncryption { None, ZipCrypto, Aes128, Aes192, Aes256, Strong };

// The name `kivo-cli list` shows: "-", "zipcrypto", "aes-128", "strong"...
const char* EncryptionName(EntryEncryption encryption);

class ZipEntry {
public:
    virtual ~ZipEntry() = default;

    // folderPath with or without a trailing slash; empty for the top level.
    // recursive takes in every deeper name as well.
    int IsChildOf(const std::string& folderPath, bool recursive) const;

    std::uint64_t offset = 0;  // of the local file header, in the file (after any prefix)
    // Central directory name without leading slashes, slash-separated, a
    // folder ending in '/'; UTF-8 (see Cp437.h).
    std::string name;
    // From the extra fields' UTC time when one is there (timeFromExtra),
    // else from the DOS date and time, no zone conversion; 0 when invalid.
    FileTime time = 0;
    bool timeFromExtra = false;
    std::uint32_t crc = 0;
    bool encrypted = false;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;   // general-purpose flags of the central directory
    std::uint8_t host = 0;     // upper byte of "version made by"
    std::uint32_t externalAttributes = 0;
    // The method the data is compressed with: `method`, or for an AES entry
    // (method 99) the one its AES field names.
    std::uint16_t dataMethod = 0;
    EntryEncryption encryption = EntryEncryption::None;
    // Where the entry's data must end: the next entry's local header, or
    // the central directory.
    std::uint64_t spanLimit = UINT64_MAX;
    std::string displayName;   // last component, no trailing slash
    std::string typeText;      // viewer's cache, empty at first
    bool isFolder = false;
    int iconIndex = -1;        // viewer's cache

    // The st_mode an entry made on Unix carries (type and permission
    // bits), or 0 when it carries none.
    std::uint32_t UnixMode() const;
    // A symbolic link made on Unix: its data is the link's target.
    bool IsLink() const;
};

// The last component of a name, or for a folder name ending in a slash the
// component before that slash.
std::string DisplayNameOf(const std::string& name);

// DOS date and time as a file time, with no time-zone conversion (the writer
// stores UTC fields). 0 for fields no calendar has.
FileTime DosFieldsToFileTime(std::uint16_t date, std::uint16_t time);

}  // namespace kivo::zip
