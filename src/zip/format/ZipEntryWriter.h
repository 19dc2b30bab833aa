#pragma once
// Writes the entries of one archive: each file is read once for its CRC,
// then read again in fixed blocks that are deflated on worker threads while
// the next blocks (and files) are read; the results are encrypted and
// written strictly in order, so the archive is the same for any number of
// threads. Work in flight is bounded in memory.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/WriteBehind.h"
#include "zip/format/ZipBlockDeflater.h"
#include "zip/format/WinZipAes.h"
#include "zip/format/ZipCrypto.h"
#include "zip/format/ZipFormat.h"
#include "zip/format/ZipLimits.h"
#include "zip/format/ZipProgress.h"

namespace kivo::zip {

// What the central directory needs of one written entry.
struct EntryRecord {
    std::string name;
    std::string extra;  // the Unicode Path and extended timestamp fields, as present
    // DOS attribute byte in the low 16 bits, st_mode in the high 16.
    std::uint32_t externalAttributes = 0;
    std::uint16_t flags = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;            // uncompressed
    std::uint64_t compressedSize = 0;  // with the encryption header
    std::uint64_t offset = 0;          // of the local header
    bool zip64Local = false;           // the local header carries Zip64 sizes
    // WinZip AES (AE-2, 256 bits): method 99 with the real one in an AES
    // field, CRC 0 in the headers; `crc` still holds the data's, which the
    // writer checks.
    bool aes = false;
};

// The start of an entry's local header as first written, before the
// compressed size is known: the fixed 30 bytes and, when the header carries
// Zip64 sizes, the name and the Zip64 field (the part rewritten at the end).
std::string LocalHeaderStart(const EntryRecord& record);

class ZipEntryWriter {
public:
    static constexpr std::size_t kInputSize = 32768;
    // Bytes written to the archive between two flushes to disk.
    static constexpr std::uint64_t kFlushInterval = 0x200000;
    // Input and output buffers of blocks read but not yet written.
    static constexpr std::size_t kMaxBytesInFlight = 64u << 20;
    static constexpr std::size_t kMaxBlocksInFlight = 4096;

    // Writes to `archive` from its current end, which must be offset 0.
    // A null password or a length of 0 means no encryption; with a
    // password, `aes` chooses AES-256 over traditional encryption.
    // `threads` 1 deflates on the calling thread.
    ZipEntryWriter(File& archive, const char* password, std::size_t passwordLength,
                   ZipProgress& progress, ZipLimits limits, unsigned threads, bool aes = false);
    ~ZipEntryWriter();
    ZipEntryWriter(const ZipEntryWriter&) = delete;
    ZipEntryWriter& operator=(const ZipEntryWriter&) = delete;

    // Reads `sourcePath` for its CRC, then queues its blocks, writing what
    // is finished. Returns nonzero on success; after a failure the archive
    // must be abandoned.
    int AddFile(const std::string& sourcePath, const std::string& entryName);
    // Writes everything still queued. Returns nonzero on success.
    int Finish();

    const std::vector<EntryRecord>& Entries() const { return entries_; }

    // Whether an entry of `size` bytes gets Zip64 sizes in its local
    // header: the header is written before deflate has run, so it allows
    // for deflate's worst case and for what encryption adds.
    bool NeedsLocalZip64(std::uint64_t size);
    // Bytes written so far: where the central directory goes after Finish.
    std::uint64_t Position() const { return position_; }

private:
    struct Unit;
    struct BoundProbe;
    bool FirstPass(File& source, std::uint32_t& crc, std::uint64_t& size);
    bool ReadBlock(File& source, DeflateJob& job, std::size_t want, bool last);
    bool Pump(bool all);
    bool WriteUnit(Unit& unit);
    bool WriteOut(const void* bytes, std::size_t size);

    File& archive_;
    const char* password_;
    std::size_t passwordLength_;
    bool encrypt_;
    bool aes_;
    AesCipher aesCipher_;
    ZipProgress& progress_;
    ZipLimits limits_;
    ZipCrypto crypto_;
    std::vector<EntryRecord> entries_;
    std::unique_ptr<unsigned char[]> input_;
    std::unique_ptr<BoundProbe> probe_;
    std::vector<unsigned char> tail_;  // dictionary for the next block
    // The second pass's CRC and size of the entry being written.
    std::uint32_t checkCrc_ = 0;
    std::uint64_t checkSize_ = 0;
    std::uint64_t position_ = 0;
    WriteBehind flush_{kFlushInterval};
    std::size_t bytesInFlight_ = 0;

    // Declared before the workers, so that the workers are stopped before
    // the jobs they may be working on are freed.
    std::deque<std::unique_ptr<Unit>> units_;
    DeflateWorkers workers_;
};

}  // namespace kivo::zip
