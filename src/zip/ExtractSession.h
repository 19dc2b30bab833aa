#pragma once
// What one extraction run keeps between its entries: the handles of the
// folders it reached below the target (so a deep name costs one step per
// new level, not a walk from the top), and the work that must wait until
// every file is written: symbolic links, which would otherwise let a later
// entry of the same archive be written through them, and folder modes,
// which could take away the write permission the files inside still need.
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/FileTime.h"
#include "platform/Folder.h"
#include "report/RunSink.h"

namespace kivo::zip {

// The components of an entry's name below the target: empty ones and "."
// dropped. False when a component is ".." (the name could lead outside).
bool SplitEntryName(std::string_view relative, std::vector<std::string>& out);

class ExtractSession {
public:
    explicit ExtractSession(const std::string& targetFolder);
    ExtractSession(const ExtractSession&) = delete;
    ExtractSession& operator=(const ExtractSession&) = delete;

    const std::string& Target() const { return target_; }

    // The folder of `components` below the target, each level opened
    // without following a link; missing levels are made when `create`.
    // The handle stays valid until the next call.
    std::error_code Reach(const std::vector<std::string>& components, std::size_t count, bool create,
                          const FolderHandle*& out);

    // The folder that holds the last of `components` (at least one), as a
    // handle of its own, with its parent's handle through `parent` (the
    // target's when it is at the top): the name in the parent can be
    // checked again just before the entry is named there.
    std::error_code ReachParent(const std::vector<std::string>& components, bool create,
                                const FolderHandle*& parent, FolderHandle& folder);

    struct PendingLink {
        std::vector<std::string> components;  // of the link's own name
        std::string entryName;                // for messages
        std::string target;                   // what the link points to
        FileTime time = 0;
    };
    struct PendingFolder {
        std::vector<std::string> components;
        unsigned mode = 0;  // permission bits, umask applied
    };
    void AddLink(PendingLink link) { links_.push_back(std::move(link)); }
    void AddFolderMode(PendingFolder folder) { folders_.push_back(std::move(folder)); }

    // Makes the pending links, then sets the pending folder modes, the
    // deepest folders first. A link that could lead outside the target is
    // written as a regular file holding its target, with a notice naming
    // it. Returns an extraction code; on failure `failedName` is the
    // entry's name.
    int Finish(RunSink* notices, std::string& failedName);

    // Whether `link`, made where it says, could only reach places inside
    // the target: its target relative, and every step of it below the
    // target neither a link already there nor one of this archive.
    bool LinkStaysInside(const PendingLink& link);

private:
    bool IsPendingLink(const std::vector<std::string>& components) const;
    int MakeLink(const PendingLink& link);
    int WriteLinkAsFile(const PendingLink& link);

    std::string target_;
    bool targetMade_ = false;
    FolderChain chain_;
    std::vector<PendingLink> links_;
    std::vector<PendingFolder> folders_;
};

// Tests only: called with the entry's name after its folder was reached
// and checked and before the entry is named in it, where another process
// could swap a folder.
using ExtractActHook = std::function<void(const std::string& entryName)>;
void SetExtractActHookForTesting(ExtractActHook hook);
void RunExtractActHook(const std::string& entryName);

}  // namespace kivo::zip
