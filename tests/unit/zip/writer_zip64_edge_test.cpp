// An entry of exactly 4,294,967,295 bytes: the value fits the 32-bit
// fields, but it is the marker that sends readers to the Zip64 field, so
// with the default limits both headers must carry the marker and the field.
// Checked through the header builders, without writing 4 GiB.
#include <gtest/gtest.h>

#include "zip/ZipArchiveWriter.h"
#include "zip/format/ZipEntryWriter.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

constexpr std::uint64_t kSize = 0xFFFFFFFFull;

TEST(WriterZip64Edge, AllOnesSizeGetsMarkerAndFieldInBothHeaders) {
    File unopened;
    ZipProgress progress;
    ZipEntryWriter writer(unopened, nullptr, 0, progress, ZipLimits{}, 1);
    EntryRecord record;
    record.name = "big.bin";
    record.crc = 0x12345678;
    record.size = kSize;
    record.zip64Local = writer.NeedsLocalZip64(kSize);
    ASSERT_TRUE(record.zip64Local);
    record.compressedSize = 4170000;  // what deflate made of it
    record.offset = 0;

    const std::string local = LocalHeaderStart(record);
    EXPECT_EQ(test::Le32(local, 18), 0xFFFFFFFFu);
    EXPECT_EQ(test::Le32(local, 22), 0xFFFFFFFFu);
    const std::string localExtra = local.substr(30 + record.name.size());
    EXPECT_EQ(test::Le16(local, 28), localExtra.size());
    const auto localValues = test::Zip64Values(localExtra);
    ASSERT_EQ(localValues.size(), 2u);
    EXPECT_EQ(localValues[0], kSize);

    std::vector<unsigned char> central;
    AppendCentralHeader(central, record, ZipLimits{});
    const std::string c(central.begin(), central.end());
    EXPECT_EQ(test::Le32(c, 24), 0xFFFFFFFFu);  // uncompressed: the marker
    EXPECT_EQ(test::Le32(c, 20), record.compressedSize);
    EXPECT_EQ(test::Le16(c, 6), 45);
    const auto centralValues = test::Zip64Values(c.substr(46 + record.name.size()));
    ASSERT_EQ(centralValues.size(), 1u);
    EXPECT_EQ(centralValues[0], kSize);

    // One byte less fits without either.
    record.size = kSize - 1;
    std::vector<unsigned char> smaller;
    AppendCentralHeader(smaller, record, ZipLimits{});
    const std::string s(smaller.begin(), smaller.end());
    EXPECT_EQ(test::Le32(s, 24), kSize - 1);
    EXPECT_TRUE(test::Zip64Values(s.substr(46 + record.name.size())).empty());
}

}  // namespace
}  // namespace kivo::zip
