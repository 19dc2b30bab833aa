#pragma once
// DOS date and time fields of a file time, taken from the UTC calendar
// fields without conversion to local time.
#include <cstdint>

#include "platform/FileTime.h"

namespace kivo::zip {

struct DosDateTime {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
};

// Times outside what DOS fields hold (before 1980, after 2107) are clamped
// to the nearest value that can be stored.
DosDateTime ToDosDateTime(FileTime fileTime);

}  // namespace kivo::zip
