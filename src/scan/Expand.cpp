#include "scan/Expand.h"

#include <algorithm>

#include "model/EntryPath.h"
#include "model/StringTable.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "scan/FolderWalk.h"
#include "scan/Patterns.h"

namespace kivo {
namespace {

class EntryScan final : public FolderWalk {
public:
    EntryScan(const SetEntry& entry, ItemList& list, const ExpandOptions& options)
        : FolderWalk(entry.includeSubfolders != 0, options.followFolderLinks),
          entry_(entry),
          list_(list),
          listed_(options.listed),
          followLinks_(options.followFolderLinks),
          entryLength_(NormalizedPath(entry.path).size()) {
        folders_ = options.folders;
        entered_ = options.enteredFolders;
        passedLinks_ = options.passedFolderLinks;
    }

protected:
    Visit OnFile(const std::string& path, std::size_t nameOffset, const FindData& data) override {
        const std::string_view name = std::string_view(path).substr(nameOffset);
        if (!AcceptsFileWithPath(entry_, name, path)) return Visit::Skipped;
        // One record reused for every file keeps the walk free of
        // allocations once its strings have grown.
        record_.attributes = data.attributes;
        record_.creationTime = data.creationTime;
        record_.lastAccessTime = data.lastAccessTime;
        record_.lastWriteTime = data.lastWriteTime;
        record_.size = data.size;
        record_.isLink = data.isLink;
        record_.fileEntry = false;
        record_.throughFolderLink = ThroughFolderLink();
        record_.fileId = followLinks_ ? IdOf(data) : FileId{data.nameDevice, data.nameInode};
        const auto folder = CurrentFolder();
        record_.folderId = FileId{folder.first, folder.second};
        record_.path = path;
        record_.relativeStart = RelativeNameStart(path, entryLength_);
        const bool added = list_.Add(record_);
        if (added && listed_ != nullptr) listed_->AddUnsorted(data.device, data.inode);
        if (list_.IsCancelled() != 0) return Visit::EndFolder;
        return added ? Visit::Counted : Visit::Skipped;
    }

    void OnFolder(const FindData& data, bool entered) override {
        if (folders_ != nullptr) folders_->AddUnsorted(data.device, data.inode);
        if (entered && entered_ != nullptr) entered_->AddUnsorted(data.device, data.inode);
    }

    void OnFolderLinkPassed(const std::string& path) override {
        if (passedLinks_ != nullptr) passedLinks_->push_back(path);
    }

private:
    std::vector<std::string>* passedLinks_ = nullptr;
    FileIdentities* folders_ = nullptr;
    FileIdentities* entered_ = nullptr;
    const SetEntry& entry_;
    ItemList& list_;
    FileIdentities* listed_;
    bool followLinks_;
    std::size_t entryLength_;
    ItemRecord record_;
};

}  // namespace

std::uint32_t RelativeNameStart(const std::string& fullPath, std::size_t entryLength) {
    if (entryLength == 0 || fullPath.empty()) return 0;
    std::size_t i = std::min(entryLength, fullPath.size()) - 1;
    // A trailing separator of the entry path is not the one wanted; the
    // root "/" is its own answer.
    if (fullPath[i] == kSeparator && i > 0) --i;
    for (;;) {
        if (fullPath[i] == kSeparator) return static_cast<std::uint32_t>(i + 1);
        if (i == 0) return 0;
        --i;
    }
}

std::uint64_t ScanFolder(const SetEntry& entry, const std::string& folder, ItemList& list,
                         const ExpandOptions& options) {
    EntryScan scan(entry, list, options);
    return scan.Walk(NormalizedPath(folder));
}

namespace {

// Returns the identity of what the entry led to, unknown when it was not
// reached.
FileId ExpandOne(const SetEntry& entry, ItemList& list, const ExpandOptions& options) {
    if (entry.path.empty()) return {};
    // A path that does not start at the root would mean another place for
    // every working folder a run starts from: it means none.
    if (!IsFullPath(entry.path)) {
        list.Notice(FormatText(IDS_NOTICE_NOT_FULL_PATH, entry.path));
        return {};
    }
    if (GetAttributes(entry.path) == kInvalidAttributes) return {};
    FindData data;
    if (!GetFindData(entry.path, data, true)) return {};

    if ((data.attributes & ATTR_DIRECTORY) != 0) {
        ScanFolder(entry, entry.path, list, options);
        return IdOf(data);
    }

    if (options.followFolderLinks && !data.isRegular) return {};

    FindData folder;
    const std::size_t cut = entry.path.rfind(kSeparator);
    const std::string parent = cut == std::string::npos ? std::string(".")
                               : cut == 0              ? std::string("/")
                                                       : entry.path.substr(0, cut);
    if (!GetFindData(parent, folder, true)) return {};

    ItemRecord record;
    record.fileEntry = true;
    record.fileId = options.followFolderLinks ? IdOf(data) : FileId{data.nameDevice, data.nameInode};
    record.folderId = IdOf(folder);
    record.attributes = data.attributes;
    record.creationTime = data.creationTime;
    record.lastAccessTime = data.lastAccessTime;
    record.lastWriteTime = data.lastWriteTime;
    record.size = data.size;
    record.isLink = IsLink(entry.path);
    record.path = entry.path;
    const std::size_t slash = entry.path.rfind(kSeparator);
    record.relativeStart = slash == std::string::npos ? 0 : static_cast<std::uint32_t>(slash + 1);
    if (list.Add(record) && options.listed != nullptr) options.listed->AddUnsorted(data.device, data.inode);
    return record.fileId;
}

}  // namespace

void ExpandEntry(const SetEntry& entry, ItemList& list, const ExpandOptions& options) {
    ExpandOne(entry, list, options);
}

void ExpandSet(const FileSet& set, ItemList& list, const ExpandOptions& options) {
    if (options.entryIds != nullptr) options.entryIds->assign(set.entries.size(), FileId{});
    for (std::size_t i = 0; i < set.entries.size(); ++i) {
        const auto& entry = set.entries[i];
        if (entry) {
            const FileId id = ExpandOne(*entry, list, options);
            if (options.entryIds != nullptr) (*options.entryIds)[i] = id;
        }
        if (list.IsCancelled() != 0) break;
    }
}

}  // namespace kivo
