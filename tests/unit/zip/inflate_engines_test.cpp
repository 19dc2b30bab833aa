// The two raw inflate decoders (ISA-L's and zlib's) give the same bytes and
// the same result for every seed archive and for damaged deflate streams;
// the CRC-32 matches zlib's for any split of the data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../../fuzz/ZipFuzzSeeds.h"
#include "reader_ArchiveBytes.h"
#include "support/TempDir.h"
#include "zip/ExtractEntry.h"
#include "zip/format/Crc32.h"
#include "zip/format/InflateEngine.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

using test::BuildArchive;
using test::Member;

std::string Deflated(const std::string& data, int level, int strategy) {
    z_stream s{};
    deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, strategy);
    std::string out(deflateBound(&s, data.size()) + 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// Text with long and short matches and literals of every value.
std::string MixedText(std::size_t size) {
    std::string text;
    std::uint32_t x = 12345;
    while (text.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 28) < 5) text += "the quick brown fox jumps over the lazy dog ";
        else text += static_cast<char>(x >> 16);
    }
    text.resize(size);
    return text;
}

struct Stream {
    std::string content;
    std::string packed;
};

// Sound streams of every block type, and each cut short, with trailing
// bytes, and with bytes flipped; `stride` thins out the positions of the
// larger ones.
std::vector<Member> DamagedVariants() {
    const std::string small = "inflate engines, inflate engines, inflate engines agree\n";
    const std::string large = MixedText(100000);
    const std::vector<std::pair<Stream, std::size_t>> streams = {
        {{small, Deflated(small, 6, Z_DEFAULT_STRATEGY)}, 1},
        {{small, Deflated(small, 6, Z_FIXED)}, 1},
        {{small, Deflated(small, 0, Z_DEFAULT_STRATEGY)}, 1},
        {{"", Deflated("", 6, Z_DEFAULT_STRATEGY)}, 1},
        {{large, Deflated(large, 9, Z_DEFAULT_STRATEGY)}, 997},
        {{large, Deflated(large, 0, Z_DEFAULT_STRATEGY)}, 4999},
    };
    std::vector<Member> members;
    const auto add = [&](const Stream& stream, std::string packed) {
        Member m("v" + std::to_string(members.size()), stream.content);
        m.packed = std::move(packed);
        members.push_back(std::move(m));
    };
    for (const auto& [stream, stride] : streams) {
        add(stream, stream.packed);
        add(stream, stream.packed + "trailing bytes");
        for (std::size_t cut = 0; cut < stream.packed.size(); cut += stride)
            add(stream, stream.packed.substr(0, cut));
        for (std::size_t at = 0; at < stream.packed.size(); at += stride) {
            for (unsigned char mask : {0x01, 0x10, 0x80, 0xFF}) {
                std::string flipped = stream.packed;
                flipped[at] = static_cast<char>(flipped[at] ^ mask);
                add(stream, flipped);
            }
        }
    }
    return members;
}

struct Outcome {
    int code = 0;
    std::string bytes;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "code " << o.code << ", " << o.bytes.size() << " bytes";
}

// Every entry of `archive` extracted with `engine` into a folder of its own.
std::vector<Outcome> ExtractAll(const std::string& archive, InflateEngine engine) {
    EXPECT_TRUE(SelectInflateEngine(engine));
    test::TempDir scratch;
    test::WriteFile(scratch / "in.zip", archive);
    std::filesystem::create_directories(scratch / "out");
    ZipDirectory directory;
    std::vector<Outcome> outcomes;
    if (!directory.Load(scratch / "in.zip")) return outcomes;
    const std::string password = "pw";
    for (const auto& entry : directory.Entries()) {
        ZipProgress progress;
        Outcome o;
        o.code = ExtractEntry(*entry, directory.ArchiveFile(), scratch / "out", "", &password,
                              progress, false);
        const std::string path = scratch / ("out/" + entry->name);
        if (o.code == kExtractOk && std::filesystem::is_regular_file(path))
            o.bytes = test::ReadFile(path);
        outcomes.push_back(std::move(o));
    }
    return outcomes;
}

class InflateEnginesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InflateEngineBuilt(InflateEngine::Isal)) GTEST_SKIP() << "built without ISA-L";
    }
    void TearDown() override { SelectInflateEngine(InflateEngine::Isal); }
};

TEST_F(InflateEnginesTest, SameBytesAndResultForEverySeedAndDamagedStream) {
    std::vector<std::string> archives = ZipSeedArchives();
    archives.push_back(BuildArchive(DamagedVariants()).bytes);
    std::size_t failures = 0, successes = 0;
    for (std::size_t a = 0; a < archives.size(); ++a) {
        const std::vector<Outcome> zlib = ExtractAll(archives[a], InflateEngine::Zlib);
        const std::vector<Outcome> isal = ExtractAll(archives[a], InflateEngine::Isal);
        ASSERT_EQ(zlib.size(), isal.size()) << "archive " << a;
        for (std::size_t e = 0; e < zlib.size(); ++e) {
            EXPECT_EQ(zlib[e], isal[e]) << "archive " << a << ", entry " << e;
            (zlib[e].code == kExtractOk ? successes : failures)++;
        }
    }
    // Both kinds were really met: sound entries and damaged ones.
    EXPECT_GT(successes, 40u);
    EXPECT_GT(failures, 200u);
}

TEST_F(InflateEnginesTest, SoundStreamsDecodeInAnySplitOfInputAndOutput) {
    const std::string text = MixedText(70000);
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
        const std::string packed = Deflated(text, 6, strategy);
        for (std::size_t inStep : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
            for (std::size_t outStep : {std::size_t{1}, std::size_t{300}, std::size_t{1} << 20}) {
                for (InflateEngine engine : {InflateEngine::Zlib, InflateEngine::Isal}) {
                    DecodeStatus status = DecodeStatus::Ok;
                    auto decoder = MakeInflateDecoder(engine, status);
                    ASSERT_TRUE(decoder);
                    std::string out;
                    std::vector<unsigned char> buffer(outStep);
                    std::size_t at = 0;
                    status = DecodeStatus::Ok;
                    for (int guard = 0; status == DecodeStatus::Ok && guard < 10000000; ++guard) {
                        const std::size_t give = std::min(inStep, packed.size() - at);
                        std::size_t used = 0, made = 0;
                        status = decoder->Decode(
                            reinterpret_cast<const unsigned char*>(packed.data()) + at, give,
                            at + give == packed.size(), buffer.data(), buffer.size(), used, made);
                        at += used;
                        out.append(reinterpret_cast<const char*>(buffer.data()), made);
                        if (status == DecodeStatus::Ok && used == 0 && made == 0) break;
                    }
                    EXPECT_EQ(status, DecodeStatus::End)
                        << static_cast<int>(engine) << " in " << inStep << " out " << outStep;
                    EXPECT_TRUE(out == text)
                        << static_cast<int>(engine) << " in " << inStep << " out " << outStep;
                }
            }
        }
    }
}

TEST(Crc32, MatchesZlibForAnyLengthAlignmentAndSplit) {
    const std::string data = MixedText(5000);
    for (std::size_t start : {0, 1, 3, 7}) {
        for (std::size_t length : {0, 1, 7, 8, 15, 16, 63, 64, 65, 255, 256, 1000, 4093}) {
            const auto* p = reinterpret_cast<const unsigned char*>(data.data()) + start;
            const auto expected =
                static_cast<std::uint32_t>(::crc32(0, p, static_cast<uInt>(length)));
            EXPECT_EQ(Crc32::Of(p, length), expected) << start << "+" << length;
            for (std::size_t split : {std::size_t{1}, length / 3, length - length / 5}) {
                if (split > length) continue;
                Crc32 crc;
                crc.Update(p, split);
                EXPECT_EQ(crc.Update(p + split, length - split), expected)
                    << start << "+" << length << " split " << split;
                EXPECT_EQ(crc.Value(), expected);
            }
        }
    }
}

}  // namespace
}  // namespace kivo::zip
