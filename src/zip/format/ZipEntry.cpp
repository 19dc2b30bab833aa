#include "zip/format/ZipEntry.h"

#include <cstring>
#include <strings.h>
#include <sys/stat.h>

#include "zip/format/ZipFormat.h"

namespace kivo::zip {

int ZipEntry::IsChildOf(const std::string& folderPath, bool recursive) const {
    if (folderPath.empty()) {
        const std::size_t slash = name.find('/');
        return slash == std::string::npos || slash == name.size() - 1;
    }
    std::size_t length = folderPath.size();
    if (folderPath[length - 1] == '/') --length;
    if (name.size() <= length + 1) return 0;  // the folder itself, or shorter
    if (name[length] != '/') return 0;
    if (::strncasecmp(name.data(), folderPath.data(), length) != 0) return 0;
    if (recursive) return 1;
    const std::size_t next = name.find('/', length + 1);
    return next == std::string::npos || next == name.size() - 1;
}

std::uint32_t ZipEntry::UnixMode() const {
    if (host != kHostUnix) return 0;
    const std::uint32_t mode = externalAttributes >> kUnixModeShift;
    // Without a type the high half is not a mode (some writers leave
    // garbage there).
    return (mode & S_IFMT) != 0 ? mode : 0;
}

bool ZipEntry::IsLink() const { return !isFolder && S_ISLNK(UnixMode()); }

std::string DisplayNameOf(const std::string& name) {
    std::size_t end = name.size();
    if (end > 0 && name[end - 1] == '/') --end;
    const std::size_t slash = name.rfind('/', end == 0 ? 0 : end - 1);
    const std::size_t begin = (slash == std::string::npos || slash >= end) ? 0 : slash + 1;
    return name.substr(begin, end - begin);
}

FileTime DosFieldsToFileTime(std::uint16_t date, std::uint16_t time) {
    TimeParts parts;
    parts.year = 1980 + (date >> 9);
    parts.month = (date >> 5) & 0x0F;
    parts.day = date & 0x1F;
    parts.hour = time >> 11;
    parts.minute = (time >> 5) & 0x3F;
    parts.second = (time & 0x1F) * 2;
    if (parts.month < 1 || parts.month > 12 || parts.day < 1 || parts.hour > 23 ||
        parts.minute > 59 || parts.second > 59)
        return 0;
    FileTime out = 0;
    return UtcPartsToFileTime(parts, out) ? out : 0;
}

const char* EncryptionName(EntryEncryption encryption) {
    switch (encryption) {
        case EntryEncryption::None: return "-";
        case EntryEncryption::ZipCrypto: return "zipcrypto";
        case EntryEncryption::Aes128: return "aes-128";
        case EntryEncryption::Aes192: return "aes-192";
        case EntryEncryption::Aes256: return "aes-256";
        case EntryEncryption::Strong: return "strong";
    }
    return "-";
}

}  // namespace kivo::zip
