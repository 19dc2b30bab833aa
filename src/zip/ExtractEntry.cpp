#include "zip/ExtractEntry.h"

#include <zlib.h>

#include <cerrno>

#include <algorithm>
#include <memory>
#include <new>

#include "model/StringTable.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "zip/format/Crc32.h"
#include "zip/ExtractTarget.h"
#include "zip/format/ZipCrypto.h"
#include "zip/format/ZipExtraFields.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

// What the local header (or, for entries with a data descriptor, the
// central directory) says about the entry's data.
struct DataInfo {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t dosTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

// The local header's sizes hold markers: the real ones are in its Zip64
// field, which in a local header carries both sizes whichever is marked.
// A header without the field (a classic writer's entry of exactly
// 0xFFFFFFFF bytes, say) takes the central directory's values, which were
// read through its own Zip64 field.
int ReadLocalZip64Sizes(const ZipEntry& entry, File& archive, std::size_t nameLength,
                        std::size_t extraLength, DataInfo& info) {
    std::string extra(extraLength, '\0');
    if (!archive.Seek(entry.offset + kLocalFileHeaderLen + nameLength) ||
        archive.ReadFull(extra.data(), extraLength) != static_cast<std::int64_t>(extraLength))
        return kExtractBadHeader;
    const std::optional<std::string_view> field = FindExtraField(extra, kZip64ExtraId);
    if (!field) {
        info.compressedSize = entry.compressedSize;
        info.uncompressedSize = entry.uncompressedSize;
        return kExtractOk;
    }
    if (field->size() >= 16) {
        info.uncompressedSize = GetU64(reinterpret_cast<const unsigned char*>(field->data()));
        info.compressedSize = GetU64(reinterpret_cast<const unsigned char*>(field->data()) + 8);
        return kExtractOk;
    }
    return ApplyZip64Field(extra, &info.uncompressedSize, &info.compressedSize, nullptr)
               ? kExtractOk
               : kExtractBadHeader;
}

int ReadLocalHeader(const ZipEntry& entry, File& archive, DataInfo& info) {
    unsigned char local[kLocalFileHeaderLen];
    if (!archive.Seek(entry.offset) ||
        archive.ReadFull(local, sizeof local) != static_cast<std::int64_t>(sizeof local) ||
        GetU32(local) != kLocalFileHeaderSignature)
        return kExtractBadHeader;
    info.flags = GetU16(local + 6);
    info.method = GetU16(local + 8);
    info.dosTime = GetU16(local + 10);
    if (info.method != kMethodStored && info.method != kMethodDeflated) return kExtractBadMethod;
    const std::size_t nameLength = GetU16(local + 26);
    const std::size_t extraLength = GetU16(local + 28);
    if (info.flags & kFlagDataDescriptor) {
        // Streaming writers leave these zero here and put them behind the
        // data; the central directory has the final values.
        info.crc = entry.crc;
        info.compressedSize = entry.compressedSize;
        info.uncompressedSize = entry.uncompressedSize;
    } else {
        info.crc = GetU32(local + 14);
        info.compressedSize = GetU32(local + 18);
        info.uncompressedSize = GetU32(local + 22);
        if (info.compressedSize == kZip64Marker32 || info.uncompressedSize == kZip64Marker32) {
            const int code = ReadLocalZip64Sizes(entry, archive, nameLength, extraLength, info);
            if (code != kExtractOk) return code;
        }
    }
    const std::uint64_t dataStart =
        entry.offset + kLocalFileHeaderLen + nameLength + extraLength;
    return archive.Seek(dataStart) ? kExtractOk : kExtractBadHeader;
}

// The encryption header's last byte carries the high byte of the CRC, or of
// the DOS time when the entry has a data descriptor (its CRC was not known
// when the header was written). Other tools fill byte 10 at random, so it
// is not part of the check.
bool PasswordMatches(ZipCrypto& crypto, const std::string& password,
                     const unsigned char* encryptedHeader, const DataInfo& info) {
    unsigned char header[ZipCrypto::kHeaderSize];
    std::copy(encryptedHeader, encryptedHeader + sizeof header, header);
    crypto.InitKeys(password.data(), password.size());
    crypto.DecryptBuffer(header, sizeof header);
    const unsigned char expected = (info.flags & kFlagDataDescriptor)
                                       ? static_cast<unsigned char>(info.dosTime >> 8)
                                       : static_cast<unsigned char>(info.crc >> 24);
    return header[11] == expected;
}

// The output side, flushed every 2 MiB. A target that does not exist yet is
// written in place (and removed again on failure); an existing one is only
// replaced by renaming a complete temporary file from beside it over it.
class TargetWriter {
public:
    int Create(const std::string& target) {
        const std::string folder = ParentFolder(target);
        if (IsFolder(target)) return kExtractCannotCreate;
        MakeEntryFolders(folder);
        FindData existing;
        if (!GetFindData(target, existing, false)) {
            if (file_.Open(target, File::Mode::CreateNew)) {
                writtenPath_ = target;
                return kExtractOk;
            }
            if (file_.lastError() != EEXIST) return kExtractCannotCreate;
        }
        if (!file_.CreateSiblingTemp(folder, kExtractTempPrefix, writtenPath_))
            return kExtractCannotCreate;
        replacing_ = true;
        return kExtractOk;
    }

