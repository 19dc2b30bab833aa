#include "zip/format/EntryData.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "zip/format/Crc32.h"
#include "zip/format/ZipExtraFields.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

bool ReadExactly(File& archive, unsigned char* out, std::size_t size) {
    return archive.ReadFull(out, size) == static_cast<std::int64_t>(size);
}

// The encryption header's last byte carries the high byte of the CRC, or of
// the DOS time when the entry has a data descriptor (its CRC was not known
// when the header was written). Other tools fill byte 10 at random, so it
// is not part of the check.
bool PasswordMatches(ZipCrypto& crypto, const std::string& password,
                     const unsigned char* encryptedHeader, const EntryDataInfo& info) {
    unsigned char header[ZipCrypto::kHeaderSize];
    std::copy(encryptedHeader, encryptedHeader + sizeof header, header);
    crypto.InitKeys(password.data(), password.size());
    crypto.DecryptBuffer(header, sizeof header);
    const unsigned char expected = (info.flags & kFlagDataDescriptor)
                                       ? static_cast<unsigned char>(info.dosTime >> 8)
                                       : static_cast<unsigned char>(info.crc >> 24);
    return header[11] == expected;
}

}  // namespace

EntryDataReader::EntryDataReader() = default;
EntryDataReader::~EntryDataReader() = default;

int EntryDataReader::Open(File& archive, const EntryDataInfo& info, const std::string* password) {
    archive_ = &archive;
    info_ = info;
    if ((info.flags & kFlagStrongEncryption) != 0 ||
        FindExtraField(info.extra, kStrongEncryptionExtraId))
        return kDataUnsupportedEncryption;
    const bool encrypted = (info.flags & kFlagEncrypted) != 0;
    dataMethod_ = info.method;
    dataSize_ = info.compressedSize;
    AesField aes;
    if (info.method == kMethodAes) {
        if (!encrypted || !FindAesField(info.extra, aes)) return kDataBadHeader;
        aes_ = true;
        dataMethod_ = aes.method;
        // AE-2 stores CRC 0; the authentication code stands for it.
        checkCrc_ = aes.vendorVersion == kAesVendorAe1;
    }
    if (!IsMethodSupported(dataMethod_)) return kDataBadMethod;

    if (aes_) {
        const std::size_t saltSize = AesSaltSize(aes.strength);
        unsigned char head[16 + kAesVerifierSize];
        if (dataSize_ < AesOverhead(aes.strength) ||
            !ReadExactly(archive, head, saltSize + kAesVerifierSize))
            return kDataBadHeader;
        if (password == nullptr) return kDataBadPassword;
        if (!aesCipher_.Init(*password, aes.strength, head)) return kDataNoMemory;
        if (std::memcmp(aesCipher_.Verifier(), head + saltSize, kAesVerifierSize) != 0)
            return kDataBadPassword;
        dataSize_ -= AesOverhead(aes.strength);
    } else if (encrypted) {
        unsigned char header[ZipCrypto::kHeaderSize];
        if (dataSize_ < sizeof header || !ReadExactly(archive, header, sizeof header))
            return kDataBadHeader;
        if (password == nullptr || !PasswordMatches(zipCrypto_, *password, header, info))
            return kDataBadPassword;
        zipCryptoUsed_ = true;
        dataSize_ -= sizeof header;
    }

    input_.reset(new (std::nothrow) unsigned char[kDataInputBlock]);
    output_.reset(new (std::nothrow) unsigned char[kDataOutputBlock]);
    if (!input_ || !output_) return kDataNoMemory;
    DecodeStatus status = DecodeStatus::Ok;
    decoder_ = MakeEntryDecoder(dataMethod_, info.flags, info.uncompressedSize, status);
    if (!decoder_) return status == DecodeStatus::NoMemory ? kDataNoMemory : kDataDecodeError;
    return kDataOk;
}

// Passes the encrypted data not yet read through the authentication code.
bool EntryDataReader::ReadAll(std::uint64_t& remaining) {
    while (remaining > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kDataInputBlock));
        if (!ReadExactly(*archive_, input_.get(), n)) return false;
        if (!aesCipher_.Authenticate(input_.get(), n)) return false;
        remaining -= n;
    }
    return true;
}

int EntryDataReader::CheckAuthCode() {
    unsigned char stored[kAesAuthCodeSize];
    unsigned char computed[kAesAuthCodeSize];
    if (!ReadExactly(*archive_, stored, sizeof stored)) return kDataReadError;
    if (!aesCipher_.AuthCode(computed)) return kDataNoMemory;
    return std::memcmp(stored, computed, sizeof stored) == 0 ? kDataOk : kDataCrcError;
}

int EntryDataReader::Run(EntryDataSink* sink, ZipProgress& progress) {
    Crc32 crc;
    std::uint64_t remaining = dataSize_;
    std::uint64_t produced = 0;
    const unsigned char* next = input_.get();
    std::size_t available = 0;
    int code = kDataOk;
    // An empty stream has nothing to decode; some methods need a header.
    while (dataSize_ > 0) {
        if (available == 0 && remaining > 0) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kDataInputBlock));
            if (!ReadExactly(*archive_, input_.get(), n)) return kDataReadError;
            if (aes_ && !aesCipher_.Decrypt(input_.get(), n)) return kDataNoMemory;
            if (zipCryptoUsed_) zipCrypto_.DecryptBuffer(input_.get(), n);
            next = input_.get();
            available = n;
            remaining -= n;
        }
        std::size_t used = 0;
        std::size_t made = 0;
        const DecodeStatus status = decoder_->Decode(next, available, remaining == 0,
                                                     output_.get(), kDataOutputBlock, used, made);
        next += used;
        available -= used;
        if (status == DecodeStatus::DataError) {
            // Judged before what the failing step made: decoders differ in
            // how far past the fault they write, and the failure must not.
            // In an AES entry a damaged code says the data was damaged,
            // not the method.
            if (aes_ && ReadAll(remaining) && CheckAuthCode() == kDataCrcError) return kDataCrcError;
            return kDataDecodeError;
        }
        if (made > 0) {
            produced += made;
            // More data than announced is a damaged or hostile entry.
            if (produced > info_.uncompressedSize) return kDataCrcError;
            crc.Update(output_.get(), made);
            if (sink != nullptr) {
                if (const int written = sink->Write(output_.get(), made); written != kDataOk)
                    return written;
            }
            progress.AddDone(made);
        }
        if (status == DecodeStatus::End) break;
        if (status == DecodeStatus::NoMemory) return kDataNoMemory;
        if (status == DecodeStatus::ChecksumError) return kDataCrcError;
        if (used == 0 && made == 0) {
            // Input is all given and the decoder has nothing more: the
            // stream stopped short of its end marker. What was produced is
            // judged by its size and CRC below.
            if (available == 0 && remaining == 0) break;
            return kDataDecodeError;
        }
        if (progress.IsCancelled()) return kDataCancelled;
    }
    if (aes_) {
        if (!ReadAll(remaining)) return kDataReadError;
        if ((code = CheckAuthCode()) != kDataOk) return code;
    }
    if (produced != info_.uncompressedSize) return kDataCrcError;
    if (checkCrc_ && crc.Value() != info_.crc) return kDataCrcError;
    return kDataOk;
}

}  // namespace kivo::zip
