#pragma once
// Extraction of one entry of a loaded archive into a target folder.
#include <string>

#include "platform/File.h"
#include "zip/format/ZipEntry.h"
#include "zip/format/ZipProgress.h"

namespace kivo::zip {

// Result codes of ExtractEntry; the run maps them to reason texts.
enum ExtractCode : int {
    kExtractOk = 0,              // extracted, created or skipped
    kExtractNameTooShort = 1,    // name shorter than the prefix
    kExtractCannotCreate = 2,    // target cannot be created, or lies outside
    kExtractBadHeader = 3,       // local header or encryption header unreadable
    kExtractBadPassword = 4,
    kExtractNoMemory = 5,
    kExtractReadError = 6,       // entry data short or unreadable
    kExtractWriteError = 7,
    kExtractCrcError = 8,        // CRC-32 (or length) of the data differs
    kExtractBadMethod = 9,       // a compression method that cannot be decoded
    kExtractInflateError = 10,   // the decoder failed
    kExtractCancelled = 11,
    kExtractUnsupportedEncryption = 12,  // PKWARE strong encryption
};

// The bytes written between two flushes.
constexpr std::uint64_t kExtractFlushInterval = 0x200000;

// Prefix of the hidden name a file takes where it cannot be made unnamed,
// and on its way over an existing file.
constexpr const char* kExtractTempPrefix = ".kivo-extract-";

class ExtractSession;

// Writes `entry` below `targetFolder` under its name after `prefix`.
// `password` null means none was given; an empty one is tested like any
// other. A file is written unnamed and named (or renamed over an existing
// one) only once complete and its CRC matched; a failure leaves no partial
// file and an existing one as it was. Folders are reached from the target
// one level at a time, never through a link. With a `session` (one per
// run, for `targetFolder`), links and folder modes wait for its Finish;
// without one they are made at once.
int ExtractEntry(const ZipEntry& entry, File& archiveFile, const std::string& targetFolder,
                 const std::string& prefix, const std::string* password, ZipProgress& progress,
                 bool skipExisting, ExtractSession* session = nullptr);

// The target of a link entry (made on Unix) whose data can be read
// without a password; false for any other entry or damaged data.
bool ReadLinkTarget(const ZipEntry& entry, File& archiveFile, std::string& target);

// Reads and checks a file entry as ExtractEntry would (CRC-32, size,
// authentication code) without writing anything. Folders pass.
int TestEntry(const ZipEntry& entry, File& archiveFile, const std::string* password,
              ZipProgress& progress);

// The reason text of a code; empty for success and for a cancel.
std::string ExtractReasonText(int code);

}  // namespace kivo::zip
