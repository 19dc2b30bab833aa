#include "zip/format/WinZipAes.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "zip/format/ZipExtraFields.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

constexpr int kIterations = 1000;
constexpr std::size_t kBlock = 16;
// Counter blocks encrypted per call into the library.
constexpr std::size_t kBatchBlocks = 256;

std::size_t KeySize(unsigned strength) {
    switch (strength) {
        case 1: return 16;
        case 2: return 24;
        case 3: return 32;
        default: return 0;
    }
}

const EVP_CIPHER* CipherOf(unsigned strength) {
    switch (strength) {
        case 1: return EVP_aes_128_ecb();
        case 2: return EVP_aes_192_ecb();
        case 3: return EVP_aes_256_ecb();
        default: return nullptr;
    }
}

}  // namespace

bool FindAesField(std::string_view extra, AesField& out) {
    const std::optional<std::string_view> field = FindExtraField(extra, kAesExtraId);
    if (!field || field->size() < kAesFieldDataSize) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(field->data());
    if (p[2] != 'A' || p[3] != 'E') return false;
    out.vendorVersion = GetU16(p);
    out.strength = p[4];
    out.method = GetU16(p + 5);
    return (out.vendorVersion == kAesVendorAe1 || out.vendorVersion == kAesVendorAe2) &&
           KeySize(out.strength) != 0;
}

std::string MakeAesField(const AesField& field) {
    unsigned char bytes[4 + kAesFieldDataSize];
    PutU16(bytes, kAesExtraId);
    PutU16(bytes + 2, kAesFieldDataSize);
    PutU16(bytes + 4, field.vendorVersion);
    bytes[6] = 'A';
    bytes[7] = 'E';
    bytes[8] = field.strength;
    PutU16(bytes + 9, field.method);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::size_t AesSaltSize(unsigned strength) { return KeySize(strength) / 2; }

std::size_t AesOverhead(unsigned strength) {
    return AesSaltSize(strength) + kAesVerifierSize + kAesAuthCodeSize;
}

struct AesCipher::Impl {
    EVP_CIPHER_CTX* cipher = nullptr;
    EVP_MAC* mac = nullptr;
    EVP_MAC_CTX* macContext = nullptr;
    std::uint64_t counter = 0;  // of the last block made
    unsigned char keystream[kBatchBlocks * kBlock] = {};
    std::size_t keystreamPos = sizeof keystream;
    ~Impl() {
        EVP_MAC_CTX_free(macContext);
        EVP_MAC_free(mac);
        EVP_CIPHER_CTX_free(cipher);
    }
};

AesCipher::AesCipher() = default;
AesCipher::~AesCipher() = default;

bool AesCipher::Init(std::string_view password, unsigned strength, const unsigned char* salt) {
    const std::size_t keySize = KeySize(strength);
    if (keySize == 0) return false;
    impl_ = std::make_unique<Impl>();
    std::vector<unsigned char> keys(2 * keySize + kAesVerifierSize);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                          static_cast<int>(AesSaltSize(strength)), kIterations, EVP_sha1(),
                          static_cast<int>(keys.size()), keys.data()) != 1)
        return false;
    std::memcpy(verifier_, keys.data() + 2 * keySize, kAesVerifierSize);

    impl_->cipher = EVP_CIPHER_CTX_new();
    if (impl_->cipher == nullptr ||
        EVP_EncryptInit_ex(impl_->cipher, CipherOf(strength), nullptr, keys.data(), nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(impl_->cipher, 0) != 1)
        return false;

    impl_->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (impl_->mac == nullptr) return false;
    impl_->macContext = EVP_MAC_CTX_new(impl_->mac);
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end()};
    const bool ok = impl_->macContext != nullptr &&
                    EVP_MAC_init(impl_->macContext, keys.data() + keySize, keySize, params) == 1;
    std::fill(keys.begin(), keys.end(), 0);
    return ok;
}

// WinZip's counter: block i (from 1) is the key applied to i as 8 bytes
// little-endian followed by 8 zero bytes. OpenSSL's CTR mode counts
// big-endian over all 16 bytes, which differs from the first block on.
bool AesCipher::Crypt(unsigned char* data, std::size_t size) {
    Impl& s = *impl_;
    while (size > 0) {
        if (s.keystreamPos == sizeof s.keystream) {
            unsigned char counters[sizeof s.keystream] = {};
            for (std::size_t b = 0; b < kBatchBlocks; ++b) PutU64(counters + b * kBlock, ++s.counter);
            int outLength = 0;
            if (EVP_EncryptUpdate(s.cipher, s.keystream, &outLength, counters,
                                  static_cast<int>(sizeof counters)) != 1 ||
                outLength != static_cast<int>(sizeof counters))
                return false;
            s.keystreamPos = 0;
        }
        const std::size_t n = std::min(size, sizeof s.keystream - s.keystreamPos);
        for (std::size_t i = 0; i < n; ++i) data[i] ^= s.keystream[s.keystreamPos + i];
        s.keystreamPos += n;
        data += n;
        size -= n;
    }
    return true;
}

bool AesCipher::Authenticate(const unsigned char* data, std::size_t size) {
    return size == 0 || EVP_MAC_update(impl_->macContext, data, size) == 1;
}

bool AesCipher::Encrypt(unsigned char* data, std::size_t size) {
    return Crypt(data, size) && Authenticate(data, size);
}

bool AesCipher::Decrypt(unsigned char* data, std::size_t size) {
    return Authenticate(data, size) && Crypt(data, size);
}

bool AesCipher::AuthCode(unsigned char (&out)[kAesAuthCodeSize]) {
    unsigned char full[EVP_MAX_MD_SIZE];
    std::size_t length = 0;
    if (EVP_MAC_final(impl_->macContext, full, &length, sizeof full) != 1 ||
        length < kAesAuthCodeSize)
        return false;
    std::memcpy(out, full, kAesAuthCodeSize);
    return true;
}

}  // namespace kivo::zip
