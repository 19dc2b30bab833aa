// bzip2 decoded block by block on several threads gives what one thread
// gives, in any split of input and output; a damaged block is the CRC
// row, whichever block it is.
#include <bzlib.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "extract_support.h"
#include "zip/ExtractEntry.h"
#include "platform/Cpu.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/ParallelBzip2Decoder.h"

namespace kivo::zip {
namespace {

std::string Compressed(const std::string& data, int level) {
    std::string out(data.size() + data.size() / 100 + 600, '\0');
    auto length = static_cast<unsigned>(out.size());
    if (BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(data.data()),
                                 static_cast<unsigned>(data.size()), level, 0, 0) != BZ_OK)
        throw std::runtime_error("bzip2");
    out.resize(length);
    return out;
}

// Text that compresses to several 100 kB blocks at level 1, with runs
// long enough for bzip2's run-length step.
std::string Text(std::size_t size, unsigned seed) {
    std::string text;
    std::uint32_t x = seed;
    while (text.size() < size) {
        x = x * 1103515245u + 12345u;
        switch (x >> 29) {
            case 0: text += std::string(5 + (x >> 20) % 40, static_cast<char>('a' + (x >> 8) % 26)); break;
            case 1:
            case 2: text += "block after block after block "; break;
            default: text += static_cast<char>(x >> 12);
        }
    }
    text.resize(size);
    return text;
}

std::unique_ptr<EntryDecoder> OneThread() {
    DecodeStatus status = DecodeStatus::Ok;
    auto decoder = MakeEntryDecoder(kMethodBzip2, 0, 0, status);
    EXPECT_TRUE(decoder);
    return decoder;
}

struct Result {
    DecodeStatus status = DecodeStatus::Ok;
    std::string bytes;
};

Result DecodeAll(EntryDecoder& decoder, const std::string& packed, std::size_t inStep,
                 std::size_t outStep) {
    Result r;
    std::vector<unsigned char> buffer(outStep);
    std::size_t at = 0;
    for (int guard = 0; guard < 10000000; ++guard) {
        const std::size_t give = std::min(inStep, packed.size() - at);
        std::size_t used = 0, made = 0;
        r.status = decoder.Decode(reinterpret_cast<const unsigned char*>(packed.data()) + at, give,
                                  at + give == packed.size(), buffer.data(), buffer.size(), used,
                                  made);
        at += used;
        r.bytes.append(reinterpret_cast<const char*>(buffer.data()), made);
        if (r.status != DecodeStatus::Ok || (used == 0 && made == 0 && at == packed.size())) break;
    }
    return r;
}

// Bit positions of the block magics, found the slow way.
std::vector<std::size_t> BlockStarts(const std::string& packed) {
    std::vector<std::size_t> starts;
    std::uint64_t window = 0;
    for (std::size_t bit = 0; bit < packed.size() * 8; ++bit) {
        window = ((window << 1) | ((static_cast<unsigned char>(packed[bit / 8]) >> (7 - bit % 8)) & 1)) &
                 0xFFFFFFFFFFFFull;
        if (bit >= 47 && window == 0x314159265359ull) starts.push_back(bit - 47);
    }
    return starts;
}

TEST(ParallelBzip2, EqualsOneThreadInAnySplitAndForConcatenatedStreams) {
    const std::string first = Text(900000, 1), second = Text(230000, 2);
    const std::string single = Compressed(first, 1);
    ASSERT_GE(BlockStarts(single).size(), 5u);
    const struct {
        const char* name;
        std::string packed;
        std::string content;
    } streams[] = {
        {"several blocks", single, first},
        {"two streams", single + Compressed(second, 1), first + second},
        {"one block", Compressed(second, 9), second},
        {"empty", Compressed("", 9), ""},
    };
    for (const auto& s : streams) {
        const Result reference = DecodeAll(*OneThread(), s.packed, 16384, 32768);
        ASSERT_EQ(reference.status, DecodeStatus::End) << s.name;
        ASSERT_TRUE(reference.bytes == s.content) << s.name;
        for (unsigned workers : {1u, 2u, 4u}) {
            for (const auto& [in, out] : {std::pair<std::size_t, std::size_t>{16384, 32768},
                                          {999, 777}, {s.packed.size() + 1, 1 << 20}}) {
                auto decoder = MakeParallelBzip2Decoder(workers, OneThread());
                const Result r = DecodeAll(*decoder, s.packed, in, out);
                EXPECT_EQ(r.status, DecodeStatus::End) << s.name << " " << workers << " " << in;
                EXPECT_TRUE(r.bytes == reference.bytes) << s.name << " " << workers << " " << in;
            }
        }
    }
}

TEST(ParallelBzip2, AnUnusualHeaderGoesToOneThreadFromTheStart) {
    // Not a bzip2 header at all: both decoders refuse it alike.
    const std::string garbage = "BZx9 not a stream at all, not at all";
    const Result reference = DecodeAll(*OneThread(), garbage, 16384, 32768);
    auto decoder = MakeParallelBzip2Decoder(2, OneThread());
    const Result r = DecodeAll(*decoder, garbage, 5, 32768);
    EXPECT_EQ(r.status, reference.status);
    EXPECT_EQ(r.status, DecodeStatus::DataError);
}

TEST(ParallelBzip2, AFlippedBitInAnyBlockIsAChecksumError) {
    const std::string content = Text(900000, 3);
    const std::string packed = Compressed(content, 1);
    const std::vector<std::size_t> starts = BlockStarts(packed);
    ASSERT_GE(starts.size(), 5u);
    // The end marker follows the last block.
    std::vector<std::size_t> ends(starts.begin() + 1, starts.end());
    ends.push_back(packed.size() * 8 - 80);
    for (std::size_t b = 0; b < starts.size(); ++b) {
        // In the magic, in the block's CRC, and in its coded data.
        for (const std::size_t bit :
             {starts[b] + 20, starts[b] + 60, (starts[b] + 80 + ends[b]) / 2}) {
            std::string damaged = packed;
            damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (0x80 >> (bit % 8)));
            auto decoder = MakeParallelBzip2Decoder(2, OneThread());
            const Result r = DecodeAll(*decoder, damaged, 16384, 32768);
            EXPECT_EQ(r.status, DecodeStatus::ChecksumError) << "block " << b << " bit " << bit;
            EXPECT_TRUE(r.bytes != content) << "block " << b << " bit " << bit;
        }
    }
}

