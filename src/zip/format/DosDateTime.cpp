#include "zip/format/DosDateTime.h"

namespace kivo::zip {

DosDateTime ToDosDateTime(FileTime fileTime) {
    TimeParts parts;
    if (!FileTimeToUtcParts(fileTime, parts) || parts.year < 1980) {
        parts = TimeParts{1980, 1, 1, 0, 0, 0};
    } else if (parts.year > 2107) {
        parts = TimeParts{2107, 12, 31, 23, 59, 58};
    }
    DosDateTime out;
    out.time = static_cast<std::uint16_t>((parts.hour << 11) | (parts.minute << 5) |
                                          (parts.second / 2));
    out.date = static_cast<std::uint16_t>(((parts.year - 1980) << 9) | (parts.month << 5) |
                                          parts.day);
    return out;
}

}  // namespace kivo::zip
