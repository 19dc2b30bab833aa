#include "platform/FileTime.h"

#include <time.h>

namespace kivo {

FileTime FileTimeFromTimespec(const timespec& ts) {
    const std::int64_t seconds = static_cast<std::int64_t>(ts.tv_sec) +
                                 static_cast<std::int64_t>(kEpochDifferenceSeconds);
    if (seconds < 0) return 0;
    return static_cast<FileTime>(seconds) * kTicksPerSecond +
           static_cast<FileTime>(ts.tv_nsec / 100);
}

timespec TimespecFromFileTime(FileTime ft) {
    timespec ts{};
    const std::int64_t seconds = static_cast<std::int64_t>(ft / kTicksPerSecond) -
                                 static_cast<std::int64_t>(kEpochDifferenceSeconds);
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((ft % kTicksPerSecond) * 100);
    return ts;
}

FileTime CurrentFileTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FileTimeFromTimespec(ts);
}

std::uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec / 1000000);
    return static_cast<std::uint32_t>(ms);
}

namespace {

bool FillParts(const tm& t, TimeParts& out) {
    out.year = t.tm_year + 1900;
    out.month = t.tm_mon + 1;
    out.day = t.tm_mday;
    out.hour = t.tm_hour;
    out.minute = t.tm_min;
    out.second = t.tm_sec;
    return true;
}

}  // namespace

bool FileTimeToUtcParts(FileTime ft, TimeParts& out) {
    const time_t seconds = TimespecFromFileTime(ft).tv_sec;
    tm t{};
    if (gmtime_r(&seconds, &t) == nullptr) return false;
    return FillParts(t, out);
}

bool FileTimeToLocalParts(FileTime ft, TimeParts& out) {
    const time_t seconds = TimespecFromFileTime(ft).tv_sec;
    tm t{};
    if (localtime_r(&seconds, &t) == nullptr) return false;
    return FillParts(t, out);
}

bool UtcPartsToFileTime(const TimeParts& parts, FileTime& out) {
    tm t{};
    t.tm_year = parts.year - 1900;
    t.tm_mon = parts.month - 1;
    t.tm_mday = parts.day;
    t.tm_hour = parts.hour;
    t.tm_min = parts.minute;
    t.tm_sec = parts.second;
    const time_t seconds = timegm(&t);
    if (static_cast<std::int64_t>(seconds) + static_cast<std::int64_t>(kEpochDifferenceSeconds) < 0)
        return false;
    timespec ts{};
    ts.tv_sec = seconds;
    out = FileTimeFromTimespec(ts);
    return true;
}

}  // namespace kivo
