#pragma once
// A saved operation: a Delete, Copy, Move or Zip preset bound to a set by
// name. One record serves every kind; fields a kind does not use keep their
// defaults.
#include <cstdint>
#include <string>

#include "platform/FileTime.h"

namespace kivo {

class Archive;

// Also the index of the row image of the Operation list.
enum OperationKind : std::int32_t {
    OPERATION_DELETE = 0,
    OPERATION_COPY = 1,
    OPERATION_MOVE = 2,
    OPERATION_ZIP = 3,
};

// Overwrite modes of Copy and Move, in the radio order of the dialogs.
enum OverwriteMode : std::int32_t {
    OVERWRITE_ALWAYS = 0,
    OVERWRITE_NEVER = 1,
    OVERWRITE_IF_OLDER = 2,
};

// Empty-folder modes of Delete and Move, in the radio order of the dialogs.
enum EmptyFolderMode : int {
    EMPTY_FOLDERS_REMOVE = 0,           // "Yes"
    EMPTY_FOLDERS_KEEP = 1,             // "No"
    EMPTY_FOLDERS_SUBFOLDERS_ONLY = 2,  // "Sub-folders only"
};

class Operation {
public:
    virtual ~Operation() = default;

    std::int32_t kind = OPERATION_COPY;
    std::string setName;
    std::string destination;  // Copy/Move target folder; Zip output folder
    std::int32_t overwriteMode = OVERWRITE_ALWAYS;
    std::uint32_t erasePasses = 0;
    std::string zipPassword;  // kept as plain text, empty: no encryption
    std::string zipName;      // fixed file name, or prefix of a dated name
    std::int32_t zipNameByTime = 0;
    FileTime lastRun = 0;  // UTC; zero: never completed
    std::uint32_t flags = 0;

    // Reads or writes one record of the binding store; the direction is the
    // archive's. The last-run time is stored high half first. A record read
    // with an overwrite or empty-folder mode outside 0..2, for a kind that
    // uses it, is damaged: false.
    bool Serialize(Archive& archive);

    // The row label: the set name alone until the first completed run, then
    // the name and the local date and time of the last run.
    std::string Label() const;
};

// Bit 0 of `flags`: skip files whose destination does not exist yet.
constexpr std::uint32_t kFlagSkipIfMissing = 0x1;
// Bits 1 and 2 of `flags`: the empty-folder mode.
constexpr std::uint32_t kFlagEmptyFolderMask = 0x6;
constexpr int kFlagEmptyFolderShift = 1;

bool SkipIfMissing(std::uint32_t flags);
std::uint32_t WithSkipIfMissing(std::uint32_t flags, bool skip);
// 0..3 from the bits; a Delete or Move loaded from a store holds 0..2.
int EmptyFolderModeOf(std::uint32_t flags);
// Replaces both mode bits and keeps every other bit.
std::uint32_t WithEmptyFolderMode(std::uint32_t flags, int mode);

// Bit 3 of a Zip operation's `flags`: encrypt with WinZip AES-256 instead
// of traditional zip encryption. Stores written before it have it clear.
constexpr std::uint32_t kFlagZipAes = 0x8;
bool ZipAes(std::uint32_t flags);
std::uint32_t WithZipAes(std::uint32_t flags, bool aes);

}  // namespace kivo
