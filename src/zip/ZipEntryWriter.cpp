#include "zip/ZipEntryWriter.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "zip/Crc32.h"
#include "zip/DosDateTime.h"
#include "zip/EntryNameFields.h"

namespace kivo::zip {

namespace {

constexpr std::uint16_t kVersion = 11;
constexpr int kMemLevel = 8;
constexpr int kRawDeflateWindowBits = -15;

}  // namespace

struct ZipEntryWriter::Deflater {
    z_stream stream{};
    bool started = false;

    ~Deflater() {
        if (started) deflateEnd(&stream);
    }
    // The stream is set up once and reset per entry: the output is the same
    // as with a fresh stream, without reallocating zlib's tables each file.
    bool Restart() {
        if (started) return deflateReset(&stream) == Z_OK;
        stream = z_stream{};
        started = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawDeflateWindowBits,
                               kMemLevel, Z_DEFAULT_STRATEGY) == Z_OK;
        return started;
    }
};

ZipEntryWriter::ZipEntryWriter(ZipLimits limits) : limits_(limits) {}

ZipEntryWriter::~ZipEntryWriter() = default;

std::uint64_t ZipEntryWriter::TotalSize() const {
    if (!success_) return 0;
    return kLocalFileHeaderLen + name_.size() + extra_.size() + compressedSize_;
}

void ZipEntryWriter::Reset() {
    std::memset(header_, 0, sizeof header_);
    name_.clear();
    extra_.clear();
    headerPosition_ = 0;
    compressedSize_ = 0;
    sinceFlush_ = 0;
    success_ = false;
}

bool ZipEntryWriter::EnsureResources() {
    if (!deflater_) deflater_.reset(new (std::nothrow) Deflater);
    if (!input_) input_.reset(new (std::nothrow) unsigned char[kInputSize]);
    if (!output_) output_.reset(new (std::nothrow) unsigned char[kOutputSize]);
    return deflater_ && input_ && output_ && deflater_->Restart();
}

int ZipEntryWriter::AddFile(const std::string& sourcePath, const std::string& entryName,
                            const char* password, std::size_t passwordLength, File& archive,
                            ZipProgress* progress) {
    Reset();
    ZipProgress ownProgress;
    ZipProgress& sink = progress != nullptr ? *progress : ownProgress;
    const bool encrypt = password != nullptr && passwordLength != 0;

    if (entryName.empty() || entryName.size() > 0xFFFF) return 0;
    const std::string extra = EntryExtraField(entryName);
    if (extra.size() > 0xFFFF) return 0;
    if (!EnsureResources()) return 0;

    File source;
    if (!source.Open(sourcePath, File::Mode::Read)) return 0;
    const std::int64_t position = archive.Position();
    if (position < 0) return 0;
    headerPosition_ = static_cast<std::uint64_t>(position);
    if (headerPosition_ > limits_.maxField32) return 0;
    // A file too large for the 32-bit size fields is refused before it is
    // read twice for nothing.
    const std::int64_t statedSize = source.Size();
    if (statedSize < 0 || static_cast<std::uint64_t>(statedSize) > limits_.maxField32) return 0;

    FindData info;
    const FileTime lastWrite = GetFindData(sourcePath, info) ? info.lastWriteTime : 0;
    const DosDateTime dos = ToDosDateTime(lastWrite);
    name_ = entryName;
    extra_ = extra;

    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    if (!FirstPass(source, sink, crc, size)) return 0;

    PutU32(header_ + 0, kLocalFileHeaderSignature);
    PutU16(header_ + 4, kVersion);
    PutU16(header_ + 6, EntryFlags(name_, encrypt));
    PutU16(header_ + 8, kMethodDeflated);
    PutU16(header_ + 10, dos.time);
    PutU16(header_ + 12, dos.date);
    PutU32(header_ + 14, crc);
    PutU32(header_ + 18, 0);
    // The size actually read, which the CRC covers, not the size stated
    // before reading: the two fields must describe the same bytes.
    PutU32(header_ + 22, static_cast<std::uint32_t>(size));
    PutU16(header_ + 26, static_cast<std::uint16_t>(name_.size()));
    PutU16(header_ + 28, static_cast<std::uint16_t>(extra_.size()));

    // Header, name, extra field and encryption header go out in one write.
    std::string prefix(reinterpret_cast<const char*>(header_), sizeof header_);
    prefix += name_;
    prefix += extra_;
    if (encrypt) {
        unsigned char random[ZipCrypto::kRandomSize];
        if (!FillRandom(random, sizeof random)) return 0;
        crypto_.MakeHeader(password, passwordLength, crc, random);
        prefix.append(reinterpret_cast<const char*>(crypto_.Header()), ZipCrypto::kHeaderSize);
        compressedSize_ = ZipCrypto::kHeaderSize;
    }
    if (!archive.Write(prefix.data(), prefix.size())) return 0;

    if (!SecondPass(source, archive, sink, encrypt, crc, size)) return 0;

    PutU32(header_ + 18, static_cast<std::uint32_t>(compressedSize_));
    success_ = archive.WriteAt(headerPosition_, header_, sizeof header_);
    return success_ ? 1 : 0;
}

