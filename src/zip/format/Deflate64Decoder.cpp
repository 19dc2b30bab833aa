#include "zip/format/Deflate64Decoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace kivo::zip {

namespace {

constexpr std::size_t kWindowSize = 65536;
constexpr std::size_t kWindowMask = kWindowSize - 1;
// Unread input kept between calls. Each step (a block header, a symbol
// with its extra bits) needs well under this, so a full stage always lets
// the next step run.
constexpr std::size_t kStageSize = 65536;
constexpr unsigned kMaxCodeBits = 15;

constexpr std::array<std::uint16_t, 29> kLengthBase = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                                                       1, 1, 2, 2, 2, 2, 3, 3, 3, 3,
                                                       4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<std::uint32_t, 32> kDistanceBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025,  1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,
                                                         3, 3, 4,  4,  5,  5,  6,  6,
                                                         7, 7, 8,  8,  9,  9,  10, 10,
                                                         11, 11, 12, 12, 13, 13, 14, 14};
// The order in which the code-length code's lengths are sent.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code as one lookup table indexed by the next
// `bits` input bits (first bit lowest); an entry holds the symbol and its
// code length, 0 for bit patterns no code starts with.
class HuffmanTable {
public:
    bool Build(const std::uint8_t* lengths, std::size_t count) {
        std::array<std::uint16_t, kMaxCodeBits + 1> perLength{};
        bits_ = 1;
        for (std::size_t i = 0; i < count; ++i) {
            ++perLength[lengths[i]];
            bits_ = std::max<unsigned>(bits_, lengths[i]);
        }
        perLength[0] = 0;
        std::array<std::uint32_t, kMaxCodeBits + 2> next{};
        std::uint32_t code = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            code = (code + perLength[len - 1]) << 1;
            next[len] = code;
            // More codes of this length than it has patterns.
            if (perLength[len] > (1u << len) || next[len] + perLength[len] > (1u << len))
                return false;
        }
        table_.assign(std::size_t{1} << bits_, 0);
        for (std::size_t symbol = 0; symbol < count; ++symbol) {
            const unsigned len = lengths[symbol];
            if (len == 0) continue;
            std::uint32_t c = next[len]++;
            std::uint32_t reversed = 0;
            for (unsigned i = 0; i < len; ++i, c >>= 1) reversed = (reversed << 1) | (c & 1);
            const auto entry = static_cast<std::uint16_t>(symbol << 4 | len);
            for (std::size_t i = reversed; i < table_.size(); i += std::size_t{1} << len)
                table_[i] = entry;
        }
        return true;
    }
    unsigned Bits() const { return bits_; }
    std::uint16_t Lookup(std::uint64_t bits) const {
        return table_[static_cast<std::size_t>(bits & ((std::uint64_t{1} << bits_) - 1))];
    }

private:
    std::vector<std::uint16_t> table_;
    unsigned bits_ = 1;
};

class Deflate64Decoder final : public EntryDecoder {
public:
    bool Allocate() {
        window_.reset(new (std::nothrow) unsigned char[kWindowSize]);
        stage_.reset(new (std::nothrow) unsigned char[kStageSize]);
        return window_ && stage_;
    }

    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        // Keep the unread input together at the start of the stage.
        if (stagePos_ > 0) {
            std::memmove(stage_.get(), stage_.get() + stagePos_, stageEnd_ - stagePos_);
            stageEnd_ -= stagePos_;
            stagePos_ = 0;
        }
        consumed = std::min(inSize, kStageSize - stageEnd_);
        if (consumed > 0) std::memcpy(stage_.get() + stageEnd_, in, consumed);
        stageEnd_ += consumed;
        last_ = inputEnd && consumed == inSize;
        out_ = out;
        outSize_ = outSize;
        produced_ = 0;
        const DecodeStatus status = Run();
        produced = produced_;
        return status;
    }

