#pragma once
// Reading one entry's data: the encryption header (traditional or WinZip
// AES) and the password check, then decryption, decoding by the entry's
// method, and the checks of CRC-32, size and authentication code. What is
// decoded goes to a sink (a target file, or nothing when only testing).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/File.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/WinZipAes.h"
#include "zip/format/ZipCrypto.h"
#include "zip/format/ZipProgress.h"

namespace kivo::zip {

// Results, numbered as extraction's result codes.
constexpr int kDataOk = 0;
constexpr int kDataBadHeader = 3;        // encryption header unreadable, AES field missing
constexpr int kDataBadPassword = 4;
constexpr int kDataNoMemory = 5;
constexpr int kDataReadError = 6;
constexpr int kDataCrcError = 8;         // CRC-32, size or authentication code differs
constexpr int kDataBadMethod = 9;
constexpr int kDataDecodeError = 10;
constexpr int kDataCancelled = 11;
constexpr int kDataUnsupportedEncryption = 12;

// What the local header (or, for entries with a data descriptor, the
// central directory) says about the entry's data.
struct EntryDataInfo {
    std::uint16_t method = 0;  // as stored: 99 for AES
    std::uint16_t flags = 0;
    std::uint16_t dosTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::string extra;  // the local header's extra field
};

class EntryDataSink {
public:
    virtual ~EntryDataSink() = default;
    // Returns 0 or the code to fail the entry with.
    virtual int Write(const unsigned char* data, std::size_t size) = 0;
};

// Block sizes: reads from the archive and decoded output.
constexpr std::size_t kDataInputBlock = 16384;
constexpr std::size_t kDataOutputBlock = 32768;

class EntryDataReader {
public:
    EntryDataReader();
    ~EntryDataReader();
    EntryDataReader(const EntryDataReader&) = delete;
    EntryDataReader& operator=(const EntryDataReader&) = delete;

    // With `archive` at the start of the entry's data: refuses what cannot
    // be read (strong encryption, unknown methods), reads the encryption
    // header and checks the password (null: none given), and sets up the
    // decoder.
    int Open(File& archive, const EntryDataInfo& info, const std::string* password);
    // Reads, decrypts, decodes and checks the rest; `sink` null only checks.
    int Run(EntryDataSink* sink, ZipProgress& progress);

private:
    int CheckAuthCode();
    bool ReadAll(std::uint64_t& remaining);

    File* archive_ = nullptr;
    EntryDataInfo info_;
    std::uint16_t dataMethod_ = 0;
    bool aes_ = false;
    bool checkCrc_ = true;
    std::uint64_t dataSize_ = 0;  // encrypted data without headers and code
    ZipCrypto zipCrypto_;
    bool zipCryptoUsed_ = false;
    AesCipher aesCipher_;
    std::unique_ptr<EntryDecoder> decoder_;
    std::unique_ptr<unsigned char[]> input_;
    std::unique_ptr<unsigned char[]> output_;
};

}  // namespace kivo::zip
