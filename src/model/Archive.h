#pragma once
// Buffered little-endian reader/writer for the two store files. One archive
// either loads or stores; the records' Serialize methods ask it which.
//
// Encodings:
//   i32   4 bytes, little-endian.
//   count u16 below 0xFFFF, else 0xFFFF then u32.
//   str   length prefix then the bytes, no terminator. The prefix is one byte
//         below 255, else 0xFF + u16 below 0xFFFE, else 0xFF 0xFFFF + u32.
//         On reading, 0xFF 0xFFFE announces UTF-16 text: a second prefix
//         (code units) and little-endian units follow; they become UTF-8.
//
// A damaged file must not be able to make the reader allocate more than the
// file really holds: string lengths are checked against the bytes left
// before any memory is taken.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kivo {

class File;

class Archive {
public:
    static constexpr std::size_t kBufferSize = 4096;

    // Reads `file` from its current position to its end.
    static Archive LoadFrom(File& file);
    // Reads bytes held in memory; `bytes` must outlive the archive.
    static Archive LoadFrom(std::string_view bytes);
    // Writes to `file` through a kBufferSize buffer; call Flush at the end.
    static Archive StoreTo(File& file);
    // Appends to `sink`.
    static Archive StoreTo(std::string& sink);

    // The factories return prvalues, so an archive never moves: its read
    // window points into its own buffer.
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool IsLoading() const { return loading_; }
    bool IsStoring() const { return !loading_; }
    // False once any read or write has failed; every later call fails too.
    bool ok() const { return ok_; }

    // Bytes not yet read (loading only).
    std::uint64_t Remaining() const;

    bool ReadI32(std::int32_t& value);
    bool ReadU32(std::uint32_t& value);
    bool ReadCount(std::uint32_t& count);
    bool ReadString(std::string& text);

    bool WriteI32(std::int32_t value);
    bool WriteU32(std::uint32_t value);
    bool WriteCount(std::uint64_t count);
    bool WriteString(std::string_view text);
    // Hands buffered bytes to the file (storing to a file only).
    bool Flush();

    // Load or store, by the archive's direction.
    bool Int32(std::int32_t& value) { return loading_ ? ReadI32(value) : WriteI32(value); }
    bool UInt32(std::uint32_t& value) { return loading_ ? ReadU32(value) : WriteU32(value); }
    bool String(std::string& text) { return loading_ ? ReadString(text) : WriteString(text); }

private:
    Archive(File& file, bool loading);
    explicit Archive(std::string_view bytes);
    explicit Archive(std::string& sink);

    bool Fail();
    bool ReadBytes(void* out, std::size_t size);
    bool Refill();
    bool ReadU8(std::uint8_t& value);
    bool ReadU16(std::uint16_t& value);
    bool ReadLength(std::uint32_t& length, bool& utf16);
    bool ReadUtf16(std::uint32_t units, std::string& text);
    bool WriteBytes(const void* data, std::size_t size);

    bool loading_;
    bool ok_ = true;
    File* file_ = nullptr;
    std::string* sink_ = nullptr;

    // Loading: the unread window [cursor_, end_) and what the file still
    // holds beyond it.
    const std::uint8_t* cursor_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t fileLeft_ = 0;

    // File buffer of either direction; `used_` counts pending output bytes.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t used_ = 0;
};

}  // namespace kivo
