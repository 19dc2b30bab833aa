#pragma once
// Traditional zip encryption (the PKWARE stream cipher with three 32-bit
// keys), holding the cipher state of one entry.
#include <cstddef>
#include <cstdint>

namespace kivo::zip {

class ZipCrypto {
public:
    static constexpr std::size_t kHeaderSize = 12;

    // Starts the keys and feeds the password bytes (no terminator). A null
    // password or a length of 0 leaves the initial keys.
    void InitKeys(const char* password, std::size_t length);
    void UpdateKeys(unsigned char byte);
    // The next keystream byte (does not advance the keys).
    unsigned char DecryptByte() const;

    static constexpr std::size_t kRandomSize = 10;

    // Builds the encrypted 12-byte header of an entry whose data has `crc`:
    // bytes 0..9 are the caller's random bytes, so that no header byte but
    // the two check bytes is known to an attacker, and bytes 10, 11 carry
    // bits 16..31 of the CRC, which readers check. Does nothing without a
    // password. Read the result with Header().
    void MakeHeader(const char* password, std::size_t length, std::uint32_t crc,
                    const unsigned char (&random)[kRandomSize]);
    const unsigned char* Header() const { return header_; }

    void EncryptBuffer(unsigned char* bytes, std::size_t count);
    void DecryptBuffer(unsigned char* bytes, std::size_t count);

    // Decrypts a copy of the 12 header bytes read from an archive with the
    // password and returns 1 when both check bytes (10 and 11) match the
    // CRC, else 0. The keys are left ready for DecryptBuffer on the data.
    int CheckHeader(const char* password, std::size_t length, const unsigned char* header,
                    std::uint32_t crc);

    std::uint32_t Key0() const { return keys_[0]; }
    std::uint32_t Key1() const { return keys_[1]; }
    std::uint32_t Key2() const { return keys_[2]; }

private:
    std::uint32_t keys_[3] = {0, 0, 0};
    unsigned char header_[kHeaderSize] = {};
};

}  // namespace kivo::zip
