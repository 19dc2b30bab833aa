// CRC-32 and the traditional zip cipher against values computed outside
// this program (zlib's crc32 and a separate Python implementation of the
// published cipher).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "zip/format/Crc32.h"
#include "zip/format/ZipCrypto.h"

namespace kivo::zip {
namespace {

TEST(Crc32, StandardCheckValues) {
    struct Case {
        std::string data;
        std::uint32_t crc;
    };
    const std::vector<Case> cases = {
        {"", 0x00000000u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const auto& c : cases) EXPECT_EQ(Crc32::Of(c.data.data(), c.data.size()), c.crc) << c.data;
}

TEST(Crc32, BlockwiseUpdatesMatchZlibAtEverySplit) {
    std::string data(1031, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 131 + 7) ^ (i >> 3));
    const auto expected = static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    for (std::size_t split = 0; split <= 17; ++split) {
        Crc32 crc;
        crc.Update(data.data(), split);
        EXPECT_EQ(crc.Update(data.data() + split, data.size() - split), expected) << split;
        EXPECT_EQ(crc.Value(), expected);
    }
    Crc32 crc;
    crc.Update(data.data(), 100);
    crc.Reset();
    EXPECT_EQ(crc.Update(data.data(), data.size()), expected);
}

struct KeyCase {
    std::string password;
    std::uint32_t key0, key1, key2;
    unsigned char keystream;
};

TEST(ZipCrypto, InitKeysGivesKnownKeys) {
    const std::vector<KeyCase> cases = {
        {"a", 0x64799C96u, 0xB303049Cu, 0xA253270Au, 0x33},
        {"secret", 0xDDA9E469u, 0x96212999u, 0xF9FC9651u, 0xC8},
        {"Passw\xc3\xb6rd with spaces", 0x33D8511Fu, 0x2155982Bu, 0x9E930CF4u, 0x09},
    };
    for (const auto& c : cases) {
        ZipCrypto crypto;
        crypto.InitKeys(c.password.data(), c.password.size());
        EXPECT_EQ(crypto.Key0(), c.key0) << c.password;
        EXPECT_EQ(crypto.Key1(), c.key1) << c.password;
        EXPECT_EQ(crypto.Key2(), c.key2) << c.password;
        EXPECT_EQ(crypto.DecryptByte(), c.keystream) << c.password;
    }
}

TEST(ZipCrypto, NoPasswordLeavesTheInitialKeys) {
    for (const auto& [password, length] :
         std::vector<std::pair<const char*, std::size_t>>{{nullptr, 5}, {"abc", 0}}) {
        ZipCrypto crypto;
        crypto.InitKeys(password, length);
        EXPECT_EQ(crypto.Key0(), 0x12345678u);
        EXPECT_EQ(crypto.Key1(), 0x23456789u);
        EXPECT_EQ(crypto.Key2(), 0x34567890u);
    }
    ZipCrypto crypto;
    const unsigned char random[ZipCrypto::kRandomSize] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    crypto.MakeHeader("abc", 0, 0x12345678u, random);
    const unsigned char zeros[ZipCrypto::kHeaderSize] = {};
    EXPECT_EQ(std::memcmp(crypto.Header(), zeros, sizeof zeros), 0);
}

TEST(ZipCrypto, HeaderAndDataMatchIndependentEncryption) {
    const std::string password = "secret";
    const std::uint32_t crc = 0xCBF43926u;
    const unsigned char expectedHeader[12] = {0xC8, 0x88, 0xC2, 0xBF, 0x0D, 0xE3,
                                              0xA4, 0x03, 0xF4, 0x15, 0xCC, 0x24};
    const unsigned char expectedData[11] = {0x22, 0x5E, 0x4B, 0x4E, 0x96, 0xF4,
                                            0xFF, 0x21, 0x67, 0x20, 0x07};
    const unsigned char random[ZipCrypto::kRandomSize] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ZipCrypto crypto;
    crypto.MakeHeader(password.data(), password.size(), crc, random);
    EXPECT_EQ(std::memcmp(crypto.Header(), expectedHeader, 12), 0);

    // The key state runs on from the header into the data.
    unsigned char data[] = "Hello, zip!";
    crypto.EncryptBuffer(data, 11);
    EXPECT_EQ(std::memcmp(data, expectedData, 11), 0);
    EXPECT_EQ(crypto.Key0(), 0xC1B42803u);
    EXPECT_EQ(crypto.Key1(), 0x13825A0Du);
    EXPECT_EQ(crypto.Key2(), 0x05F6B68Cu);

    ZipCrypto reader;
    ASSERT_EQ(reader.CheckHeader(password.data(), password.size(), expectedHeader, crc), 1);
    reader.DecryptBuffer(data, 11);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 11), "Hello, zip!");
}

// Builds a header whose decrypted check bytes are chosen freely.
std::vector<unsigned char> HeaderWithCheckBytes(const std::string& password, unsigned char b10,
                                                unsigned char b11) {
    std::vector<unsigned char> header(12);
    for (unsigned i = 0; i < 10; ++i) header[i] = static_cast<unsigned char>(i * 17);
    header[10] = b10;
    header[11] = b11;
    ZipCrypto crypto;
    crypto.InitKeys(password.data(), password.size());
    crypto.EncryptBuffer(header.data(), header.size());
    return header;
}

TEST(ZipCrypto, CheckHeaderNeedsBothCheckBytes) {
    const std::string pw = "pw";
    const std::uint32_t crc = 0xA1B2C3D4u;  // byte 10 must be 0xB2, byte 11 0xA1
    struct Case {
        unsigned char b10, b11;
        int expected;
    };
    for (const Case c : {Case{0xB2, 0xA1, 1}, Case{0x00, 0xA1, 0}, Case{0xB3, 0xA1, 0},
                         Case{0xB2, 0xA0, 0}}) {
        const auto header = HeaderWithCheckBytes(pw, c.b10, c.b11);
        ZipCrypto crypto;
        EXPECT_EQ(crypto.CheckHeader(pw.data(), pw.size(), header.data(), crc), c.expected)
            << int(c.b10) << " " << int(c.b11);
    }
    const auto good = HeaderWithCheckBytes(pw, 0xB2, 0xA1);
    ZipCrypto crypto;
    EXPECT_EQ(crypto.CheckHeader("pv", 2, good.data(), crc), 0);
    EXPECT_EQ(crypto.CheckHeader("pw", 2, good.data(), crc), 1);
}

}  // namespace
}  // namespace kivo::zip
