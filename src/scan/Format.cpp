#include "scan/Format.h"

#include <charconv>
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
    double value = 0;
    const char* unit = nullptr;
    if (bytes < 0x100000) {
        value = static_cast<double>(bytes) / 1024.0;
        unit = " KB";
    } else if (bytes < 0x40000000) {
        value = static_cast<double>(bytes) / 1048576.0;
        unit = " MB";
    } else {
        value = static_cast<double>(bytes) / 1073741824.0;
        unit = " GB";
    }
    // Not printf: a Qt application runs with the user's LC_NUMERIC, which
    // would turn "1.5 KB" into "1,5 KB" and clash with the count's commas.
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, result.ptr) + unit;
}

}  // namespace kivo