// Through extraction: a large bzip2 entry with one damaged block fails as
// a CRC error and leaves no file; the sound one extracts whole.
TEST(ParallelBzip2, ExtractionReportsTheCrcRowForADamagedBlock) {
    if (UsableCpuCount() < 2) GTEST_SKIP() << "one processor: bzip2 decodes on one thread";
    const std::string content = Text(kParallelBzip2From + 100000, 4);
    const std::string packed = Compressed(content, 1);
    const std::vector<std::size_t> starts = BlockStarts(packed);
    ASSERT_GE(starts.size(), 9u);
    std::string damaged = packed;
    const std::size_t bit = (starts[7] + starts[8]) / 2;
    damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ 0x10);
    test::Member sound("sound.txt", content, kMethodBzip2), bad("bad.txt", content, kMethodBzip2);
    sound.packed = packed;
    bad.packed = damaged;
    test::ExtractFixture fixture;
    ASSERT_TRUE(fixture.Load({sound, bad}));
    ZipProgress progress;
    EXPECT_EQ(ExtractEntry(fixture.Entry("sound.txt"), fixture.directory_.ArchiveFile(),
                           fixture.Target(), "", nullptr, progress, false),
              kExtractOk);
    EXPECT_TRUE(test::ReadFile(fixture.Target() + "/sound.txt") == content);
    EXPECT_EQ(ExtractEntry(fixture.Entry("bad.txt"), fixture.directory_.ArchiveFile(),
                           fixture.Target(), "", nullptr, progress, false),
              kExtractCrcError);
    EXPECT_FALSE(std::filesystem::exists(fixture.Target() + "/bad.txt"));
}

}  // namespace
}  // namespace kivo::zip
