#pragma once
// WinZip AES encryption (AE-1 and AE-2): the entry's data is a salt, a
// 2-byte password verifier, the data encrypted with AES in WinZip's counter
// mode, and a 10-byte HMAC-SHA1 code over the encrypted data. The keys come
// from the password by PBKDF2-HMAC-SHA1 with 1,000 iterations.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kivo::zip {

constexpr std::uint16_t kAesExtraId = 0x9901;
constexpr std::uint16_t kAesVersionNeeded = 51;
// AE-1 entries keep their CRC; AE-2 entries store 0 and rely on the code.
constexpr std::uint16_t kAesVendorAe1 = 1;
constexpr std::uint16_t kAesVendorAe2 = 2;
constexpr std::size_t kAesFieldDataSize = 7;
constexpr std::size_t kAesVerifierSize = 2;
constexpr std::size_t kAesAuthCodeSize = 10;

// PKWARE's strong encryption, which this program does not read: flag bit 6,
// or its extra field.
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kStrongEncryptionExtraId = 0x0017;

// The data of an AES extra field: vendor version, strength 1/2/3 (128, 192
// or 256-bit keys) and the method the data is compressed with.
struct AesField {
    std::uint16_t vendorVersion = 0;
    std::uint8_t strength = 0;
    std::uint16_t method = 0;
};

// The AES field of an extra chain; false when there is none or it is not
// a valid one.
bool FindAesField(std::string_view extra, AesField& out);
// The whole extra block (id, size, data).
std::string MakeAesField(const AesField& field);

// 8, 12 or 16 bytes of salt; 0 for a strength that does not exist.
std::size_t AesSaltSize(unsigned strength);
// Salt, verifier and authentication code together.
std::size_t AesOverhead(unsigned strength);

class AesCipher {
public:
    AesCipher();
    ~AesCipher();
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    // Derives the keys from the password and the salt (AesSaltSize bytes)
    // and starts the cipher and the code. False when the library fails.
    bool Init(std::string_view password, unsigned strength, const unsigned char* salt);
    // The password verifier the keys give.
    const unsigned char* Verifier() const { return verifier_; }

    // Encrypts in place, then adds the result to the code.
    bool Encrypt(unsigned char* data, std::size_t size);
    // Adds the bytes to the code, then decrypts them in place.
    bool Decrypt(unsigned char* data, std::size_t size);
    // Adds encrypted bytes to the code without decrypting them.
    bool Authenticate(const unsigned char* data, std::size_t size);
    // The first 10 bytes of the code over everything passed so far.
    bool AuthCode(unsigned char (&out)[kAesAuthCodeSize]);

private:
    bool Crypt(unsigned char* data, std::size_t size);
    struct Impl;
    std::unique_ptr<Impl> impl_;
    unsigned char verifier_[kAesVerifierSize] = {};
};

}  // namespace kivo::zip
