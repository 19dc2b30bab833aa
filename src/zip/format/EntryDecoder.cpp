#include "zip/format/EntryDecoder.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/Cpu.h"
#include "zip/format/Deflate64Decoder.h"
#include "zip/format/InflateEngine.h"
#include "zip/format/IsalInflateDecoder.h"
#include "zip/format/ParallelBzip2Decoder.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

// The libraries count in unsigned int; hand them at most this much at once.
constexpr std::size_t kMaxStep = std::numeric_limits<unsigned>::max();

unsigned Step(std::size_t size) { return static_cast<unsigned>(std::min(size, kMaxStep)); }

class StoredDecoder final : public EntryDecoder {
public:
    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        const std::size_t n = std::min(inSize, outSize);
        if (n > 0) std::memcpy(out, in, n);
        consumed = produced = n;
        return inputEnd && n == inSize ? DecodeStatus::End : DecodeStatus::Ok;
    }
};

class InflateDecoder final : public EntryDecoder {
public:
    bool Start() {
        started_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
        return started_;
    }
    ~InflateDecoder() override {
        if (started_) inflateEnd(&stream_);
    }
    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool, unsigned char* out,
                        std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        stream_.next_in = const_cast<Bytef*>(in);
        stream_.avail_in = Step(inSize);
        stream_.next_out = out;
        stream_.avail_out = Step(outSize);
        const int result = inflate(&stream_, Z_SYNC_FLUSH);
        consumed = Step(inSize) - stream_.avail_in;
        produced = Step(outSize) - stream_.avail_out;
        switch (result) {
            case Z_OK:
            case Z_BUF_ERROR: return DecodeStatus::Ok;
            case Z_STREAM_END: return DecodeStatus::End;
            case Z_MEM_ERROR: return DecodeStatus::NoMemory;
            default: return DecodeStatus::DataError;
        }
    }

private:
    z_stream stream_{};
    bool started_ = false;
};

// Some writers put several bzip2 streams one after the other (parallel
// compressors do); they decode to the concatenation.
class Bzip2Decoder final : public EntryDecoder {
public:
    bool Start() {
        std::memset(&stream_, 0, sizeof stream_);
        started_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK;
        return started_;
    }
    ~Bzip2Decoder() override {
        if (started_) BZ2_bzDecompressEnd(&stream_);
    }
    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        consumed = produced = 0;
        if (streamDone_) {
            if (inSize == 0) return inputEnd ? DecodeStatus::End : DecodeStatus::Ok;
            BZ2_bzDecompressEnd(&stream_);
            streamDone_ = false;
            if (!Start()) return DecodeStatus::NoMemory;
        }
        stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(in));
        stream_.avail_in = Step(inSize);
        stream_.next_out = reinterpret_cast<char*>(out);
        stream_.avail_out = Step(outSize);
        const int result = BZ2_bzDecompress(&stream_);
        consumed = Step(inSize) - stream_.avail_in;
        produced = Step(outSize) - stream_.avail_out;
        switch (result) {
            case BZ_OK: return DecodeStatus::Ok;
            case BZ_STREAM_END:
                streamDone_ = true;
                return inputEnd && consumed == inSize ? DecodeStatus::End : DecodeStatus::Ok;
            case BZ_MEM_ERROR: return DecodeStatus::NoMemory;
            default: return DecodeStatus::DataError;
        }
    }

private:
    bz_stream stream_{};
    bool started_ = false;
    bool streamDone_ = false;
};

DecodeStatus LzmaStatus(lzma_ret result) {
    switch (result) {
        case LZMA_OK:
        case LZMA_BUF_ERROR: return DecodeStatus::Ok;
        case LZMA_STREAM_END: return DecodeStatus::End;
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR: return DecodeStatus::NoMemory;
        default: return DecodeStatus::DataError;
    }
}

// Shared by xz (a complete .xz stream) and LZMA (a raw LZMA1 stream behind
// the zip LZMA header).
class LzmaStreamBase : public EntryDecoder {
public:
    ~LzmaStreamBase() override { lzma_end(&stream_); }

protected:
    DecodeStatus Run(const unsigned char* in, std::size_t inSize, bool inputEnd,
                     unsigned char* out, std::size_t outSize, std::size_t& consumed,
                     std::size_t& produced) {
        stream_.next_in = in;
        stream_.avail_in = inSize;
        stream_.next_out = out;
        stream_.avail_out = outSize;
        const lzma_ret result = lzma_code(&stream_, inputEnd ? LZMA_FINISH : LZMA_RUN);
        consumed = inSize - stream_.avail_in;
        produced = outSize - stream_.avail_out;
        return LzmaStatus(result);
    }
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

class XzDecoder final : public LzmaStreamBase {
public:
    DecodeStatus Start() {
        return LzmaStatus(lzma_stream_decoder(&stream_, kMaxDecoderMemory, LZMA_CONCATENATED));
    }
    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        return Run(in, inSize, inputEnd, out, outSize, consumed, produced);
    }
};