bool ZipEntryWriter::FirstPass(File& source, ZipProgress& progress, std::uint32_t& crc,
                               std::uint64_t& size) {
    Crc32 accumulator;
    for (;;) {
        const std::int64_t n = source.Read(input_.get(), kInputSize);
        if (n < 0) return false;
        progress.AddDone(static_cast<std::uint32_t>(n));
        if (progress.IsCancelled() != 0) return false;
        if (n == 0) break;
        accumulator.Update(input_.get(), static_cast<std::size_t>(n));
        size += static_cast<std::uint64_t>(n);
        // The file grew past what the size fields can hold after it was opened.
        if (size > limits_.maxField32) return false;
    }
    crc = accumulator.Value();
    return true;
}

bool ZipEntryWriter::WriteCompressed(File& archive, std::size_t count, bool encrypt) {
    if (count == 0) return true;
    if (encrypt) crypto_.EncryptBuffer(output_.get(), count);
    if (!archive.Write(output_.get(), count)) return false;
    compressedSize_ += count;
    if (compressedSize_ > limits_.maxField32) return false;
    sinceFlush_ += count;
    if (sinceFlush_ >= kFlushInterval) {
        if (!archive.Flush()) return false;
        sinceFlush_ = 0;
    }
    return true;
}

bool ZipEntryWriter::SecondPass(File& source, File& archive, ZipProgress& progress, bool encrypt,
                                std::uint32_t crc, std::uint64_t size) {
    if (!source.Seek(0)) return false;
    z_stream& stream = deflater_->stream;
    stream.next_out = output_.get();
    stream.avail_out = kOutputSize;
    stream.next_in = input_.get();
    stream.avail_in = 0;

    // The data is checked against the first pass: a file that changed in
    // between would otherwise be stored under a CRC it does not have.
    Crc32 check;
    std::uint64_t readAgain = 0;
    bool endOfInput = false;
    bool endOfStream = false;
    for (;;) {
        if (stream.avail_out == 0 || endOfStream) {
            if (!WriteCompressed(archive, kOutputSize - stream.avail_out, encrypt)) return false;
            if (endOfStream) break;
            stream.next_out = output_.get();
            stream.avail_out = kOutputSize;
        }
        if (stream.avail_in == 0 && !endOfInput) {
            const std::int64_t n = source.Read(input_.get(), kInputSize);
            if (n < 0) return false;
            progress.AddDone(static_cast<std::uint32_t>(n));
            check.Update(input_.get(), static_cast<std::size_t>(n));
            readAgain += static_cast<std::uint64_t>(n);
            if (readAgain > size) return false;
            stream.next_in = input_.get();
            stream.avail_in = static_cast<uInt>(n);
            endOfInput = n == 0;
        }
        const int rc = deflate(&stream, endOfInput ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            endOfStream = true;
        } else if (rc != Z_OK) {
            return false;
        }
        if (progress.IsCancelled() != 0) return false;
    }
    return readAgain == size && check.Value() == crc;
}

}  // namespace kivo::zip
