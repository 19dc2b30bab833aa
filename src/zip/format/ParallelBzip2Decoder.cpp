#include "zip/format/ParallelBzip2Decoder.h"

#include <bzlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace kivo::zip {
namespace {

constexpr std::uint64_t kBlockMagic = 0x314159265359ull;
constexpr std::uint64_t kEndMagic = 0x177245385090ull;
constexpr std::uint64_t kMask48 = 0xFFFFFFFFFFFFull;
constexpr std::uint64_t kHeaderBits = 32;  // "BZh" and the level digit

using Bytes = std::vector<unsigned char>;

// `count` (at most 32) bits from bit `at`, most significant first.
std::uint32_t BitsAt(const Bytes& data, std::uint64_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t bit = at + static_cast<std::uint64_t>(i);
        value = (value << 1) | ((data[bit >> 3] >> (7 - (bit & 7))) & 1u);
    }
    return value;
}

class BitWriter {
public:
    void Put(std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            acc_ = static_cast<unsigned>((acc_ << 1) | ((value >> i) & 1u));
            if (++bits_ == 8) Flush();
        }
    }
    // Bits [from, to) of `data`; the writer is byte-aligned here.
    void Copy(const Bytes& data, std::uint64_t from, std::uint64_t to) {
        const unsigned shift = static_cast<unsigned>(from & 7);
        std::uint64_t byte = from >> 3;
        const std::uint64_t whole = (to - from) / 8;
        out_.reserve(out_.size() + whole + 16);
        for (std::uint64_t i = 0; i < whole; ++i, ++byte) {
            const unsigned hi = static_cast<unsigned>(data[byte]) << shift;
            const unsigned lo = shift == 0 ? 0u : data[byte + 1] >> (8 - shift);
            out_.push_back(static_cast<unsigned char>(hi | lo));
        }
        const std::uint64_t done = from + whole * 8;
        const int rest = static_cast<int>(to - done);
        if (rest > 0) Put(BitsAt(data, done, rest), rest);
    }
    Bytes Finish() {
        if (bits_ > 0) {
            acc_ <<= 8 - bits_;
            Flush();
        }
        return std::move(out_);
    }

private:
    void Flush() {
        out_.push_back(static_cast<unsigned char>(acc_));
        acc_ = 0;
        bits_ = 0;
    }
    Bytes out_;
    unsigned acc_ = 0;
    int bits_ = 0;
};

struct Block {
    std::uint64_t from = 0;  // bit of its magic
    std::uint64_t to = 0;    // bit of the next magic
    bool ok = false;
    bool noMemory = false;
    std::string output;
};

// One block as a stream of its own: the header, the block, the end marker
// with the block's CRC as the stream's, which is what the combined CRC of
// a single block is.
void DecodeBlock(const Bytes& data, char level, Block& block) {
    BitWriter writer;
    writer.Put(0x425A68, 24);  // "BZh"
    writer.Put(static_cast<unsigned char>(level), 8);
    writer.Copy(data, block.from, block.to);
    writer.Put(kEndMagic, 48);
    writer.Put(BitsAt(data, block.from + 48, 32), 32);
    Bytes stream = writer.Finish();

    bz_stream bz;
    std::memset(&bz, 0, sizeof bz);
    if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) {
        block.noMemory = true;
        return;
    }
    bz.next_in = reinterpret_cast<char*>(stream.data());
    bz.avail_in = static_cast<unsigned>(stream.size());
    block.output.clear();
    int result = BZ_OK;
    while (result == BZ_OK) {
        const std::size_t have = block.output.size();
        block.output.resize(have + 256 * 1024);
        bz.next_out = block.output.data() + have;
        bz.avail_out = 256 * 1024;
        result = BZ2_bzDecompress(&bz);
        block.output.resize(block.output.size() - bz.avail_out);
        if (result == BZ_OK && bz.avail_in == 0 && bz.avail_out != 0) break;  // stopped short
    }
    BZ2_bzDecompressEnd(&bz);
    block.ok = result == BZ_STREAM_END;
    block.noMemory = result == BZ_MEM_ERROR;
}

struct Mark {
    std::uint64_t bit;
    bool end;
};

