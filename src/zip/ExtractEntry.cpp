#include "zip/ExtractEntry.h"

#include <cerrno>

#include <algorithm>
#include <memory>
#include <new>

#include "model/StringTable.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
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

int ExtractFile(const ZipEntry& entry, File& archive, const std::string& target,
                const std::string* password, ZipProgress& progress) {
    DataInfo info;
    if (const int code = ReadLocalHeader(entry, archive, info); code != kExtractOk) return code;

    EntryDataReader reader;
    if (const int code = reader.Open(archive, info, password); code != kExtractOk) return code;

    TargetWriter writer;
    if (const int code = writer.Create(target); code != kExtractOk) return code;
    // Even an entry stated empty is read and checked: data that does not
    // end there, or a CRC that is not 0, is a damaged entry.
    TargetSink sink(writer);
    const int code = reader.Run(&sink, progress);
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
