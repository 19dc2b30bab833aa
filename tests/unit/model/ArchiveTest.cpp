#include "model/Archive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "AllocationProbe.h"
#include "TempFolder.h"
#include "platform/File.h"

namespace kivo {
namespace {

using testing::Bytes;

std::string Store(const std::string& text) {
    std::string out;
    Archive archive = Archive::StoreTo(out);
    EXPECT_TRUE(archive.WriteString(text));
    return out;
}

struct PrefixCase {
    std::size_t length;
    std::string prefix;
};

class StringPrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(StringPrefixTest, WritesPrefixThenBytesAndReadsBack) {
    const PrefixCase& c = GetParam();
    std::string text(c.length, 'x');
    if (!text.empty()) text.back() = 'y';
    const std::string bytes = Store(text);
    ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
    EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix);

    Archive reader = Archive::LoadFrom(bytes);
    std::string back;
    ASSERT_TRUE(reader.ReadString(back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(reader.Remaining(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, StringPrefixTest,
    ::testing::Values(PrefixCase{0, Bytes({0x00})}, PrefixCase{254, Bytes({0xFE})},
                      PrefixCase{255, Bytes({0xFF, 0xFF, 0x00})},
                      PrefixCase{0xFFFD, Bytes({0xFF, 0xFD, 0xFF})},
                      PrefixCase{0xFFFE, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
                      PrefixCase{0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
                      PrefixCase{0x10000, Bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})}));

TEST(ArchiveTest, CountUsesShortFormBelowFFFF) {
    const struct {
        std::uint64_t count;
        std::string bytes;
    } cases[] = {
        {0, Bytes({0x00, 0x00})},
        {0xFFFE, Bytes({0xFE, 0xFF})},
        {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {0x10000, Bytes({0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})},
    };
    for (const auto& c : cases) {
        std::string out;
        Archive writer = Archive::StoreTo(out);
        ASSERT_TRUE(writer.WriteCount(c.count));
        EXPECT_EQ(out, c.bytes) << c.count;
        Archive reader = Archive::LoadFrom(out);
        std::uint32_t back = 0;
        ASSERT_TRUE(reader.ReadCount(back));
        EXPECT_EQ(back, c.count);
    }
}

TEST(ArchiveTest, ReadsUtf16StringsAsUtf8) {
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"latin and euro", Bytes({0xFF, 0xFE, 0xFF, 0x03, 'A', 0x00, 0xE9, 0x00, 0xAC, 0x20}),
         "A\xC3\xA9\xE2\x82\xAC"},
        {"surrogate pair", Bytes({0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 0x00, 0xDE}),
         "\xF0\x9F\x98\x80"},
        {"lone surrogates", Bytes({0xFF, 0xFE, 0xFF, 0x03, 0x3D, 0xD8, 'a', 0x00, 0x00, 0xDC}),
         "\xEF\xBF\xBD" "a" "\xEF\xBF\xBD"},
        {"empty", Bytes({0xFF, 0xFE, 0xFF, 0x00}), ""},
    };
    for (const auto& c : cases) {
        Archive reader = Archive::LoadFrom(c.bytes);
        std::string text = "old";
        ASSERT_TRUE(reader.ReadString(text)) << c.what;
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(reader.Remaining(), 0u) << c.what;
    }
}

TEST(ArchiveTest, ReadsUtf16StringWithLongSecondPrefix) {
    // 300 units of 'b': marker, then 0xFF and a 16-bit unit count.
    std::string bytes = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01});
    for (int i = 0; i < 300; ++i) bytes += Bytes({'b', 0x00});
    bytes += "tail";
    Archive reader = Archive::LoadFrom(bytes);
    std::string text;
    ASSERT_TRUE(reader.ReadString(text));
    EXPECT_EQ(text, std::string(300, 'b'));
    EXPECT_EQ(reader.Remaining(), 4u);
}

TEST(ArchiveTest, DamagedLengthsFailWithoutAllocatingThem) {
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"32-bit length", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'})},
        {"16-bit length", Bytes({0xFF, 0x00, 0xF0, 'a', 'b'})},
        {"utf-16 units", Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0})},
        {"one byte short", Bytes({0x05, 'a', 'b', 'c', 'd'})},
        {"cut prefix", Bytes({0xFF, 0xFF})},
    };
    for (const auto& c : cases) {
        testing::AllocationProbe probe;
        Archive reader = Archive::LoadFrom(c.bytes);
        std::string text = "untouched";
        EXPECT_FALSE(reader.ReadString(text)) << c.what;
        EXPECT_FALSE(reader.ok()) << c.what;
        EXPECT_EQ(text, "untouched") << c.what;
        EXPECT_LT(probe.largest(), 4096u) << c.what;
    }
}

TEST(ArchiveTest, FileBackedArchiveCrossesBufferBoundaries) {
    testing::TempFolder folder;
    const std::string path = folder.File("big");
    std::string expected;
    {
        File file;
        ASSERT_TRUE(file.Open(path, File::Mode::CreateTruncate));
        Archive writer = Archive::StoreTo(file);
        for (int i = 0; i < 40; ++i) {
            const std::string text(100 + i * 37, static_cast<char>('a' + i % 26));
            ASSERT_TRUE(writer.WriteString(text));
            ASSERT_TRUE(writer.WriteI32(i));
            expected += text;
        }
        ASSERT_TRUE(writer.Flush());
    }
    File file;
    ASSERT_TRUE(file.Open(path, File::Mode::Read));
    Archive reader = Archive::LoadFrom(file);
    std::string got;
    for (int i = 0; i < 40; ++i) {
        std::string text;
        std::int32_t index = -1;
        ASSERT_TRUE(reader.ReadString(text));
        ASSERT_TRUE(reader.ReadI32(index));
        EXPECT_EQ(index, i);
        got += text;
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(reader.Remaining(), 0u);
    std::int32_t extra = 0;
    EXPECT_FALSE(reader.ReadI32(extra));
}

}  // namespace
}  // namespace kivo
