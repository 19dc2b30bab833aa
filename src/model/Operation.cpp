#include "model/Operation.h"

#include <cstdio>

#include "model/Archive.h"

namespace kivo {

bool Operation::Serialize(Archive& archive) {
    std::uint32_t high = static_cast<std::uint32_t>(lastRun >> 32);
    std::uint32_t low = static_cast<std::uint32_t>(lastRun);
    const bool ok = archive.Int32(kind) && archive.String(setName) &&
                    archive.String(destination) && archive.Int32(overwriteMode) &&
                    archive.UInt32(erasePasses) && archive.String(zipPassword) &&
                    archive.String(zipName) && archive.Int32(zipNameByTime) &&
                    archive.UInt32(high) && archive.UInt32(low) && archive.UInt32(flags);
    if (!ok || !archive.IsLoading()) return ok;
    lastRun = (static_cast<FileTime>(high) << 32) | low;
    // No dialog writes any other mode. Taking an unknown overwrite mode as
    // one of the known ones would let a damaged record overwrite files the
    // user chose to keep, so such a record is damage, as a cut one is. A
    // kind that has no use for a field keeps whatever it holds.
    const bool copying = kind == OPERATION_COPY || kind == OPERATION_MOVE;
    const bool emptying = kind == OPERATION_DELETE || kind == OPERATION_MOVE;
    const int emptyFolderMode = EmptyFolderModeOf(flags);
    if (copying && (overwriteMode < OVERWRITE_ALWAYS || overwriteMode > OVERWRITE_IF_OLDER)) {
        return false;
    }
    return !emptying || emptyFolderMode <= EMPTY_FOLDERS_SUBFOLDERS_ONLY;
}

std::string Operation::Label() const {
    TimeParts local;
    if (lastRun == 0 || !FileTimeToLocalParts(lastRun, local)) return setName;
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d:%02d:%02d", local.year, local.month,
                  local.day, local.hour, local.minute, local.second);
    return setName + stamp;
}

bool SkipIfMissing(std::uint32_t flags) { return (flags & kFlagSkipIfMissing) != 0; }

std::uint32_t WithSkipIfMissing(std::uint32_t flags, bool skip) {
    return skip ? (flags | kFlagSkipIfMissing) : (flags & ~kFlagSkipIfMissing);
}

bool ZipAes(std::uint32_t flags) { return (flags & kFlagZipAes) != 0; }

std::uint32_t WithZipAes(std::uint32_t flags, bool aes) {
    return aes ? (flags | kFlagZipAes) : (flags & ~kFlagZipAes);
}

int EmptyFolderModeOf(std::uint32_t flags) {
    return static_cast<int>((flags & kFlagEmptyFolderMask) >> kFlagEmptyFolderShift);
}

std::uint32_t WithEmptyFolderMode(std::uint32_t flags, int mode) {
    const std::uint32_t bits =
        (static_cast<std::uint32_t>(mode) << kFlagEmptyFolderShift) & kFlagEmptyFolderMask;
    return (flags & ~kFlagEmptyFolderMask) | bits;
}

}  // namespace kivo
