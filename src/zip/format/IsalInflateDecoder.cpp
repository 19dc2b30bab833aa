#include "zip/format/IsalInflateDecoder.h"

#ifdef KIVO_HAVE_ISAL
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#endif

namespace kivo::zip {

#ifdef KIVO_HAVE_ISAL
namespace {

// ISA-L counts in 32 bits.
std::uint32_t Step(std::size_t size) {
    return static_cast<std::uint32_t>(
        std::min<std::size_t>(size, std::numeric_limits<std::uint32_t>::max()));
}

class IsalInflateDecoder final : public EntryDecoder {
public:
    IsalInflateDecoder() {
        isal_inflate_init(&state_);
        state_.crc_flag = ISAL_DEFLATE;
    }
    DecodeStatus Decode(const unsigned char* in, std::size_t inSize, bool, unsigned char* out,
                        std::size_t outSize, std::size_t& consumed,
                        std::size_t& produced) override {
        consumed = produced = 0;
        if (state_.block_state == ISAL_BLOCK_FINISH) return DecodeStatus::End;
        state_.next_in = const_cast<std::uint8_t*>(in);
        state_.avail_in = Step(inSize);
        state_.next_out = out;
        state_.avail_out = Step(outSize);
        const int result = isal_inflate(&state_);
        consumed = Step(inSize) - state_.avail_in;
        produced = Step(outSize) - state_.avail_out;
        // Negative results are damaged blocks, symbols or distances. ISA-L
        // decodes ahead in bulk and finds a bad distance only afterwards, so
        // what it made in this call may run past the fault (and past the
        // entry's stated size, which would turn the failure into a CRC
        // one): none of it is given out.
        if (result < 0) {
            produced = 0;
            return DecodeStatus::DataError;
        }
        // Finished means the final block is decoded and every byte of it
        // handed out.
        if (state_.block_state == ISAL_BLOCK_FINISH) return DecodeStatus::End;
        return DecodeStatus::Ok;
    }

private:
    inflate_state state_{};
};

}  // namespace

bool IsalInflateBuilt() { return true; }

std::unique_ptr<EntryDecoder> MakeIsalInflateDecoder(DecodeStatus& status) {
    std::unique_ptr<EntryDecoder> decoder(new (std::nothrow) IsalInflateDecoder);
    status = decoder ? DecodeStatus::Ok : DecodeStatus::NoMemory;
    return decoder;
}

#else

bool IsalInflateBuilt() { return false; }

std::unique_ptr<EntryDecoder> MakeIsalInflateDecoder(DecodeStatus& status) {
    status = DecodeStatus::DataError;
    return nullptr;
}

#endif

}  // namespace kivo::zip