class ParallelBzip2Decoder final : public EntryDecoder {
public:
    ParallelBzip2Decoder(unsigned workers, std::unique_ptr<EntryDecoder> fallback)
        : workers_(std::max(1u, workers)), batch_(2 * std::max(1u, workers)),
          fallback_(std::move(fallback)) {}

    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        consumed = produced = 0;
        if (oneThread_) return DecodeOnOneThread(in, inSize, inputEnd, out, outSize, consumed, produced);
        if (HandOut(out, outSize, produced)) return DecodeStatus::Ok;
        if (failed_ != DecodeStatus::Ok) return failed_;
        if (inSize > 0) {
            input_.insert(input_.end(), in, in + inSize);
            consumed = inSize;
            Scan();
        }
        const DecodeStatus status = Work(inputEnd);
        if (status == DecodeStatus::Ok && oneThread_)
            return DecodeOnOneThread(nullptr, 0, inputEnd, out, outSize, consumed, produced);
        if (status != DecodeStatus::Ok) {
            // Blocks decoded before the fault are still given out.
            failed_ = status;
            if (!HandOut(out, outSize, produced)) return status;
            return DecodeStatus::Ok;
        }
        HandOut(out, outSize, produced);
        if (streamEnded_ && input_.empty() && inputEnd && outPos_ == output_.size())
            return DecodeStatus::End;
        return DecodeStatus::Ok;
    }

