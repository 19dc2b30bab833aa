#include "model/StoreFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "model/Archive.h"
#include "platform/Attributes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Links.h"
#include "platform/Paths.h"

namespace kivo {

namespace {

constexpr std::size_t kTemporarySuffixLength = 6;  // mkstemp's XXXXXX

bool IsTemporarySuffix(std::string_view suffix) {
    if (suffix.size() != kTemporarySuffixLength) return false;
    for (char c : suffix) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    std::string folder = ParentFolder(path);
    return folder.empty() ? std::string(".") : folder;
}

std::string DamagedStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool ReadWhole(File& file, std::string& bytes) {
    char buffer[16384];
    for (;;) {
        const std::int64_t got = file.Read(buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

StoreRead ReadRecords(Archive& archive, const RecordReader& readOne) {
    StoreRead result;
    if (archive.ok() && archive.Remaining() == 0) {
        result.state = StoreState::Empty;
        return result;
    }
    result.state = StoreState::Damaged;
    std::int32_t count = 0;
    if (!archive.ReadI32(count) || count < 0) return result;
    for (std::int32_t i = 0; i < count; ++i) {
        if (!readOne(archive)) return result;
        ++result.records;
    }
    // Bytes after the last announced record are a count that was damaged
    // downwards: the records they hold would be lost at the next save.
    if (archive.ok() && archive.Remaining() == 0) result.state = StoreState::Whole;
    return result;
}

}  // namespace

StoreRead ReadStoreFile(const std::string& path, const RecordReader& readOne) {
    File file;
    if (!file.Open(path, File::Mode::Read)) {
        StoreRead result;
        // A store that is there but can not be read must not pass for a
        // first run: whatever writes next would replace it with nothing.
        const int error = file.lastError();
        if (error != ENOENT && error != ENOTDIR) result.state = StoreState::Damaged;
        return result;
    }
    Archive archive = Archive::LoadFrom(file);
    return ReadRecords(archive, readOne);
}

StoreRead ReadStoreBytes(std::string_view bytes, const RecordReader& readOne) {
    Archive archive = Archive::LoadFrom(bytes);
    return ReadRecords(archive, readOne);
}

std::string StoreTemporaryPrefix(const std::string& storePath) {
    return "." + BaseName(storePath) + ".";
}

bool StoreDraft::Fail(int error) {
    error_ = error != 0 ? error : EIO;
    Drop();
    return false;
}

bool StoreDraft::Write(const std::string& storePath, const StoreWriter& write) {
    Drop();
    error_ = 0;
    target_ = WriteThroughPath(storePath);
    if (target_.empty()) return Fail(ELOOP);
    const std::uint32_t attributes = GetAttributes(target_);
    if (attributes != kInvalidAttributes && (attributes & ATTR_DIRECTORY) != 0) return Fail(EISDIR);
    if (attributes != kInvalidAttributes && (attributes & ATTR_READONLY) != 0) return Fail(EACCES);

    unsigned mode = 0600;
    if (attributes != kInvalidAttributes && GetPermissions(target_, mode)) mode &= 0700;

    File file;
    if (!file.CreateSiblingTemp(FolderOf(target_), StoreTemporaryPrefix(storePath), temporary_,
                                File::Access::OwnerOnly)) {
        temporary_.clear();
        return Fail(file.lastError());
    }
    if (!file.SetMode(mode)) return Fail(file.lastError());
    Archive archive = Archive::StoreTo(file);
    if (!write(archive) || !archive.Flush()) return Fail(file.lastError());
    if (!file.Flush()) return Fail(file.lastError());
    if (!file.Close()) return Fail(file.lastError());
    return true;
}

bool StoreDraft::Commit() {
    if (temporary_.empty()) return false;
    // A draft that can not be put in place stays until it is dropped: a
    // change of both stores may still need it where it is.
    if (!RenamePath(temporary_, target_)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    temporary_.clear();
    return true;
}

bool StoreDraft::Park(const std::string& path) {
    if (temporary_.empty()) return false;
    if (!RenamePath(temporary_, path)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    temporary_ = path;
    return true;
}

void StoreDraft::Drop() {
    if (temporary_.empty()) return;
    RemoveFile(temporary_);
    temporary_.clear();
}

bool ReplaceStoreFile(const std::string& storePath, const StoreWriter& write) {
    StoreDraft draft;
    return draft.Write(storePath, write) && draft.Commit();
}

std::string KeepDamagedStore(const std::string& storePath, int& error) {
    error = 0;
    const std::string target = WriteThroughPath(storePath);
    if (target.empty()) {
        error = ELOOP;
        return std::string();
    }
    File source;
    std::string bytes;
    if (!source.Open(target, File::Mode::Read) || !ReadWhole(source, bytes)) {
        error = source.lastError() != 0 ? source.lastError() : EIO;
        return std::string();
    }
    source.Close();

    const std::string base = target + ".damaged-" + DamagedStamp();
    for (unsigned number = 1;; ++number) {
        const std::string copy = number == 1 ? base : base + "-" + std::to_string(number);
        File file;
        if (!file.Open(copy, File::Mode::CreateNew)) {
            if (file.lastError() == EEXIST) continue;
            error = file.lastError();
            return std::string();
        }
        // Private before a byte is written: the copy may hold passwords.
        const bool written = file.SetMode(0600) && file.Write(bytes.data(), bytes.size()) &&
                             file.Flush();
        const int failure = file.lastError();
        if (file.Close() && written) return copy;
        RemoveFile(copy);
        error = failure != 0 ? failure : EIO;
        return std::string();
    }
}

std::size_t RemoveDeadTemporaries(const std::string& storePath) {
    const std::string target = WriteThroughPath(storePath);
    if (target.empty()) return 0;
    const std::string folder = FolderOf(target);
    const std::string prefix = StoreTemporaryPrefix(storePath);
    std::vector<std::string> dead;
    FolderEnumerator names;
    if (!names.Open(folder)) return 0;
    FindData item;
    while (names.Next(item)) {
        if (item.name.size() != prefix.size() + kTemporarySuffixLength ||
            item.name.compare(0, prefix.size(), prefix) != 0 ||
            !IsTemporarySuffix(std::string_view(item.name).substr(prefix.size()))) {
            continue;
        }
        dead.push_back(JoinPath(folder, item.name));
    }
    names.Close();
    std::size_t removed = 0;
    for (const std::string& path : dead) {
        // Only a plain file: a link or a folder of that name is nobody's
        // temporary, and unlinking through a link is not ours to do.
        FindData data;
        if (!GetFindData(path, data, false) || data.isLink || !data.isRegular) continue;
        if (RemoveFile(path)) ++removed;
    }
    return removed;
}

}  // namespace kivo