    int Write(const unsigned char* data, std::size_t size) {
        if (!file_.Write(data, size)) return kExtractWriteError;
        unflushed_ += size;
        if (unflushed_ >= kExtractFlushInterval) {
            unflushed_ = 0;
            if (!file_.Flush()) return kExtractWriteError;
        }
        return kExtractOk;
    }

    // Puts the complete file in place of the target.
    int Commit(const std::string& target, FileTime time) {
        if (time != 0) file_.SetTimes(time, time);
        if (!file_.Close()) return kExtractWriteError;
        if (replacing_ && !RenamePath(writtenPath_, target)) return kExtractCannotCreate;
        writtenPath_.clear();
        return kExtractOk;
    }

    ~TargetWriter() {
        if (writtenPath_.empty()) return;
        file_.Close();
        RemoveFile(writtenPath_);
    }

private:
    File file_;
    std::string writtenPath_;  // removed unless committed
    bool replacing_ = false;
    std::uint64_t unflushed_ = 0;
};

struct Buffers {
    std::unique_ptr<unsigned char[]> input;
    std::unique_ptr<unsigned char[]> output;
    bool Allocate() {
        input.reset(new (std::nothrow) unsigned char[kExtractInputBlock]);
        output.reset(new (std::nothrow) unsigned char[kExtractOutputBlock]);
        return input && output;
    }
};

// Progress counts 32-bit steps; an entry may be larger.
void AddDoneInSteps(ZipProgress& progress, std::uint64_t bytes) {
    for (; bytes > 0xFFFFFFFFu; bytes -= 0xFFFFFFFFu) progress.AddDone(0xFFFFFFFFu);
    progress.AddDone(static_cast<std::uint32_t>(bytes));
}

int CheckResult(const Crc32& crc, std::uint64_t produced, const DataInfo& info) {
    return crc.Value() == info.crc && produced == info.uncompressedSize ? kExtractOk
                                                                         : kExtractCrcError;
}

int Inflate(File& archive, std::uint64_t remaining, ZipCrypto* crypto, const DataInfo& info,
            Buffers& buffers, TargetWriter& target, ZipProgress& progress) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return kExtractInflateError;
    Crc32 crc;
    std::uint64_t produced = 0;
    int code = kExtractOk;
    for (;;) {
        stream.next_out = buffers.output.get();
        stream.avail_out = kExtractOutputBlock;
        if (stream.avail_in == 0 && remaining > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kExtractInputBlock));
            if (archive.ReadFull(buffers.input.get(), n) != static_cast<std::int64_t>(n)) {
                code = kExtractReadError;
                break;
            }
            if (crypto) crypto->DecryptBuffer(buffers.input.get(), n);
            stream.next_in = buffers.input.get();
            stream.avail_in = static_cast<uInt>(n);
            remaining -= n;
        }
        if (stream.avail_in == 0 && produced >= info.uncompressedSize) {
            code = CheckResult(crc, produced, info);
            break;
        }
        const int result = inflate(&stream, Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            code = kExtractInflateError;
            break;
        }
        const std::size_t have = kExtractOutputBlock - stream.avail_out;
        if (have > 0) {
            produced += have;
            // More data than announced is a damaged or hostile entry.
            if (produced > info.uncompressedSize) {
                code = kExtractCrcError;
                break;
            }
            crc.Update(buffers.output.get(), have);
            if ((code = target.Write(buffers.output.get(), have)) != kExtractOk) break;
            progress.AddDone(static_cast<std::uint32_t>(have));
        }
        if (result == Z_STREAM_END) {
            code = CheckResult(crc, produced, info);
            break;
        }
        if (progress.IsCancelled()) {
            code = kExtractCancelled;
            break;
        }
    }
    inflateEnd(&stream);
    return code;
}