private:
    bool HandOut(unsigned char* out, std::size_t outSize, std::size_t& produced) {
        if (outPos_ >= output_.size()) return false;
        const std::size_t n = std::min(outSize - produced, output_.size() - outPos_);
        std::memcpy(out + produced, output_.data() + outPos_, n);
        outPos_ += n;
        produced += n;
        if (outPos_ == output_.size()) {
            output_.clear();
            outPos_ = 0;
        }
        return n > 0;
    }

    // A stream this decoder does not split goes through the one-thread
    // decoder from its first byte, which is still held.
    DecodeStatus DecodeOnOneThread(const unsigned char* in, std::size_t inSize, bool inputEnd,
                                   unsigned char* out, std::size_t outSize, std::size_t& consumed,
                                   std::size_t& produced) {
        if (!input_.empty()) {
            std::size_t used = 0, made = 0;
            const DecodeStatus status = fallback_->Decode(input_.data(), input_.size(),
                                                          inputEnd && inSize == 0, out, outSize,
                                                          used, made);
            input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(used));
            produced = made;
            return status;
        }
        std::size_t used = 0;
        const DecodeStatus status =
            fallback_->Decode(in, inSize, inputEnd, out, outSize, used, produced);
        consumed += used;
        return status;
    }

    // Finds every magic in the bytes not yet looked at.
    void Scan() {
        for (; scanned_ < input_.size(); ++scanned_) {
            window_ = (window_ << 8) | input_[scanned_];
            ++windowBytes_;
            for (int shift = 7; shift >= 0; --shift) {
                const std::uint64_t value = (window_ >> shift) & kMask48;
                if (value != kBlockMagic && value != kEndMagic) continue;
                const std::uint64_t endBit = scanned_ * 8 + 8 - static_cast<unsigned>(shift);
                if (endBit < 48 || windowBytes_ * 8 < 48 + static_cast<unsigned>(shift)) continue;
                const std::uint64_t start = endBit - 48;
                if (start < kHeaderBits) continue;
                marks_.push_back(Mark{start, value == kEndMagic});
            }
        }
    }

    void Drop(std::uint64_t bytes) {
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(bytes));
        scanned_ -= bytes;
        for (Mark& m : marks_) m.bit -= bytes * 8;
    }

    void Restart() {
        // A new stream follows: its header and magics are found afresh.
        headerSeen_ = false;
        streamEnded_ = false;
        combined_ = 0;
        marks_.clear();
        scanned_ = 0;
        window_ = 0;
        windowBytes_ = 0;
        Scan();
    }

    DecodeStatus Work(bool inputEnd) {
        for (;;) {
            if (streamEnded_) {
                if (input_.empty()) return DecodeStatus::Ok;
                Restart();
            }
            if (!headerSeen_) {
                if (input_.size() < 4) return DecodeStatus::Ok;
                const bool usual = input_[0] == 'B' && input_[1] == 'Z' && input_[2] == 'h' &&
                                   input_[3] >= '1' && input_[3] <= '9';
                if (!usual) {
                    if (!anyOutput_ && fallback_) {
                        oneThread_ = true;
                        return DecodeStatus::Ok;
                    }
                    return DecodeStatus::DataError;
                }
                if (marks_.empty()) return DecodeStatus::Ok;
                // A stream of the usual kind whose first block does not
                // start right after the header: that block is damaged.
                if (marks_[0].bit != kHeaderBits) return DecodeStatus::ChecksumError;
                level_ = static_cast<char>(input_[3]);
                headerSeen_ = true;
            }
            // Complete blocks: each ends where the next magic starts.
            std::size_t complete = 0;
            while (complete + 1 < marks_.size() && !marks_[complete].end) ++complete;
            const bool atEnd = complete < marks_.size() && marks_[complete].end;
            if (complete > 0 && (complete >= batch_ || atEnd || inputEnd)) {
                if (const DecodeStatus status = DecodeBatch(std::min(complete, batch_));
                    status != DecodeStatus::Ok)
                    return status;
                if (!output_.empty()) return DecodeStatus::Ok;
                continue;
            }
            if (!atEnd || complete > 0) return DecodeStatus::Ok;
            // The end marker and the combined CRC of the stream.
            const Mark end = marks_[0];
            if (input_.size() * 8 < end.bit + 80) return DecodeStatus::Ok;
            if (BitsAt(input_, end.bit + 48, 32) != combined_) return DecodeStatus::ChecksumError;
            Drop((end.bit + 80 + 7) / 8);
            marks_.clear();
            streamEnded_ = true;
            if (input_.empty()) return DecodeStatus::Ok;
        }
    }

    DecodeStatus DecodeBatch(std::size_t count) {
        std::vector<Block> blocks(count);
        for (std::size_t i = 0; i < count; ++i) {
            blocks[i].from = marks_[i].bit;
            blocks[i].to = marks_[i + 1].bit;
        }
        std::atomic<std::size_t> next{0};
        const auto run = [&] {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) DecodeBlock(input_, level_, blocks[i]);
        };
        std::vector<std::thread> threads;
        const unsigned extra = static_cast<unsigned>(std::min<std::size_t>(workers_, count)) - 1;
        for (unsigned t = 0; t < extra; ++t) threads.emplace_back(run);
        run();
        for (std::thread& thread : threads) thread.join();

        std::size_t taken = 0;
        for (std::size_t i = 0; i < count; ++i, ++taken) {
            Block& block = blocks[i];
            if (block.noMemory) return DecodeStatus::NoMemory;
            std::size_t last = i;
            if (!block.ok && i + 1 < count) {
                // The magic after it may have been block data that looked
                // like one: the two as one block.
                Block joined;
                joined.from = block.from;
                joined.to = blocks[i + 1].to;
                DecodeBlock(input_, level_, joined);
                if (joined.ok) {
                    block = std::move(joined);
                    last = i + 1;
                }
            }
            if (!block.ok) {
                Drop(block.from / 8);
                return DecodeStatus::ChecksumError;
            }
            const std::uint32_t crc = BitsAt(input_, block.from + 48, 32);
            combined_ = ((combined_ << 1) | (combined_ >> 31)) ^ crc;
            output_ += block.output;
            anyOutput_ = true;
            if (last != i) {
                ++i;
                ++taken;
            }
        }
        const std::uint64_t nextBit = marks_[taken].bit;
        marks_.erase(marks_.begin(), marks_.begin() + static_cast<std::ptrdiff_t>(taken));
        Drop(nextBit / 8);
        return DecodeStatus::Ok;
    }

    unsigned workers_;
    std::size_t batch_;
    std::unique_ptr<EntryDecoder> fallback_;
    bool oneThread_ = false;
    Bytes input_;
    std::uint64_t scanned_ = 0;
    std::uint64_t window_ = 0;
    std::uint64_t windowBytes_ = 0;
    std::vector<Mark> marks_;
    bool headerSeen_ = false;
    bool streamEnded_ = false;
    bool anyOutput_ = false;
    char level_ = '9';
    std::uint32_t combined_ = 0;
    std::string output_;
    std::size_t outPos_ = 0;
    DecodeStatus failed_ = DecodeStatus::Ok;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeParallelBzip2Decoder(unsigned workers,
                                                       std::unique_ptr<EntryDecoder> fallback) {
    return std::make_unique<ParallelBzip2Decoder>(workers, std::move(fallback));
}

}  // namespace kivo::zip
