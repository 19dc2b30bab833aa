#include "zip/format/EntryNameFields.h"

#include "zip/format/Crc32.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

bool IsUtf8BeyondAscii(const std::string& name) {
    bool beyondAscii = false;
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    const auto* end = p + name.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        beyondAscii = true;
        std::size_t length = 0;
        std::uint32_t minimum = 0;
        std::uint32_t code = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, code = lead & 0x07;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        p += length;
    }
    return beyondAscii;
}

std::uint16_t EntryFlags(const std::string& entryName, bool encrypted) {
    std::uint16_t flags = encrypted ? kFlagEncrypted : 0;
    if (IsUtf8BeyondAscii(entryName)) flags |= kFlagUtf8;
    return flags;
}

std::string EntryExtraField(const std::string& entryName) {
    if (!IsUtf8BeyondAscii(entryName)) return std::string();
    unsigned char fixed[kUnicodePathExtraFixed];
    PutU16(fixed, kUnicodePathExtraId);
    PutU16(fixed + 2, static_cast<std::uint16_t>(kUnicodePathExtraFixed - 4 + entryName.size()));
    fixed[4] = 1;  // version of the field
    // The CRC ties the field to the name it translates; ours is the same bytes.
    PutU32(fixed + 5, Crc32::Of(entryName.data(), entryName.size()));
    std::string extra(reinterpret_cast<const char*>(fixed), sizeof fixed);
    extra += entryName;
    return extra;
}

}  // namespace kivo::zip
