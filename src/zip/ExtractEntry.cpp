#include "zip/ExtractEntry.h"

#include <zlib.h>

#include <cerrno>
#include <climits>

#include <algorithm>
#include <memory>
#include <new>

#include "model/StringTable.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Folder.h"
#include "platform/Paths.h"
#include "platform/PrivateTemp.h"
#include "zip/format/Crc32.h"
#include "zip/ExtractSession.h"
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

// The output side, flushed every 2 MiB: an unnamed private file in the
// entry's folder, named only when complete, so no partial file ever has a
// final name (a kill included); or, for a link, the text kept in memory.
class TargetWriter {
public:
    // The link text the data is; no file is made.
    void CaptureInto(std::string* text) { capture_ = text; }

    int Create(const FolderHandle& folder, const std::string& name) {
        if (capture_) return kExtractOk;
        return temp_.Create(folder, name, kExtractTempPrefix) ? kExtractCannotCreate : kExtractOk;
    }

    int Write(const unsigned char* data, std::size_t size) {
        if (capture_) {
            // No link target is this long; the entry is damaged or hostile.
            if (capture_->size() + size > kMaxLinkTarget) return kExtractWriteError;
            capture_->append(reinterpret_cast<const char*>(data), size);
            return kExtractOk;
        }
        if (!temp_.file().Write(data, size)) return kExtractWriteError;
        unflushed_ += size;
        if (unflushed_ >= kExtractFlushInterval) {
            unflushed_ = 0;
            if (!temp_.file().Flush()) return kExtractWriteError;
        }
        return kExtractOk;
    }

    // Gives the complete file its mode and time, then its name, replacing
    // a file of that name; `stillThere` says whether the folder is still
    // the one that was reached.
    template <typename Check>
    int Commit(const std::string& entryName, unsigned mode, FileTime time, Check stillThere) {
        if (capture_) return kExtractOk;
        if (!temp_.file().SetMode(mode)) return kExtractWriteError;
        if (time != 0) temp_.file().SetTimes(time, time);
        RunExtractActHook(entryName);
        if (!stillThere()) return kExtractCannotCreate;
        std::error_code named = temp_.LinkAsNew();
        if (named.value() == EEXIST) {
            FindData existing;
            if (!temp_.folder().Stat(temp_.finalName(), existing) &&
                (existing.attributes & ATTR_DIRECTORY) != 0 && !existing.isLink)
                return kExtractCannotCreate;
            named = temp_.Replace();
        }
        if (named) return kExtractCannotCreate;
        return temp_.file().Close() ? kExtractOk : kExtractWriteError;
    }

    static constexpr std::size_t kMaxLinkTarget = 65536;

private:
    PrivateTemp temp_;
    std::string* capture_ = nullptr;
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

// The UTC time of the local header's extra fields, for entries whose
// central header carries none.
FileTime LocalExtraTime(const ZipEntry& entry, File& archive) {
    unsigned char local[kLocalFileHeaderLen];
    if (!archive.Seek(entry.offset) ||
        archive.ReadFull(local, sizeof local) != static_cast<std::int64_t>(sizeof local) ||
        GetU32(local) != kLocalFileHeaderSignature)
        return entry.time;
    std::string extra(GetU16(local + 28), '\0');
    if (!archive.Seek(entry.offset + kLocalFileHeaderLen + GetU16(local + 26)) ||
        archive.ReadFull(extra.data(), extra.size()) != static_cast<std::int64_t>(extra.size()))
        return entry.time;
    return ExtraFieldTime(extra).value_or(entry.time);
}

// The mode a new file gets: the entry's permission bits when it was made
// on Unix (never set-user-ID, set-group-ID or sticky), else the usual
// mode, both limited by the umask.
unsigned FileMode(const ZipEntry& entry) {
    const std::uint32_t unixMode = entry.UnixMode();
    return (unixMode != 0 ? (unixMode & 0777) : 0666) & ~CurrentUmask();
}

int ExtractFile(const ZipEntry& entry, File& archive, const std::vector<std::string>& components,
                const std::string* password, ZipProgress& progress, ExtractSession& session) {
    const FileTime time = entry.timeFromExtra ? entry.time : LocalExtraTime(entry, archive);
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

    const FolderHandle* parent = nullptr;
    FolderHandle folder;
    if (session.ReachParent(components, true, parent, folder)) return kExtractCannotCreate;
    const std::string& leaf = components.back();
    const bool atTop = components.size() == 1;
    const std::string folderName = atTop ? std::string() : components[components.size() - 2];
    // The folder reached must still be the one under its name when the
    // entry is named in it: one swapped for a link or another folder in
    // between fails the entry instead.
    auto stillThere = [&] {
        if (atTop) return true;
        FindData now;
        return !parent->Stat(folderName, now) && !now.isLink &&
               FileId{now.device, now.inode} == folder.id();
    };
    FindData existing;
    if (!folder.Stat(leaf, existing) && (existing.attributes & ATTR_DIRECTORY) != 0 &&
        !existing.isLink)
        return kExtractCannotCreate;

    TargetWriter writer;
    std::string linkTarget;
    if (entry.IsLink()) writer.CaptureInto(&linkTarget);
    if (const int code = writer.Create(folder, leaf); code != kExtractOk) return code;
    // An empty entry is an empty file; there is nothing to read or check.
    if (dataSize != 0 && info.uncompressedSize != 0) {
        Buffers buffers;
        if (!buffers.Allocate()) return kExtractNoMemory;
        ZipCrypto* cipher = encrypted ? &crypto : nullptr;
        const int code = info.method == kMethodDeflated
                             ? Inflate(archive, dataSize, cipher, info, buffers, writer, progress)
                             : CopyStored(archive, dataSize, cipher, info, buffers, writer, progress);
        if (code != kExtractOk) return code;
    }
    if (entry.IsLink()) {
        // Made after every file of the run, and only where it stays inside.
        session.AddLink({components, entry.name, linkTarget, time});
        return kExtractOk;
    }
    return writer.Commit(entry.name, FileMode(entry), time, stillThere);
}

}  // namespace

