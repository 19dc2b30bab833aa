#pragma once
// Writes one file as one deflated (optionally encrypted) entry at the
// archive's current position, and keeps what its central directory header
// needs. One writer is reused for every entry of an archive, so the zlib
// state and the buffers are set up once.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/File.h"
#include "zip/ZipCrypto.h"
#include "zip/ZipFormat.h"
#include "zip/ZipLimits.h"
#include "zip/ZipProgress.h"

namespace kivo::zip {

class ZipEntryWriter {
public:
    static constexpr std::size_t kInputSize = 32768;
    static constexpr std::size_t kOutputSize = 16384;
    // Bytes written to the archive between two flushes to disk.
    static constexpr std::uint64_t kFlushInterval = 0x200000;

    explicit ZipEntryWriter(ZipLimits limits = {});
    ~ZipEntryWriter();
    ZipEntryWriter(const ZipEntryWriter&) = delete;
    ZipEntryWriter& operator=(const ZipEntryWriter&) = delete;

    // Reads `sourcePath` twice (CRC, then deflate) and writes its entry
    // under `entryName` to `archive`, which must be positioned at its end.
    // Returns nonzero on success. `progress` may be null.
    int AddFile(const std::string& sourcePath, const std::string& entryName,
                const char* password, std::size_t passwordLength, File& archive,
                ZipProgress* progress);

    bool Succeeded() const { return success_; }
    // The final local header (30 bytes), as written.
    const unsigned char* LocalHeader() const { return header_; }
    const std::string& Name() const { return name_; }
    // The extra field after the name (empty for plain ASCII names).
    const std::string& Extra() const { return extra_; }
    // Where the local header starts in the archive.
    std::uint64_t HeaderPosition() const { return headerPosition_; }
    // 30 + name length + extra length + compressed size, or 0 when the
    // entry failed.
    std::uint64_t TotalSize() const;

private:
    void Reset();
    bool EnsureResources();
    bool FirstPass(File& source, ZipProgress& progress, std::uint32_t& crc, std::uint64_t& size);
    bool SecondPass(File& source, File& archive, ZipProgress& progress, bool encrypt,
                    std::uint32_t crc, std::uint64_t size);
    bool WriteCompressed(File& archive, std::size_t count, bool encrypt);

    ZipLimits limits_;
    unsigned char header_[kLocalFileHeaderLen] = {};
    std::string name_;
    std::string extra_;
    std::uint64_t headerPosition_ = 0;
    std::uint64_t compressedSize_ = 0;
    std::uint64_t sinceFlush_ = 0;
    bool success_ = false;
    ZipCrypto crypto_;

    struct Deflater;
    std::unique_ptr<Deflater> deflater_;
    std::unique_ptr<unsigned char[]> input_;
    std::unique_ptr<unsigned char[]> output_;
};

}  // namespace kivo::zip
