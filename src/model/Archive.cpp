#include "model/Archive.h"

#include <cstring>
#include <limits>

#include "platform/File.h"

namespace kivo {

namespace {

// Markers of the length prefixes.
constexpr std::uint8_t kLongByte = 0xFF;
constexpr std::uint16_t kUtf16Marker = 0xFFFE;
constexpr std::uint16_t kLongWord = 0xFFFF;

void AppendUtf8(std::uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

bool IsHighSurrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

Archive::Archive(File& file, bool loading)
    : loading_(loading), file_(&file), buffer_(new std::uint8_t[kBufferSize]) {
    if (loading_) {
        const std::int64_t size = file.Size();
        const std::int64_t position = file.Position();
        if (size < 0 || position < 0) {
            ok_ = false;
        } else if (size > position) {
            fileLeft_ = static_cast<std::uint64_t>(size - position);
        }
    }
}

Archive::Archive(std::string_view bytes)
    : loading_(true),
      cursor_(reinterpret_cast<const std::uint8_t*>(bytes.data())),
      end_(reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size()) {}

Archive::Archive(std::string& sink) : loading_(false), sink_(&sink) {}

Archive Archive::LoadFrom(File& file) { return Archive(file, true); }
Archive Archive::LoadFrom(std::string_view bytes) { return Archive(bytes); }
Archive Archive::StoreTo(File& file) { return Archive(file, false); }
Archive Archive::StoreTo(std::string& sink) { return Archive(sink); }

bool Archive::Fail() {
    ok_ = false;
    return false;
}

std::uint64_t Archive::Remaining() const {
    return static_cast<std::uint64_t>(end_ - cursor_) + fileLeft_;
}

bool Archive::Refill() {
    if (!file_ || fileLeft_ == 0) return false;
    const std::size_t want =
        fileLeft_ < kBufferSize ? static_cast<std::size_t>(fileLeft_) : kBufferSize;
    const std::int64_t got = file_->Read(buffer_.get(), want);
    if (got <= 0) return false;
    fileLeft_ -= static_cast<std::uint64_t>(got);
    cursor_ = buffer_.get();
    end_ = cursor_ + got;
    return true;
}

bool Archive::ReadBytes(void* out, std::size_t size) {
    if (!ok_ || !loading_) return Fail();
    auto* target = static_cast<std::uint8_t*>(out);
    while (size > 0) {
        if (cursor_ == end_ && !Refill()) return Fail();
        const std::size_t available = static_cast<std::size_t>(end_ - cursor_);
        const std::size_t take = size < available ? size : available;
        std::memcpy(target, cursor_, take);
        cursor_ += take;
        target += take;
        size -= take;
    }
    return true;
}

bool Archive::ReadU8(std::uint8_t& value) { return ReadBytes(&value, 1); }

bool Archive::ReadU16(std::uint16_t& value) {
    std::uint8_t bytes[2];
    if (!ReadBytes(bytes, sizeof bytes)) return false;
    value = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    return true;
}

bool Archive::ReadU32(std::uint32_t& value) {
    std::uint8_t bytes[4];
    if (!ReadBytes(bytes, sizeof bytes)) return false;
    value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
            (static_cast<std::uint32_t>(bytes[2]) << 16) |
            (static_cast<std::uint32_t>(bytes[3]) << 24);
    return true;
}

bool Archive::ReadI32(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!ReadU32(raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool Archive::ReadCount(std::uint32_t& count) {
    std::uint16_t shortCount = 0;
    if (!ReadU16(shortCount)) return false;
    if (shortCount != kLongWord) {
        count = shortCount;
        return true;
    }
    return ReadU32(count);
}

// The UTF-16 marker may appear only once, before the second prefix; inside
// that prefix 0xFFFE is an ordinary length.
bool Archive::ReadLength(std::uint32_t& length, bool& utf16) {
    utf16 = false;
    for (;;) {
        std::uint8_t first = 0;
        if (!ReadU8(first)) return false;
        if (first != kLongByte) {
            length = first;
            return true;
        }
        std::uint16_t word = 0;
        if (!ReadU16(word)) return false;
        if (word == kUtf16Marker && !utf16) {
            utf16 = true;
            continue;
        }
        if (word != kLongWord) {
            length = word;
            return true;
        }
        return ReadU32(length);
    }
}

bool Archive::ReadString(std::string& text) {
    std::uint32_t length = 0;
    bool utf16 = false;
    if (!ReadLength(length, utf16)) return false;
    if (utf16) return ReadUtf16(length, text);
    if (length > Remaining()) return Fail();
    std::string bytes(length, '\0');
    if (!ReadBytes(bytes.data(), length)) return false;
    text = std::move(bytes);
    return true;
}

// Unpaired surrogates become U+FFFD, as a converter would substitute them.
bool Archive::ReadUtf16(std::uint32_t units, std::string& text) {
    if (static_cast<std::uint64_t>(units) * 2 > Remaining()) return Fail();
    std::string out;
    std::uint16_t pending = 0;  // a high surrogate waiting for its partner
    for (std::uint32_t i = 0; i < units; ++i) {
        std::uint16_t unit = 0;
        if (!ReadU16(unit)) return false;
        if (pending) {
            if (IsLowSurrogate(unit)) {
                AppendUtf8(0x10000 + ((static_cast<std::uint32_t>(pending) - 0xD800) << 10) +
                               (unit - 0xDC00u),
                           out);
                pending = 0;
                continue;
            }
            AppendUtf8(0xFFFD, out);
            pending = 0;
        }
        if (IsHighSurrogate(unit)) {
            pending = unit;
        } else if (IsLowSurrogate(unit)) {
            AppendUtf8(0xFFFD, out);
        } else {
            AppendUtf8(unit, out);
        }
    }
    if (pending) AppendUtf8(0xFFFD, out);
    text = std::move(out);
    return true;
}

bool Archive::WriteBytes(const void* data, std::size_t size) {
    if (!ok_ || loading_) return Fail();
    const auto* source = static_cast<const std::uint8_t*>(data);
    if (sink_) {
        sink_->append(reinterpret_cast<const char*>(source), size);
        return true;
    }
    while (size > 0) {
        if (used_ == kBufferSize && !Flush()) return false;
        const std::size_t room = kBufferSize - used_;
        const std::size_t take = size < room ? size : room;
        std::memcpy(buffer_.get() + used_, source, take);
        used_ += take;
        source += take;
        size -= take;
    }
    return true;
}

bool Archive::Flush() {
    if (!ok_ || loading_) return Fail();
    if (!file_ || used_ == 0) return true;
    if (!file_->Write(buffer_.get(), used_)) return Fail();
    used_ = 0;
    return true;
}

bool Archive::WriteU32(std::uint32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return WriteBytes(bytes, sizeof bytes);
}

bool Archive::WriteI32(std::int32_t value) { return WriteU32(static_cast<std::uint32_t>(value)); }

bool Archive::WriteCount(std::uint64_t count) {
    if (count < kLongWord) {
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(count),
                                       static_cast<std::uint8_t>(count >> 8)};
        return WriteBytes(bytes, sizeof bytes);
    }
    if (count > std::numeric_limits<std::uint32_t>::max()) return Fail();
    const std::uint8_t marker[2] = {0xFF, 0xFF};
    return WriteBytes(marker, sizeof marker) && WriteU32(static_cast<std::uint32_t>(count));
}

bool Archive::WriteString(std::string_view text) {
    const std::size_t length = text.size();
    bool written = false;
    if (length < kLongByte) {
        const std::uint8_t prefix = static_cast<std::uint8_t>(length);
        written = WriteBytes(&prefix, 1);
    } else if (length < kUtf16Marker) {
        const std::uint8_t prefix[3] = {kLongByte, static_cast<std::uint8_t>(length),
                                        static_cast<std::uint8_t>(length >> 8)};
        written = WriteBytes(prefix, sizeof prefix);
    } else if (length <= std::numeric_limits<std::uint32_t>::max()) {
        const std::uint8_t prefix[3] = {kLongByte, 0xFF, 0xFF};
        written = WriteBytes(prefix, sizeof prefix) && WriteU32(static_cast<std::uint32_t>(length));
    } else {
        return Fail();
    }
    return written && WriteBytes(text.data(), length);
}

}  // namespace kivo
