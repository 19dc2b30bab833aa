#pragma once
// The per-file copy that Copy and Move share: the source reached through
// the folder the scan saw, the data written into a private temporary file
// in the destination folder, its times and mode set, and only then a name
// given to it.
#include <string>
#include <vector>

#include "ops/CopyWorker.h"
#include "ops/ProtectedFiles.h"
#include "ops/RunEngine.h"
#include "platform/Folder.h"

namespace kivo {

// What one Copy or Move run keeps from file to file.
struct TransferState {
    explicit TransferState(bool followLinksIn) : followLinks(followLinksIn) {}
    // Copy follows links where the scan did; Move follows none below its
    // set entries (a link is moved as a link).
    bool followLinks;
    FolderChain sources;
    FolderChain destinations;
    FileId destinationRoot;  // what the destination folder was when first reached
    ProtectedFiles files;
    // Move only: one handle per file system written to, to make what was
    // written durable before sources go.
    bool keepSyncTargets = false;
    std::vector<FolderHandle> syncTargets;
};

// Copy's unit of work, shared with Move: the record goes to its place under
// the destination folder unless the overwrite policy skips it, or the file
// there is one of the run's own (then the sink hears of it: the source
// itself, another name of it, or a file this run wrote). A skipped record's
// size counts as done and `copied` is false. Every file written is added to
// the state's protected files. On any end the destination name is as it was
// before.
ItemOutcome CopyItem(const CopyOptions& options, const ItemRecord& item, RunContext& context,
                     TransferState& state, bool& copied);

// The refusal of a Copy or Move whose destination lies in a tree the set
// scans, or nullopt.
ItemOutcome RefuseCopyIntoItself(const FileSet& set, const CopyOptions& options);

// The destination of a record: the destination folder plus the record's
// relative name, in canonical form.
std::string DestinationPathOf(const std::string& destinationFolder, const ItemRecord& item);

}  // namespace kivo
