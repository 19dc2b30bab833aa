#include "scan/FolderWalk.h"

#include <algorithm>

#include "platform/Attributes.h"
#include "scan/ItemList.h"

namespace kivo {

std::uint64_t FolderWalk::Walk(const std::string& folder) {
    path_ = folder;
    stopped_ = false;
    walkPath_.clear();
    linksEntered_ = 0;
    FindData self;
    if (GetFindData(folder, self, true)) {
        walkPath_.emplace_back(self.device, self.inode);
        OnFolder(self, true);
    }
    return WalkCurrent();
}

bool FolderWalk::OnWalkPath(const FindData& data) const {
    return std::find(walkPath_.begin(), walkPath_.end(), std::make_pair(data.device, data.inode)) !=
           walkPath_.end();
}

std::uint64_t FolderWalk::WalkCurrent() {
    FolderEnumerator search;
    if (!search.Open(path_)) return 0;
    const std::size_t folderLength = path_.size();
    const bool addSeparator = folderLength == 0 || path_.back() != kSeparator;
    std::uint64_t count = 0;
    FindData data;
    while (!stopped_ && search.Next(data)) {
        path_.resize(folderLength);
        if (addSeparator) path_ += kSeparator;
        const std::size_t nameOffset = path_.size();
        path_ += data.name;
        // Such a path cannot be listed whole, and a cut one would name
        // another file.
        if (path_.size() > kMaxItemPath || data.name.empty()) continue;

        if ((data.attributes & ATTR_DIRECTORY) != 0) {
            const bool enter = includeSubfolders_ && data.name[0] != '.' &&
                               (!data.isLink || followFolderLinks_) && !OnWalkPath(data);
            if (data.name != "." && data.name != ".." && !data.isLink) OnFolder(data, enter);
            if (data.isLink && !followFolderLinks_ && includeSubfolders_ && data.name[0] != '.')
                OnFolderLinkPassed(path_);
            if (!enter) continue;
            walkPath_.emplace_back(data.device, data.inode);
            if (data.isLink) ++linksEntered_;
            count += WalkCurrent();
            if (data.isLink) --linksEntered_;
            walkPath_.pop_back();
            continue;
        }

        // Pipes, sockets, devices and dangling links hold no contents to copy
        // or pack, and opening a pipe would wait for a writer. Delete and Move
        // (which follow no links) still list them, to remove them.
        if (followFolderLinks_ && !data.isRegular) continue;

        const Visit visit = OnFile(path_, nameOffset, data);
        if (visit == Visit::Counted) {
            ++count;
        } else if (visit == Visit::EndFolder) {
            break;
        }
    }
    path_.resize(folderLength);
    return count;
}

}  // namespace kivo
