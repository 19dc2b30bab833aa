#include "zip/format/ZipEntryWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Random.h"
#include "zip/format/Crc32.h"
#include "zip/format/DosDateTime.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/EntryNameFields.h"
#include "zip/format/ZipExtraFields.h"

namespace kivo::zip {

namespace {

constexpr std::uint16_t kVersion = 11;
// AES-256, the strength every current reader handles.
constexpr std::uint8_t kAesStrength = 3;
constexpr std::size_t kAesSaltSize = 16;
// Id, data size, uncompressed and compressed size.
constexpr std::size_t kLocalZip64ExtraLen = 20;

}  // namespace

std::string LocalHeaderStart(const EntryRecord& record) {
    unsigned char header[kLocalFileHeaderLen] = {};
    PutU32(header + 0, kLocalFileHeaderSignature);
    PutU16(header + 4, record.aes ? kAesVersionNeeded : record.zip64Local ? kVersionZip64 : kVersion);
    PutU16(header + 6, record.flags);
    PutU16(header + 8, record.aes ? kMethodAes : kMethodDeflated);
    PutU16(header + 10, record.time);
    PutU16(header + 12, record.date);
    // AE-2 leaves the CRC out: it would tell something of the plain text.
    PutU32(header + 14, record.aes ? 0 : record.crc);
    // The size actually read, which the CRC covers, not the size stated
    // before reading: the two fields must describe the same bytes.
    PutU32(header + 18, record.zip64Local ? kZip64Marker32 : 0);
    PutU32(header + 22,
           record.zip64Local ? kZip64Marker32 : static_cast<std::uint32_t>(record.size));
    PutU16(header + 26, static_cast<std::uint16_t>(record.name.size()));
    PutU16(header + 28, static_cast<std::uint16_t>(
                            record.extra.size() + (record.zip64Local ? kLocalZip64ExtraLen : 0)));
    std::string head(reinterpret_cast<const char*>(header), sizeof header);
    if (record.zip64Local) {
        head += record.name;
        unsigned char field[kLocalZip64ExtraLen] = {};
        PutU16(field + 0, kZip64ExtraId);
        PutU16(field + 2, static_cast<std::uint16_t>(kLocalZip64ExtraLen - 4));
        PutU64(field + 4, record.size);
        PutU64(field + 12, 0);  // compressed size, known at the end
        head.append(reinterpret_cast<const char*>(field), sizeof field);
    }
    return head;
}

// One step of the in-order output: an entry's headers, one of its blocks,
// or its end (the local header rewritten with the final sizes).
struct ZipEntryWriter::Unit {
    enum class Kind { Prefix, Block, End } kind = Kind::Prefix;
    std::size_t entry = 0;
    // Prefix: local header, name and extra fields. End: the part of the
    // local header that is rewritten (the fixed header, and with Zip64 the
    // name and the Zip64 field).
    std::string bytes;
    unsigned char random[ZipCrypto::kRandomSize] = {};
    unsigned char salt[kAesSaltSize] = {};
    std::unique_ptr<DeflateJob> job;
};

ZipEntryWriter::ZipEntryWriter(File& archive, const char* password, std::size_t passwordLength,
                               ZipProgress& progress, ZipLimits limits, unsigned threads,
                               bool aes)
    : archive_(archive),
      password_(password),
      passwordLength_(password != nullptr ? passwordLength : 0),
      encrypt_(password != nullptr && passwordLength != 0),
      aes_(encrypt_ && aes),
      progress_(progress),
      limits_(limits),
      workers_(threads) {}

ZipEntryWriter::~ZipEntryWriter() = default;

// A deflate stream kept only to ask zlib for its bound with the settings
// the blocks are deflated with.
struct ZipEntryWriter::BoundProbe {
    z_stream stream{};
    bool started = false;
    BoundProbe() {
        started = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8,
                               Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~BoundProbe() {
        if (started) deflateEnd(&stream);
    }
};

bool ZipEntryWriter::NeedsLocalZip64(std::uint64_t size) {
    // The local header is written before the compressed size is known, so
    // it must allow for the worst deflate can do, and for what encryption
    // adds.
    if (!probe_) probe_.reset(new (std::nothrow) BoundProbe);
    if (!probe_ || !probe_->started) return true;
    const std::uint64_t bound = deflateBound(&probe_->stream, static_cast<uLong>(size));
    const std::uint64_t overhead = aes_ ? AesOverhead(kAesStrength) : ZipCrypto::kHeaderSize;
    return bound + overhead > limits_.maxField32;
}

int ZipEntryWriter::AddFile(const std::string& sourcePath, const std::string& entryName) {
    if (!workers_.Ready()) return 0;
    if (!input_) input_.reset(new (std::nothrow) unsigned char[kInputSize]);
    if (!input_) return 0;
    if (entryName.empty() || entryName.size() > 0xFFFF) return 0;

    File source;
    if (!source.Open(sourcePath, File::Mode::Read)) return 0;
    FindData info;
    const FileTime lastWrite = GetFindData(sourcePath, info) ? info.lastWriteTime : 0;
    const DosDateTime dos = ToDosDateTime(lastWrite);
    std::uint32_t mode = 0;
    if (!source.TypeAndMode(mode)) return 0;
    // Other tools take a Unix-made entry's name as bytes and its time as
    // local time unless a field says otherwise, so the UTC time goes into
    // a field of its own; the DOS fields stay as they were.
    const std::string extra =
        EntryExtraField(entryName) + ExtendedTimestampField(lastWrite) +
        (aes_ ? MakeAesField({kAesVendorAe2, kAesStrength, kMethodDeflated}) : std::string());
    if (extra.size() + kLocalZip64ExtraLen > 0xFFFF) return 0;

    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    if (!FirstPass(source, crc, size)) return 0;

    EntryRecord record;
    record.name = entryName;
    record.extra = extra;
    record.flags = EntryFlags(entryName, encrypt_);
    record.time = dos.time;
    record.date = dos.date;
    record.crc = crc;
    record.size = size;
    record.zip64Local = NeedsLocalZip64(size);
    const std::uint32_t dosAttributes = AttributesFromMode(BaseName(sourcePath), mode) & 0x3F;
    record.externalAttributes = ((mode & 0xFFFF) << kUnixModeShift) | dosAttributes;
    record.aes = aes_;
    try {
        entries_.push_back(record);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const std::size_t index = entries_.size() - 1;

    auto prefix = std::make_unique<Unit>();
    auto end = std::make_unique<Unit>();
    prefix->kind = Unit::Kind::Prefix;
    end->kind = Unit::Kind::End;
    prefix->entry = end->entry = index;
    std::string& head = end->bytes;
    head = LocalHeaderStart(record);
    if (record.zip64Local) {
        prefix->bytes = head + extra;
    } else {
        prefix->bytes = head + entryName + extra;
    }
    if (aes_ ? !FillRandom(prefix->salt, sizeof prefix->salt)
             : encrypt_ && !FillRandom(prefix->random, sizeof prefix->random))
        return 0;
    units_.push_back(std::move(prefix));

    // Second pass: the file again, in blocks whose boundaries depend only
    // on the size read in the first.
    if (!source.Seek(0)) return 0;
    const std::uint64_t blocks = size == 0 ? 1 : (size + kDeflateBlockSize - 1) / kDeflateBlockSize;
    tail_.clear();
    for (std::uint64_t i = 0; i < blocks; ++i) {
        const bool last = i + 1 == blocks;
        const std::size_t want =
            last ? static_cast<std::size_t>(size - i * kDeflateBlockSize) : kDeflateBlockSize;
        auto unit = std::make_unique<Unit>();
        unit->kind = Unit::Kind::Block;
        unit->entry = index;
        unit->job = std::make_unique<DeflateJob>();
        if (!ReadBlock(source, *unit->job, want, last)) return 0;
        bytesInFlight_ += unit->job->Footprint();
        workers_.Submit(*unit->job);
        units_.push_back(std::move(unit));
        if (!Pump(false)) return 0;
    }
    units_.push_back(std::move(end));
    return Pump(false) ? 1 : 0;
}

bool ZipEntryWriter::FirstPass(File& source, std::uint32_t& crc, std::uint64_t& size) {
    Crc32 accumulator;
    for (;;) {
        const std::int64_t n = source.Read(input_.get(), kInputSize);
        if (n < 0) return false;
        progress_.AddDone(static_cast<std::uint64_t>(n));
        if (progress_.IsCancelled() != 0) return false;
        if (n == 0) break;
        accumulator.Update(input_.get(), static_cast<std::size_t>(n));
        size += static_cast<std::uint64_t>(n);
    }
    crc = accumulator.Value();
    return true;
}

bool ZipEntryWriter::ReadBlock(File& source, DeflateJob& job, std::size_t want, bool last) {
    try {
        job.input.resize(tail_.size() + want);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!tail_.empty()) std::memcpy(job.input.data(), tail_.data(), tail_.size());
    job.dictionarySize = tail_.size();
    job.last = last;
    unsigned char* data = job.input.data() + job.dictionarySize;
    std::size_t have = 0;
    // Read in the same steps as the first pass, so cancellation is seen as
    // often; a file that ends early or grew since the first pass fails.
    while (have < want || last) {
        const std::size_t ask = have < want ? std::min(kInputSize, want - have) : kInputSize;
        unsigned char* into = have < want ? data + have : input_.get();
        const std::int64_t n = source.Read(into, ask);
        if (n < 0) return false;
        progress_.AddDone(static_cast<std::uint64_t>(n));
        if (progress_.IsCancelled() != 0) return false;
        if (have == want) {
            if (n != 0) return false;  // grown
            break;
        }
        if (n == 0) return false;  // shortened
        have += static_cast<std::size_t>(n);
    }
    if (!last) tail_.assign(data + want - kDeflateDictionarySize, data + want);
    return true;
}

bool ZipEntryWriter::Pump(bool all) {
    while (!units_.empty()) {
        Unit& front = *units_.front();
        if (front.kind == Unit::Kind::Block) {
            const bool mustWait = all || bytesInFlight_ > kMaxBytesInFlight ||
                                  units_.size() > kMaxBlocksInFlight;
            if (mustWait) {
                workers_.Wait(*front.job);
            } else if (!workers_.IsDone(*front.job)) {
                return true;
            }
        }
        if (!WriteUnit(front)) return false;
        units_.pop_front();
        if (all && progress_.IsCancelled() != 0) return false;
    }
    return true;
}

bool ZipEntryWriter::WriteOut(const void* bytes, std::size_t size) {
    if (size == 0) return true;
    if (!archive_.Write(bytes, size)) return false;
    position_ += size;
    // The archive is synced whole before its rename; this only keeps the
    // disk busy while the next window is written.
    return flush_.Wrote(archive_, size);
}

bool ZipEntryWriter::WriteUnit(Unit& unit) {
    EntryRecord& record = entries_[unit.entry];
    switch (unit.kind) {
        case Unit::Kind::Prefix: {
            record.offset = position_;
            record.compressedSize = 0;
            checkCrc_ = 0;
            checkSize_ = 0;
            std::string& out = unit.bytes;
            if (aes_) {
                if (!aesCipher_.Init(std::string_view(password_, passwordLength_), kAesStrength,
                                     unit.salt))
                    return false;
                out.append(reinterpret_cast<const char*>(unit.salt), sizeof unit.salt);
                out.append(reinterpret_cast<const char*>(aesCipher_.Verifier()), kAesVerifierSize);
                record.compressedSize = sizeof unit.salt + kAesVerifierSize;
            } else if (encrypt_) {
                crypto_.MakeHeader(password_, passwordLength_, record.crc, unit.random);
                out.append(reinterpret_cast<const char*>(crypto_.Header()), ZipCrypto::kHeaderSize);
                record.compressedSize = ZipCrypto::kHeaderSize;
            }
            // Header, name, extra fields and encryption header in one write.
            if (!archive_.Write(out.data(), out.size())) return false;
            position_ += out.size();
            return true;
        }
        case Unit::Kind::Block: {
            DeflateJob& job = *unit.job;
            if (!job.ok) return false;
            const std::size_t size = job.DataSize();
            checkCrc_ = static_cast<std::uint32_t>(
                crc32_combine(checkCrc_, job.crc, static_cast<z_off_t>(size)));
            checkSize_ += size;
            if (aes_) {
                if (!aesCipher_.Encrypt(job.output.data(), job.output.size())) return false;
            } else if (encrypt_) {
                crypto_.EncryptBuffer(job.output.data(), job.output.size());
            }
            if (!WriteOut(job.output.data(), job.output.size())) return false;
            record.compressedSize += job.output.size();
            bytesInFlight_ -= job.Footprint();
            unit.job.reset();
            return true;
        }
        case Unit::Kind::End: {
            // The data is checked against the first pass: a file that
            // changed in between would otherwise be stored under a CRC it
            // does not have.
            if (checkSize_ != record.size || checkCrc_ != record.crc) return false;
            if (aes_) {
                unsigned char code[kAesAuthCodeSize];
                if (!aesCipher_.AuthCode(code) || !WriteOut(code, sizeof code)) return false;
                record.compressedSize += sizeof code;
            }
            auto* head = reinterpret_cast<unsigned char*>(unit.bytes.data());
            if (record.zip64Local) {
                PutU64(head + kLocalFileHeaderLen + record.name.size() + 12, record.compressedSize);
            } else {
                // Without a Zip64 field the size must fit; deflate's bound
                // says it does, and a truncated field is never written.
                if (record.compressedSize > limits_.maxField32) return false;
                PutU32(head + 18, static_cast<std::uint32_t>(record.compressedSize));
            }
            return archive_.WriteAt(record.offset, unit.bytes.data(), unit.bytes.size());
        }
    }
    return false;
}

int ZipEntryWriter::Finish() { return Pump(true) ? 1 : 0; }

}  // namespace kivo::zip