private:
    enum class State { Header, Stored, Codes, Done };
    enum class Step { Done, More, Bad };

    // The bit reader: input bits, lowest first, in a 64-bit buffer.
    void Refill() {
        while (bitCount_ <= 56 && stagePos_ < stageEnd_) {
            bits_ |= std::uint64_t{stage_[stagePos_++]} << bitCount_;
            bitCount_ += 8;
        }
    }
    bool Take(unsigned n, std::uint32_t& value) {
        if (bitCount_ < n) Refill();
        if (bitCount_ < n) return false;
        value = static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
        bits_ >>= n;
        bitCount_ -= n;
        return true;
    }
    // Bad when the bits start no code; More when the input ran out first.
    Step Symbol(const HuffmanTable& table, unsigned& symbol) {
        if (bitCount_ < table.Bits()) Refill();
        const std::uint16_t entry = table.Lookup(bits_);
        const unsigned len = entry & 15;
        if (len == 0 || len > bitCount_) {
            // Fewer bits than the table's width are zero-padded; a code
            // longer than what is there needs more input.
            if (bitCount_ >= table.Bits()) return Step::Bad;
            return Step::More;
        }
        bits_ >>= len;
        bitCount_ -= len;
        symbol = entry >> 4;
        return Step::Done;
    }

    struct Mark {
        std::size_t stagePos;
        std::uint64_t bits;
        unsigned bitCount;
    };
    Mark Save() const { return {stagePos_, bits_, bitCount_}; }
    void Restore(const Mark& m) {
        stagePos_ = m.stagePos;
        bits_ = m.bits;
        bitCount_ = m.bitCount;
    }

    // A step that ran out of input is undone and waits for more; at the
    // end of the input it is a truncated stream.
    DecodeStatus Starved(const Mark& mark) {
        Restore(mark);
        return last_ ? DecodeStatus::DataError : DecodeStatus::Ok;
    }

    void Emit(unsigned char byte) {
        out_[produced_++] = byte;
        window_[windowPos_++ & kWindowMask] = byte;
        if (written_ < kWindowSize) ++written_;
    }

    void CopyMatch() {
        while (matchLeft_ > 0 && produced_ < outSize_) {
            Emit(window_[(windowPos_ - matchDistance_) & kWindowMask]);
            --matchLeft_;
        }
    }

    Step ReadHeader() {
        std::uint32_t final = 0, type = 0;
        if (!Take(1, final) || !Take(2, type)) return Step::More;
        final_ = final != 0;
        if (type == 0) {
            const unsigned skip = bitCount_ % 8;
            bits_ >>= skip;
            bitCount_ -= skip;
            std::uint32_t len = 0, nlen = 0;
            if (!Take(16, len) || !Take(16, nlen)) return Step::More;
            if ((len ^ 0xFFFF) != nlen) return Step::Bad;
            storedLeft_ = len;
            state_ = State::Stored;
            return Step::Done;
        }
        if (type == 1) {
            std::array<std::uint8_t, 288> lit{};
            std::fill(lit.begin(), lit.begin() + 144, 8);
            std::fill(lit.begin() + 144, lit.begin() + 256, 9);
            std::fill(lit.begin() + 256, lit.begin() + 280, 7);
            std::fill(lit.begin() + 280, lit.end(), 8);
            std::array<std::uint8_t, 32> dist{};
            dist.fill(5);
            if (!literals_.Build(lit.data(), lit.size()) ||
                !distances_.Build(dist.data(), dist.size()))
                return Step::Bad;
            state_ = State::Codes;
            return Step::Done;
        }
        if (type != 2) return Step::Bad;
        std::uint32_t hlit = 0, hdist = 0, hclen = 0;
        if (!Take(5, hlit) || !Take(5, hdist) || !Take(4, hclen)) return Step::More;
        hlit += 257;
        hdist += 1;
        hclen += 4;
        if (hlit > 286) return Step::Bad;
        std::array<std::uint8_t, 19> codeLengths{};
        for (unsigned i = 0; i < hclen; ++i) {
            std::uint32_t v = 0;
            if (!Take(3, v)) return Step::More;
            codeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(v);
        }
        HuffmanTable lengthCode;
        if (!lengthCode.Build(codeLengths.data(), codeLengths.size())) return Step::Bad;
        std::array<std::uint8_t, 286 + 32> lengths{};
        for (unsigned i = 0; i < hlit + hdist;) {
            unsigned symbol = 0;
            if (const Step s = Symbol(lengthCode, symbol); s != Step::Done) return s;
            if (symbol < 16) {
                lengths[i++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint32_t repeat = 0;
            std::uint8_t value = 0;
            if (symbol == 16) {
                if (i == 0) return Step::Bad;
                value = lengths[i - 1];
                if (!Take(2, repeat)) return Step::More;
                repeat += 3;
            } else if (symbol == 17) {
                if (!Take(3, repeat)) return Step::More;
                repeat += 3;
            } else {
                if (!Take(7, repeat)) return Step::More;
                repeat += 11;
            }
            if (i + repeat > hlit + hdist) return Step::Bad;
            while (repeat-- > 0) lengths[i++] = value;
        }
        if (lengths[256] == 0) return Step::Bad;  // no end of block
        if (!literals_.Build(lengths.data(), hlit) ||
            !distances_.Build(lengths.data() + hlit, hdist))
            return Step::Bad;
        state_ = State::Codes;
        return Step::Done;
    }

    // One literal, end of block or match; More when the input ran out.
    Step ReadSymbol() {
        unsigned symbol = 0;
        if (const Step s = Symbol(literals_, symbol); s != Step::Done) return s;
        if (symbol < 256) {
            Emit(static_cast<unsigned char>(symbol));
            return Step::Done;
        }
        if (symbol == 256) {
            state_ = final_ ? State::Done : State::Header;
            return Step::Done;
        }
        if (symbol > 285) return Step::Bad;
        const unsigned lengthCode = symbol - 257;
        std::uint32_t extra = 0;
        if (!Take(kLengthExtra[lengthCode], extra)) return Step::More;
        const std::uint32_t length = kLengthBase[lengthCode] + extra;
        unsigned distanceCode = 0;
        if (const Step s = Symbol(distances_, distanceCode); s != Step::Done) return s;
        if (!Take(kDistanceExtra[distanceCode], extra)) return Step::More;
        const std::uint32_t distance = kDistanceBase[distanceCode] + extra;
        if (distance > written_) return Step::Bad;
        matchLeft_ = length;
        matchDistance_ = distance;
        CopyMatch();
        return Step::Done;
    }

    DecodeStatus CopyStored() {
        // Whole bytes still in the bit buffer come first.
        while (storedLeft_ > 0 && bitCount_ >= 8 && produced_ < outSize_) {
            Emit(static_cast<unsigned char>(bits_));
            bits_ >>= 8;
            bitCount_ -= 8;
            --storedLeft_;
        }
        while (storedLeft_ > 0 && produced_ < outSize_ && stagePos_ < stageEnd_) {
            Emit(stage_[stagePos_++]);
            --storedLeft_;
        }
        if (storedLeft_ == 0) {
            state_ = final_ ? State::Done : State::Header;
            return DecodeStatus::Ok;
        }
        if (produced_ == outSize_) return DecodeStatus::Ok;
        return last_ ? DecodeStatus::DataError : DecodeStatus::Ok;
    }

    DecodeStatus Run() {
        for (;;) {
            if (matchLeft_ > 0) {
                CopyMatch();
                if (matchLeft_ > 0) return DecodeStatus::Ok;
            }
            switch (state_) {
                case State::Done: return DecodeStatus::End;
                case State::Header: {
                    const Mark mark = Save();
                    const Step s = ReadHeader();
                    if (s == Step::Bad) return DecodeStatus::DataError;
                    if (s == Step::More) return Starved(mark);
                    break;
                }
                case State::Stored: {
                    const DecodeStatus status = CopyStored();
                    if (status != DecodeStatus::Ok) return status;
                    // Still inside: out of output or out of input for now.
                    if (state_ == State::Stored) return DecodeStatus::Ok;
                    break;
                }
                case State::Codes: {
                    while (state_ == State::Codes && matchLeft_ == 0) {
                        if (produced_ == outSize_) return DecodeStatus::Ok;
                        const Mark mark = Save();
                        const Step s = ReadSymbol();
                        if (s == Step::Bad) return DecodeStatus::DataError;
                        if (s == Step::More) return Starved(mark);
                    }
                    break;
                }
            }
        }
    }

    std::unique_ptr<unsigned char[]> window_;
    std::unique_ptr<unsigned char[]> stage_;
    std::size_t stagePos_ = 0, stageEnd_ = 0;
    bool last_ = false;
    std::uint64_t bits_ = 0;
    unsigned bitCount_ = 0;

    State state_ = State::Header;
    bool final_ = false;
    std::uint32_t storedLeft_ = 0;
    std::uint32_t matchLeft_ = 0;
    std::uint32_t matchDistance_ = 0;
    HuffmanTable literals_;
    HuffmanTable distances_;

    unsigned char* out_ = nullptr;
    std::size_t outSize_ = 0;
    std::size_t produced_ = 0;
    std::size_t windowPos_ = 0;
    std::size_t written_ = 0;  // bytes in the window, up to its size
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeDeflate64Decoder() {
    std::unique_ptr<Deflate64Decoder> decoder(new (std::nothrow) Deflate64Decoder);
    if (!decoder || !decoder->Allocate()) return nullptr;
    return decoder;
}

}  // namespace kivo::zip
