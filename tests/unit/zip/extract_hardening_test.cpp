// Entries that say one thing and hold another: sizes the data does not
// give, entries sharing bytes or reaching into the central directory. Each
// fails without touching what is on disk.
#include <gtest/gtest.h>

#include "extract_support.h"
#include "method_streams.h"
#include "zip/format/EntryDecoder.h"
#include "platform/FileSystem.h"
#include "zip/ExtractEntry.h"

namespace kivo::zip {
namespace {

using test::Member;
using test::ReadFile;

class ExtractHardening : public ::testing::Test, public test::ExtractFixture {
protected:
    int Extract(const std::string& name) {
        return ExtractEntry(Entry(name), directory_.ArchiveFile(), Target(), "", nullptr,
                            progress_, false);
    }
    std::string At(const std::string& rel) const { return Target() + "/" + rel; }
    ZipProgress progress_;
};

// Both headers state 100 bytes and the CRC of the 12 the data gives: the
// CRC alone cannot catch it, the size must.
TEST_F(ExtractHardening, DataShorterThanBothHeadersStateFailsAndKeepsTheOldFile) {
    const std::string twelve = "twelve bytes";
    Member stored("stored.txt", twelve, kMethodStored);
    Member deflated("deflated.txt", twelve);
    for (Member* m : {&stored, &deflated}) m->statedSize = 100;
    ASSERT_TRUE(Load({stored, deflated}));
    for (const char* name : {"stored.txt", "deflated.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Entry(name).uncompressedSize, 100u);
        test::WriteFile(At(name), "old content");
        EXPECT_EQ(Extract(name), kExtractCrcError);
        EXPECT_EQ(ReadFile(At(name)), "old content");
    }
    EXPECT_EQ(Tree().size(), 3u);  // the target folder and the two old files
}

// An entry stated empty is read and checked like any other rather than
// written as an empty file unseen.
TEST_F(ExtractHardening, AnEntryStatedEmptyMustBeEmpty) {
    Member moreData("more.txt", "data after all", kMethodStored);
    moreData.statedSize = 0;
    Member deflatedMore("more-deflated.txt", "data after all");
    deflatedMore.statedSize = 0;
    Member badCrc("crc.txt", "", kMethodStored);
    badCrc.statedCrc = 0x12345678;
    Member empty("empty.txt", "", kMethodStored);
    Member emptyDeflated("empty-deflated.txt", "");
    ASSERT_TRUE(Load({moreData, deflatedMore, badCrc, empty, emptyDeflated}));
    for (const char* name : {"more.txt", "more-deflated.txt", "crc.txt"}) {
        EXPECT_EQ(Extract(name), kExtractCrcError) << name;
        EXPECT_FALSE(PathExists(At(name))) << name;
    }
    for (const char* name : {"empty.txt", "empty-deflated.txt"}) {
        EXPECT_EQ(Extract(name), kExtractOk) << name;
        EXPECT_EQ(ReadFile(At(name)), "") << name;
    }
}

// The shape of a "zip bomb" of overlapping entries: many central entries
// pointing at one local header, so the output grows with the entry count.
TEST_F(ExtractHardening, EntriesSharingBytesAreRefusedWhenOpened) {
    auto archive = test::BuildArchive({{"zeros.bin", std::string(1 << 20, '\0')}});
    const std::string central = archive.bytes.substr(archive.centralOffset,
                                                     archive.endOffset - archive.centralOffset);
    std::string directory;
    for (int i = 0; i < 51; ++i) {
        std::string copy = central;
        copy.replace(46, 9, "zeros" + std::to_string(1000 + i));  // same length as zeros.bin
        directory += copy;
    }
    std::string bytes = archive.bytes.substr(0, archive.centralOffset) + directory +
                        test::EndRecord(0, 0, 51, 51, static_cast<std::uint32_t>(directory.size()),
                                        static_cast<std::uint32_t>(archive.centralOffset), "");
    EXPECT_FALSE(LoadBytes(bytes));
    // One of them alone is a good archive.
    EXPECT_TRUE(LoadBytes(archive.bytes));

    // Two entries whose spans overlap by one byte, and one whose stated
    // size reaches one byte into the central directory. The spans known at
    // opening leave out the names (5 bytes here).
    auto two = test::BuildArchive({{"a.txt", "aaaa", kMethodStored}, {"b.txt", "bbbb", kMethodStored}});
    std::string overlapping = two.bytes;
    test::Patch32(overlapping, two.centralOffset + 20, 10);
    EXPECT_FALSE(LoadBytes(overlapping));
    std::string intoDirectory = two.bytes;
    const std::size_t secondCentral = two.centralOffset + 46 + 5;
    test::Patch32(intoDirectory, secondCentral + 20, 10);
    EXPECT_FALSE(LoadBytes(intoDirectory));
    // One byte less each is what the names leave room for.
    test::Patch32(overlapping, two.centralOffset + 20, 9);
    EXPECT_TRUE(LoadBytes(overlapping));
    test::Patch32(intoDirectory, secondCentral + 20, 9);
    EXPECT_TRUE(LoadBytes(intoDirectory));
}

// The local name and extra field lengths are only known when the entry is
// read: a local header whose extra field pushes the data into the next
// entry fails then.
TEST_F(ExtractHardening, TheExactSpanIsCheckedWhenExtracting) {
    auto two = test::BuildArchive({{"a.txt", "aaaa", kMethodStored}, {"b.txt", "bbbb", kMethodStored}});
    std::string bytes = two.bytes;
    test::Patch16(bytes, two.localOffsets[0] + 28, 1);  // one extra byte: data runs into b.txt
    ASSERT_TRUE(LoadBytes(bytes));
    EXPECT_EQ(Extract("a.txt"), kExtractBadHeader);
    EXPECT_FALSE(PathExists(At("a.txt")));
    EXPECT_EQ(Extract("b.txt"), kExtractOk);
}

// A stream asking for a dictionary or window past 1 GiB fails as out of
// memory instead of taking it.
TEST_F(ExtractHardening, DecodersRefuseMoreThanAGibibyte) {
    const std::string text(5000, 'x');
    Member lzma("lzma.txt", text, kMethodLzma);
    lzma.packed = test::ZipLzmaStream(text, false);
    test::Patch32(*lzma.packed, 4 + 1, 0xFFFFFFFF);  // dictionary size of the properties
    Member zstd("zstd.txt", text, kMethodZstd);
    // Frame header: magic, descriptor, window of 2^31 bytes, then a block.
    zstd.packed = std::string("\x28\xB5\x2F\xFD\x00\xA8", 6) + test::ZstdStream(text).substr(6);
    ASSERT_TRUE(Load({lzma, zstd}));
    for (const char* name : {"lzma.txt", "zstd.txt"}) {
        EXPECT_EQ(Extract(name), kExtractNoMemory) << name;
        EXPECT_FALSE(PathExists(At(name))) << name;
    }
}

}  // namespace
}  // namespace kivo::zip
