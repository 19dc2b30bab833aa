// The Deflate64 decoder: what sets it apart from deflate (length code 285
// with 16 extra bits, distance codes 30 and 31, a 64 KiB window) on
// hand-made streams, and archives from 7-Zip decoded in any split of input
// and output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "reader_ArchiveBytes.h"
#include "support/TempDir.h"
#include "zip/format/Deflate64Decoder.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

// Deflate's bit order: fields lowest bit first, Huffman codes highest
// bit first.
class BitWriter {
public:
    void Bits(std::uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    void Code(std::uint32_t code, unsigned length) {
        for (unsigned i = length; i-- > 0;) Bit((code >> i) & 1);
    }
    void AlignToByte() {
        while (used_ != 0) Bit(0);
    }
    void Byte(unsigned char b) { out_ += static_cast<char>(b); }
    std::string Done() {
        AlignToByte();
        return out_;
    }

private:
    void Bit(std::uint32_t b) {
        if (used_ == 0) out_ += '\0';
        out_.back() = static_cast<char>(out_.back() | (b << used_));
        used_ = (used_ + 1) % 8;
    }
    std::string out_;
    unsigned used_ = 0;
};

// Fixed-code symbols.
void Literal(BitWriter& w, unsigned char c) {
    if (c < 144) w.Code(0x30 + c, 8);
    else w.Code(0x190 + (c - 144), 9);
}
void LengthSymbol(BitWriter& w, unsigned symbol) {
    if (symbol < 280) w.Code(symbol - 256, 7);
    else w.Code(0xC0 + (symbol - 280), 8);
}

struct Decoded {
    DecodeStatus status = DecodeStatus::Ok;
    std::string out;
};

// Decodes `stream` handing in `inStep` bytes and taking out at most
// `outStep` bytes per call.
Decoded Decode(const std::string& stream, std::size_t inStep, std::size_t outStep) {
    auto decoder = MakeDeflate64Decoder();
    Decoded result;
    std::size_t pos = 0;
    std::string buffer(outStep, '\0');
    for (int guard = 0; guard < 10000000; ++guard) {
        const std::size_t give = std::min(inStep, stream.size() - pos);
        std::size_t used = 0, made = 0;
        result.status = decoder->Decode(
            reinterpret_cast<const unsigned char*>(stream.data()) + pos, give,
            pos + give == stream.size(), reinterpret_cast<unsigned char*>(buffer.data()), outStep,
            used, made);
        pos += used;
        result.out.append(buffer.data(), made);
        if (result.status != DecodeStatus::Ok) return result;
        if (used == 0 && made == 0 && pos == stream.size()) return result;
    }
    ADD_FAILURE() << "decoder makes no progress";
    return result;
}

TEST(Deflate64, LengthCode285CarriesSixteenExtraBits) {
    BitWriter w;
    w.Bits(1, 1);  // final
    w.Bits(1, 2);  // fixed codes
    Literal(w, 'a');
    LengthSymbol(w, 285);
    w.Bits(65535, 16);  // length 65,538, the longest there is
    w.Code(0, 5);           // distance 1
    Literal(w, 'b');
    LengthSymbol(w, 256);
    const std::string stream = w.Done();
    for (const std::size_t outStep : {std::size_t{1}, std::size_t{777}, std::size_t{1} << 20}) {
        const Decoded d = Decode(stream, 3, outStep);
        EXPECT_EQ(d.status, DecodeStatus::End) << outStep;
        EXPECT_EQ(d.out.size(), 65540u) << outStep;
        EXPECT_TRUE(d.out == std::string(65539, 'a') + "b") << outStep;
    }
}

TEST(Deflate64, DistanceCodes30And31ReachBackNearlyTheWholeWindow) {
    std::string history(65000, '\0');
    std::uint32_t x = 7;
    for (char& c : history) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    BitWriter w;
    w.Bits(0, 1);  // a stored block first
    w.Bits(0, 2);
    w.AlignToByte();
    w.Bits(static_cast<std::uint32_t>(history.size()), 16);
    w.Bits(static_cast<std::uint32_t>(history.size()) ^ 0xFFFF, 16);
    for (char c : history) w.Byte(static_cast<unsigned char>(c));
    w.Bits(1, 1);
    w.Bits(1, 2);
    // Length 10 (symbol 264) from distance 40,000 (code 30: 32,769 + 7,231)
    // and from 60,000 (code 31: 49,153 + 10,847).
    LengthSymbol(w, 264);
    w.Code(30, 5);
    w.Bits(40000 - 32769, 14);
    LengthSymbol(w, 264);
    w.Code(31, 5);
    w.Bits(60000 - 49153, 14);
    LengthSymbol(w, 256);
    const std::string stream = w.Done();

    std::string expected = history;
    expected += expected.substr(expected.size() - 40000, 10);
    expected += expected.substr(expected.size() - 60000, 10);
    const Decoded d = Decode(stream, 4096, 4096);
    EXPECT_EQ(d.status, DecodeStatus::End);
    EXPECT_TRUE(d.out == expected);
}

TEST(Deflate64, DamagedStreamsFail) {
    BitWriter far;
    far.Bits(1, 1);
    far.Bits(1, 2);
    Literal(far, 'x');
    LengthSymbol(far, 257);
    far.Code(1, 5);  // distance 2 with one byte written
    LengthSymbol(far, 256);
    EXPECT_EQ(Decode(far.Done(), 100, 100).status, DecodeStatus::DataError);

    BitWriter type3;
    type3.Bits(1, 1);
    type3.Bits(3, 2);
    EXPECT_EQ(Decode(type3.Done(), 100, 100).status, DecodeStatus::DataError);

    BitWriter stored;
    stored.Bits(1, 1);
    stored.Bits(0, 2);
    stored.AlignToByte();
    stored.Bits(5, 16);
    stored.Bits(5, 16);  // not the complement
    EXPECT_EQ(Decode(stored.Done(), 100, 100).status, DecodeStatus::DataError);

    // A stream cut short fails once the input is known to be complete.
    BitWriter cut;
    cut.Bits(1, 1);
    cut.Bits(1, 2);
    for (char c : std::string("abcdef")) Literal(cut, static_cast<unsigned char>(c));
    EXPECT_NE(Decode(cut.Done(), 1, 100).status, DecodeStatus::End);
}

// 7-Zip's dynamic-code blocks, stored blocks for incompressible data and
// far matches, decoded in awkward splits.
TEST(Deflate64, SevenZipStreamsDecodeInAnySplit) {
    test::TempDir dir;
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "deflate64 row " + std::to_string(i % 3001) + "\n";
    std::string noise(50000, '\0');
    std::uint32_t x = 3;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    // Noise repeated after 50,000 bytes: only a window past 32 KiB finds it.
    const std::string content = text + noise + noise;
    test::WriteFile(dir / "in.bin", content);
    const std::string archive = dir / "d64.zip";
    ASSERT_EQ(std::system(("cd '" + std::string(dir.path()) +
                           "' && 7zz a -tzip -mm=Deflate64 -bd -bso0 -bsp0 '" + archive + "' in.bin")
                              .c_str()),
              0)
        << "7zz is missing; scripts/install-deps installs it";
    ZipDirectory directory;
    ASSERT_NE(directory.Load(archive), 0);
    const ZipEntry& entry = *directory.Entries().front();
    ASSERT_EQ(entry.method, kMethodDeflate64);
    // Far matches make the stream well below one copy of the noise.
    EXPECT_LT(entry.compressedSize, content.size() - noise.size());
    const std::string bytes = test::ReadFile(archive);
    const auto* local = reinterpret_cast<const unsigned char*>(bytes.data()) + entry.offset;
    const std::string stream = bytes.substr(entry.offset + 30 + GetU16(local + 26) + GetU16(local + 28),
                                            entry.compressedSize);
    for (const auto& [inStep, outStep] :
         {std::pair<std::size_t, std::size_t>{1, 65536}, {7, 3}, {16384, 32768}, {1 << 20, 1}}) {
        const Decoded d = Decode(stream, inStep, outStep);
        EXPECT_EQ(d.status, DecodeStatus::End) << inStep << "/" << outStep;
        EXPECT_TRUE(d.out == content) << inStep << "/" << outStep;
    }
}

}  // namespace
}  // namespace kivo::zip
