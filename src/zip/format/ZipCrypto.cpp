#include "zip/format/ZipCrypto.h"

#include <cstring>

#include "zip/format/Crc32.h"

namespace kivo::zip {

void ZipCrypto::InitKeys(const char* password, std::size_t length) {
    keys_[0] = 0x12345678u;
    keys_[1] = 0x23456789u;
    keys_[2] = 0x34567890u;
    if (password == nullptr) return;
    for (std::size_t i = 0; i < length; ++i) UpdateKeys(static_cast<unsigned char>(password[i]));
}

void ZipCrypto::UpdateKeys(unsigned char byte) {
    keys_[0] = Crc32Step(keys_[0], byte);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = Crc32Step(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

unsigned char ZipCrypto::DecryptByte() const {
    const std::uint32_t t = (keys_[2] & 0xFFFF) | 2;
    return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
}

void ZipCrypto::MakeHeader(const char* password, std::size_t length, std::uint32_t crc,
                           const unsigned char (&random)[kRandomSize]) {
    if (password == nullptr || length == 0) return;
    InitKeys(password, length);
    std::memcpy(header_, random, kRandomSize);
    header_[10] = static_cast<unsigned char>(crc >> 16);
    header_[11] = static_cast<unsigned char>(crc >> 24);
    EncryptBuffer(header_, kHeaderSize);
}

void ZipCrypto::EncryptBuffer(unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char plain = bytes[i];
        bytes[i] = static_cast<unsigned char>(plain ^ DecryptByte());
        UpdateKeys(plain);
    }
}

void ZipCrypto::DecryptBuffer(unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char plain = static_cast<unsigned char>(bytes[i] ^ DecryptByte());
        bytes[i] = plain;
        UpdateKeys(plain);
    }
}

int ZipCrypto::CheckHeader(const char* password, std::size_t length, const unsigned char* header,
                           std::uint32_t crc) {
    unsigned char copy[kHeaderSize];
    std::memcpy(copy, header, kHeaderSize);
    InitKeys(password, length);
    DecryptBuffer(copy, kHeaderSize);
    const bool byte10 = copy[10] == static_cast<unsigned char>(crc >> 16);
    const bool byte11 = copy[11] == static_cast<unsigned char>(crc >> 24);
    return byte10 && byte11 ? 1 : 0;
}

}  // namespace kivo::zip