int ExtractEntry(const ZipEntry& entry, File& archiveFile, const std::string& targetFolder,
                 const std::string& prefix, const std::string* password, ZipProgress& progress,
                 bool skipExisting, ExtractSession* session) {
    if (entry.name.size() < prefix.size()) return kExtractNameTooShort;
    const std::string relative = NameAfterPrefix(entry.name, prefix);
    std::vector<std::string> components;
    if (!SplitEntryName(relative, components)) return kExtractCannotCreate;
    // Folder creation cuts longer paths short, which would put the entry
    // under a name that is not its own.
    if (targetFolder.size() + relative.size() + 1 >= PATH_MAX) return kExtractCannotCreate;

    // A lone entry is a run of its own.
    std::unique_ptr<ExtractSession> own;
    if (session == nullptr) {
        own = std::make_unique<ExtractSession>(targetFolder);
        session = own.get();
    } else if (session->Target() != NormalizedPath(targetFolder)) {
        return kExtractNameTooShort;
    }
    int code = kExtractOk;
    if (skipExisting && !components.empty()) {
        const FolderHandle* parent = nullptr;
        FindData existing;
        if (!session->Reach(components, components.size() - 1, false, parent) &&
            !parent->Stat(components.back(), existing)) {
            if (!entry.isFolder) AddDoneInSteps(progress, entry.uncompressedSize);
            return kExtractOk;
        }
    }
    if (entry.isFolder) {
        const FolderHandle* folder = nullptr;
        if (session->Reach(components, components.size(), true, folder)) {
            code = kExtractCannotCreate;
        } else if (const std::uint32_t mode = entry.UnixMode(); mode != 0 && !components.empty()) {
            session->AddFolderMode({components, (mode & 0777) & ~CurrentUmask()});
        }
    } else if (components.empty()) {
        // A file cannot take the place of the target folder itself.
        code = kExtractCannotCreate;
    } else {
        code = ExtractFile(entry, archiveFile, components, password, progress, *session);
    }
    if (own) {
        std::string failedName;
        const int finished = own->Finish(nullptr, failedName);
        if (code == kExtractOk) code = finished;
    }
    return code;
}

bool ReadLinkTarget(const ZipEntry& entry, File& archiveFile, std::string& target) {
    target.clear();
    if (!entry.IsLink() || entry.encrypted) return false;
    DataInfo info;
    if (ReadLocalHeader(entry, archiveFile, info) != kExtractOk) return false;
    if ((info.flags & kFlagEncrypted) != 0) return false;
    if (info.compressedSize == 0 || info.uncompressedSize == 0) return true;
    TargetWriter writer;
    writer.CaptureInto(&target);
    Buffers buffers;
    if (!buffers.Allocate()) return false;
    ZipProgress quiet;
    const int code =
        info.method == kMethodDeflated
            ? Inflate(archiveFile, info.compressedSize, nullptr, info, buffers, writer, quiet)
            : CopyStored(archiveFile, info.compressedSize, nullptr, info, buffers, writer, quiet);
    if (code != kExtractOk) target.clear();
    return code == kExtractOk;
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
