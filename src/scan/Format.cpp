#include "scan/Format.h"

#include <cinttypes>
#include <cstdio>

namespace kivo {

std::string FormatCount(std::uint64_t n) {
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%" PRIu64, n);
    std::string text;
    text.reserve(static_cast<std::size_t>(length) + static_cast<std::size_t>(length) / 3);
    int firstGroup = length % 3;
    if (firstGroup == 0) firstGroup = 3;
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (i - firstGroup) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string FormatSize(std::uint64_t bytes) {
    if (bytes < 1024) return FormatCount(bytes);
    char text[64];
    if (bytes < 0x100000) {
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    } else if (bytes < 0x40000000) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1048576.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1073741824.0);
    }
    return text;
}

}  // namespace kivo
