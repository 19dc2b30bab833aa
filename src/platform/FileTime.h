#pragma once
// The program's time type: 100-nanosecond intervals since 1601-01-01 UTC,
// the layout the binding store and the item records keep on disk.
#include <cstdint>
#include <ctime>

namespace kivo {

using FileTime = std::uint64_t;

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDifferenceSeconds = 11644473600ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

FileTime FileTimeFromTimespec(const timespec& ts);
timespec TimespecFromFileTime(FileTime ft);
FileTime CurrentFileTime();

// Milliseconds of CLOCK_MONOTONIC, truncated to 32 bits.
std::uint32_t TickCount();

struct TimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Calendar fields of a file time in UTC (no conversion) or in local time.
bool FileTimeToUtcParts(FileTime ft, TimeParts& out);
bool FileTimeToLocalParts(FileTime ft, TimeParts& out);
// The inverse of FileTimeToUtcParts; false for a date before 1601.
bool UtcPartsToFileTime(const TimeParts& parts, FileTime& out);

}  // namespace kivo