int CopyStored(File& archive, std::uint64_t remaining, ZipCrypto* crypto, const DataInfo& info,
               Buffers& buffers, TargetWriter& target, ZipProgress& progress) {
    Crc32 crc;
    std::uint64_t produced = 0;
    while (remaining > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kExtractOutputBlock));
        if (archive.ReadFull(buffers.output.get(), n) != static_cast<std::int64_t>(n))
            return kExtractReadError;
        if (crypto) crypto->DecryptBuffer(buffers.output.get(), n);
        crc.Update(buffers.output.get(), n);
        if (const int code = target.Write(buffers.output.get(), n); code != kExtractOk) return code;
        remaining -= n;
        produced += n;
        if (progress.IsCancelled()) return kExtractCancelled;
        progress.AddDone(static_cast<std::uint32_t>(n));
    }
    return CheckResult(crc, produced, info);
}

int ExtractFile(const ZipEntry& entry, File& archive, const std::string& target,
                const std::string* password, ZipProgress& progress) {
    DataInfo info;
    if (const int code = ReadLocalHeader(entry, archive, info); code != kExtractOk) return code;

    std::uint64_t dataSize = info.compressedSize;
    ZipCrypto crypto;
    const bool encrypted = (info.flags & kFlagEncrypted) != 0;
    if (encrypted) {
        unsigned char header[ZipCrypto::kHeaderSize];
        if (dataSize < sizeof header ||
            archive.ReadFull(header, sizeof header) != static_cast<std::int64_t>(sizeof header))
            return kExtractBadHeader;
        if (password == nullptr || !PasswordMatches(crypto, *password, header, info))
            return kExtractBadPassword;
        dataSize -= sizeof header;
    }

    TargetWriter writer;
    if (const int code = writer.Create(target); code != kExtractOk) return code;
    // An empty entry is an empty file; there is nothing to read or check.
    if (dataSize == 0 || info.uncompressedSize == 0) return writer.Commit(target, entry.time);

    Buffers buffers;
    if (!buffers.Allocate()) return kExtractNoMemory;
    ZipCrypto* cipher = encrypted ? &crypto : nullptr;
    const int code = info.method == kMethodDeflated
                         ? Inflate(archive, dataSize, cipher, info, buffers, writer, progress)
                         : CopyStored(archive, dataSize, cipher, info, buffers, writer, progress);
    if (code != kExtractOk) return code;
    return writer.Commit(target, entry.time);
}

}  // namespace

int ExtractEntry(const ZipEntry& entry, File& archiveFile, const std::string& targetFolder,
                 const std::string& prefix, const std::string* password, ZipProgress& progress,
                 bool skipExisting) {
    if (entry.name.size() < prefix.size()) return kExtractNameTooShort;
    const std::string relative = NameAfterPrefix(entry.name, prefix);
    std::string target;
    if (!MakeTargetPath(targetFolder, relative, target)) return kExtractCannotCreate;

    if (skipExisting) {
        FindData existing;
        if (GetFindData(target, existing, false)) {
            if (!entry.isFolder) AddDoneInSteps(progress, entry.uncompressedSize);
            return kExtractOk;
        }
    }
    if (entry.isFolder) return MakeEntryFolders(target) == 0 ? kExtractOk : kExtractCannotCreate;
    // A file cannot take the place of the target folder itself.
    if (relative.empty()) return kExtractCannotCreate;
    return ExtractFile(entry, archiveFile, target, password, progress);
}

std::string ExtractReasonText(int code) {
    switch (code) {
        case kExtractNameTooShort: return LoadText(IDS_INTERNAL_ERROR);
        case kExtractCannotCreate: return LoadText(IDS_CANNOT_CREATE_TARGET);
        case kExtractBadHeader:
        case kExtractBadMethod:
        case kExtractInflateError: return LoadText(IDS_UNKNOWN_FORMAT);
        case kExtractBadPassword: return LoadText(IDS_INCORRECT_PASSWORD);
        case kExtractNoMemory: return LoadText(IDS_EXTRACT_OUT_OF_MEMORY);
        case kExtractReadError: return LoadText(IDS_ZIP_READING_ERROR);
        case kExtractWriteError: return LoadText(IDS_TARGET_WRITING_ERROR);
        case kExtractCrcError: return LoadText(IDS_CRC_ERROR);
        default: return std::string();
    }
}

}  // namespace kivo::zip
