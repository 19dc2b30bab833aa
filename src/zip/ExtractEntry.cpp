#include "zip/ExtractEntry.h"

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
#include "platform/WriteBehind.h"
#include "zip/format/Crc32.h"
#include "zip/ExtractSession.h"
#include "zip/ExtractTarget.h"
#include "zip/format/EntryData.h"
#include "zip/format/ZipExtraFields.h"
#include "zip/format/ZipFormat.h"

namespace kivo::zip {

namespace {

using DataInfo = EntryDataInfo;
static_assert(kDataBadHeader == kExtractBadHeader && kDataBadPassword == kExtractBadPassword &&
              kDataNoMemory == kExtractNoMemory && kDataReadError == kExtractReadError &&
              kDataCrcError == kExtractCrcError && kDataBadMethod == kExtractBadMethod &&
              kDataDecodeError == kExtractInflateError && kDataCancelled == kExtractCancelled &&
              kDataUnsupportedEncryption == kExtractUnsupportedEncryption);

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
    // The local name and extra field may not push the data into the next
    // entry or the central directory.
    if (dataStart > entry.spanLimit || info.compressedSize > entry.spanLimit - dataStart)
        return kExtractBadHeader;
    info.extra.resize(extraLength);
    if (!archive.Seek(dataStart - extraLength) ||
        archive.ReadFull(info.extra.data(), extraLength) != static_cast<std::int64_t>(extraLength))
        return kExtractBadHeader;
    return kExtractOk;
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
        if (!flush_.Wrote(temp_.file(), size)) return kExtractWriteError;
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
    WriteBehind flush_{kExtractFlushInterval};
};

// Progress counts 32-bit steps; an entry may be larger.
void AddDoneInSteps(ZipProgress& progress, std::uint64_t bytes) {
    for (; bytes > 0xFFFFFFFFu; bytes -= 0xFFFFFFFFu) progress.AddDone(0xFFFFFFFFu);
    progress.AddDone(static_cast<std::uint32_t>(bytes));
}

// Decoded data goes to the target file.
class TargetSink final : public EntryDataSink {
public:
    explicit TargetSink(TargetWriter& target) : target_(target) {}
    int Write(const unsigned char* data, std::size_t size) override {
        return target_.Write(data, size);
    }

private:
    TargetWriter& target_;
};

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

    EntryDataReader reader;
    if (const int code = reader.Open(archive, info, password); code != kExtractOk) return code;

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
    // Even an entry stated empty is read and checked: data that does not
    // end there, or a CRC that is not 0, is a damaged entry.
    TargetSink sink(writer);
    if (const int code = reader.Run(&sink, progress); code != kExtractOk) return code;
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
    EntryDataReader reader;
    if (reader.Open(archiveFile, info, nullptr) != kExtractOk) return false;
    TargetWriter writer;
    writer.CaptureInto(&target);
    TargetSink sink(writer);
    ZipProgress quiet;
    const int code = reader.Run(&sink, quiet);
    if (code != kExtractOk) target.clear();
    return code == kExtractOk;
}

int TestEntry(const ZipEntry& entry, File& archiveFile, const std::string* password,
              ZipProgress& progress) {
    if (entry.isFolder) return kExtractOk;
    DataInfo info;
    if (const int code = ReadLocalHeader(entry, archiveFile, info); code != kExtractOk) return code;
    EntryDataReader reader;
    if (const int code = reader.Open(archiveFile, info, password); code != kExtractOk) return code;
    return reader.Run(nullptr, progress);
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
        case kExtractUnsupportedEncryption: return LoadText(IDS_UNSUPPORTED_ENCRYPTION);
        default: return std::string();
    }
}

}  // namespace kivo::zip
