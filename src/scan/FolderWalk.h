#pragma once
// The depth-first folder walk shared by set expansion and the file-type
// survey: names in the order the OS delivers them, each sub-folder walked
// completely where it is met, folders whose names begin with '.' never
// entered.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace kivo {

class FolderWalk {
public:
    FolderWalk(bool includeSubfolders, bool followFolderLinks)
        : includeSubfolders_(includeSubfolders), followFolderLinks_(followFolderLinks) {}
    virtual ~FolderWalk() = default;
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // Walks `folder` (normalised); returns how many files were counted.
    std::uint64_t Walk(const std::string& folder);

    // Ends the whole walk after the current file.
    void Stop() { stopped_ = true; }

protected:
    enum class Visit { Skipped, Counted, EndFolder };
    // `path` is the file's full path; its name begins at `nameOffset`.
    // EndFolder stops the search of the folder that holds the file; the
    // folders above it go on.
    virtual Visit OnFile(const std::string& path, std::size_t nameOffset, const FindData& data) = 0;

    // Every folder the walk meets, the start included, and whether it
    // lists what the folder holds.
    virtual void OnFolder(const FindData& /*data*/, bool /*entered*/) {}

    // A link to a folder that the walk would have entered were it a folder
    // and not a link; `path` is the link's full path.
    virtual void OnFolderLinkPassed(const std::string& /*path*/) {}

    // During OnFile: device and inode of the folder that holds the file,
    // and whether a folder link was entered below the start to reach it.
    std::pair<std::uint64_t, std::uint64_t> CurrentFolder() const {
        return walkPath_.empty() ? std::pair<std::uint64_t, std::uint64_t>{0, 0} : walkPath_.back();
    }
    bool ThroughFolderLink() const { return linksEntered_ != 0; }

private:
    std::uint64_t WalkCurrent();
    bool OnWalkPath(const FindData& data) const;

    bool includeSubfolders_;
    bool followFolderLinks_;
    bool stopped_ = false;
    std::string path_;  // the folder being walked, then each name in it
    // Device and inode of every folder from the start down to the current
    // one: a link back to any of them would loop forever.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> walkPath_;
    unsigned linksEntered_ = 0;  // folder links on the way from the start
};

}  // namespace kivo