// The zip LZMA header: a 2-byte version of the writing library, the 2-byte
// size of the properties, which must be 5, and the properties themselves.
constexpr std::size_t kLzmaHeaderSize = 4 + 5;

class LzmaDecoder final : public LzmaStreamBase {
public:
    LzmaDecoder(bool endMarker, std::uint64_t size) : endMarker_(endMarker), size_(size) {}

    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        consumed = produced = 0;
        if (!started_) {
            const std::size_t take = std::min(inSize, kLzmaHeaderSize - headerHave_);
            std::memcpy(header_ + headerHave_, in, take);
            headerHave_ += take;
            consumed = take;
            if (headerHave_ < kLzmaHeaderSize)
                return inputEnd && take == inSize ? DecodeStatus::DataError : DecodeStatus::Ok;
            if (const DecodeStatus status = Start(); status != DecodeStatus::Ok) return status;
            in += take;
            inSize -= take;
        }
        std::size_t used = 0;
        const DecodeStatus status = Run(in, inSize, inputEnd, out, outSize, used, produced);
        consumed += used;
        return status;
    }

private:
    DecodeStatus Start() {
        if (GetU16(header_ + 2) != 5) return DecodeStatus::DataError;
        lzma_filter filter{LZMA_FILTER_LZMA1, nullptr};
        if (lzma_properties_decode(&filter, nullptr, header_ + 4, 5) != LZMA_OK)
            return DecodeStatus::DataError;
        options_.reset(static_cast<lzma_options_lzma*>(filter.options));
        if (!endMarker_) {
            // Without the marker the stream ends at the stated size, which
            // plain LZMA1 cannot be told: it would wait for the marker.
            filter.id = LZMA_FILTER_LZMA1EXT;
            options_->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
            options_->ext_size_low = static_cast<std::uint32_t>(size_);
            options_->ext_size_high = static_cast<std::uint32_t>(size_ >> 32);
        }
        const lzma_filter filters[] = {filter, {LZMA_VLI_UNKNOWN, nullptr}};
        const std::uint64_t need = lzma_raw_decoder_memusage(filters);
        if (need == UINT64_MAX) return DecodeStatus::DataError;
        if (need > kMaxDecoderMemory) return DecodeStatus::NoMemory;
        const DecodeStatus status = LzmaStatus(lzma_raw_decoder(&stream_, filters));
        started_ = status == DecodeStatus::Ok;
        return status;
    }

    struct FreeOptions {
        void operator()(lzma_options_lzma* p) const { free(p); }
    };
    bool endMarker_;
    std::uint64_t size_;
    bool started_ = false;
    unsigned char header_[kLzmaHeaderSize] = {};
    std::size_t headerHave_ = 0;
    std::unique_ptr<lzma_options_lzma, FreeOptions> options_;
};

class ZstdDecoder final : public EntryDecoder {
public:
    ~ZstdDecoder() override { ZSTD_freeDStream(stream_); }
    DecodeStatus Start() {
        stream_ = ZSTD_createDStream();
        if (stream_ == nullptr) return DecodeStatus::NoMemory;
        // A window of 2^30 bytes is the most kMaxDecoderMemory allows.
        if (ZSTD_isError(ZSTD_DCtx_setParameter(stream_, ZSTD_d_windowLogMax, 30)))
            return DecodeStatus::NoMemory;
        return DecodeStatus::Ok;
    }
    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool inputEnd,
                        unsigned char* out, std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        if (frameDone_ && inSize == 0) {
            consumed = produced = 0;
            return inputEnd ? DecodeStatus::End : DecodeStatus::Ok;
        }
        ZSTD_inBuffer input{in, inSize, 0};
        ZSTD_outBuffer output{out, outSize, 0};
        const std::size_t result = ZSTD_decompressStream(stream_, &output, &input);
        consumed = input.pos;
        produced = output.pos;
        if (ZSTD_isError(result)) {
            const ZSTD_ErrorCode code = ZSTD_getErrorCode(result);
            return code == ZSTD_error_memory_allocation ||
                           code == ZSTD_error_frameParameter_windowTooLarge
                       ? DecodeStatus::NoMemory
                       : DecodeStatus::DataError;
        }
        // 0: a frame is complete and flushed; another may follow.
        frameDone_ = result == 0;
        if (frameDone_ && inputEnd && consumed == inSize) return DecodeStatus::End;
        return DecodeStatus::Ok;
    }

private:
    ZSTD_DStream* stream_ = nullptr;
    bool frameDone_ = false;
};

template <typename Decoder>
std::unique_ptr<EntryDecoder> Started(std::unique_ptr<Decoder> decoder, DecodeStatus& status) {
    if (!decoder) {
        status = DecodeStatus::NoMemory;
        return nullptr;
    }
    if constexpr (std::is_same_v<decltype(decoder->Start()), bool>) {
        status = decoder->Start() ? DecodeStatus::Ok : DecodeStatus::NoMemory;
    } else {
        status = decoder->Start();
    }
    if (status != DecodeStatus::Ok) return nullptr;
    return decoder;
}

template <typename Decoder, typename... Args>
std::unique_ptr<Decoder> New(Args&&... args) {
    return std::unique_ptr<Decoder>(new (std::nothrow) Decoder(std::forward<Args>(args)...));
}

std::atomic<InflateEngine>& Selected() {
    static std::atomic<InflateEngine> engine{IsalInflateBuilt() ? InflateEngine::Isal
                                                                : InflateEngine::Zlib};
    return engine;
}

}  // namespace

bool InflateEngineBuilt(InflateEngine engine) {
    return engine == InflateEngine::Zlib || IsalInflateBuilt();
}

bool SelectInflateEngine(InflateEngine engine) {
    if (!InflateEngineBuilt(engine)) return false;
    Selected().store(engine);
    return true;
}

InflateEngine SelectedInflateEngine() { return Selected().load(); }

std::unique_ptr<EntryDecoder> MakeInflateDecoder(InflateEngine engine, DecodeStatus& status) {
    if (engine == InflateEngine::Isal) return MakeIsalInflateDecoder(status);
    return Started(New<InflateDecoder>(), status);
}

bool IsMethodSupported(std::uint16_t method) {
    switch (method) {
        case kMethodStored:
        case kMethodDeflated:
        case kMethodDeflate64:
        case kMethodBzip2:
        case kMethodLzma:
        case kMethodZstdOld:
        case kMethodZstd:
        case kMethodXz: return true;
        default: return false;
    }
}

const char* MethodName(std::uint16_t method) {
    switch (method) {
        case kMethodStored: return "Store";
        case 1: return "Shrink";
        case 2:
        case 3:
        case 4:
        case 5: return "Reduce";
        case 6: return "Implode";
        case kMethodDeflated: return "Deflate";
        case kMethodDeflate64: return "Deflate64";
        case 10: return "PKWARE Imploding";
        case kMethodBzip2: return "BZip2";
        case kMethodLzma: return "LZMA";
        case 16: return "IBM z/OS CMPSC";
        case 18: return "IBM TERSE";
        case 19: return "IBM LZ77";
        case kMethodZstdOld:
        case kMethodZstd: return "Zstandard";
        case 94: return "MP3";
        case kMethodXz: return "XZ";
        case 96: return "JPEG";
        case 97: return "WavPack";
        case kMethodPpmd: return "PPMd";
        case kMethodAes: return "AES";
        default: return nullptr;
    }
}

std::unique_ptr<EntryDecoder> MakeEntryDecoder(std::uint16_t method, std::uint16_t flags,
                                               std::uint64_t uncompressedSize,
                                               DecodeStatus& status) {
    status = DecodeStatus::Ok;
    switch (method) {
        case kMethodStored: {
            auto decoder = New<StoredDecoder>();
            if (!decoder) status = DecodeStatus::NoMemory;
            return decoder;
        }
        case kMethodDeflated: return MakeInflateDecoder(SelectedInflateEngine(), status);
        case kMethodDeflate64: {
            auto decoder = MakeDeflate64Decoder();
            if (!decoder) status = DecodeStatus::NoMemory;
            return decoder;
        }
        case kMethodBzip2: {
            auto oneThread = Started(New<Bzip2Decoder>(), status);
            // Blocks hold at most 900 kB: a smaller entry is one block.
            const unsigned cpus = UsableCpuCount();
            if (!oneThread || cpus < 2 || uncompressedSize < kParallelBzip2From) return oneThread;
            return MakeParallelBzip2Decoder(cpus, std::move(oneThread));
        }
        case kMethodXz: return Started(New<XzDecoder>(), status);
        case kMethodZstdOld:
        case kMethodZstd: return Started(New<ZstdDecoder>(), status);
        case kMethodLzma: {
            auto decoder =
                New<LzmaDecoder>((flags & kFlagLzmaEndMarker) != 0, uncompressedSize);
            if (!decoder) status = DecodeStatus::NoMemory;
            return decoder;
        }
        default: status = DecodeStatus::DataError; return nullptr;
    }
}

}  // namespace kivo::zip
