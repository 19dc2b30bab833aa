#include "ops/MoveWorker.h"

#include <sys/stat.h>

#include <vector>

#include "model/StringTable.h"
#include "ops/DataFolderGuard.h"
#include "ops/FileTransfer.h"
#include "ops/ItemFolders.h"
#include "ops/RemoveEmptyFolders.h"
#include "ops/RunEngine.h"
#include "platform/FileSystem.h"

namespace kivo {
namespace {

// Sources wait, their copies complete, until this much data or this many
// files were copied; then the destination goes to the disk and the batch of
// sources is removed.
constexpr std::uint64_t kBatchBytes = 64ULL * 1024 * 1024;
constexpr std::size_t kBatchFiles = 1000;

class MoveWork : public ItemWork {
public:
    explicit MoveWork(const MoveOptions& options) : options_(options) { state_.keepSyncTargets = true; }

    bool NeedsBuffer() const override { return true; }
    bool FollowFolderLinks() const override { return false; }
    int PhaseTextId() const override { return IDS_PHASE_MOVING; }
    std::uint64_t Total(const ItemList& list) const override { return list.TotalSize(); }

    ItemOutcome BeforeScan(const FileSet& set) override {
        if (ItemOutcome end = RefuseCopyIntoItself(set, options_)) return end;
        return RefuseDataFolder(set, options_.dataFolder);
    }
    FileIdentities* ListedFiles() override { return &state_.files.listed(); }
    ScannedFolders* Folders() override { return &folders_; }

    ItemOutcome Process(const ItemRecord& item, RunContext& context) override {
        bool copied = false;
        if (ItemOutcome end = CopyItem(options_, item, context, state_, copied)) return end;
        if (!copied) return std::nullopt;
        // A renamed file may reach the disk before its data does: the
        // source goes only once its copy is durable, a batch at a time.
        pending_.push_back(item);
        pendingBytes_ += item.size;
        if (pending_.size() >= kBatchFiles || pendingBytes_ >= kBatchBytes) return RemovePending();
        return std::nullopt;
    }

    ItemOutcome Finish(const FileSet& set, const std::vector<FileId>& entryIds) override {
        if (ItemOutcome end = RemovePending()) return end;
        removals_.Reset();
        state_.sources.Reset();
        RemoveEmptySetFolders(set, options_.removeEmptyMode, entryIds, &folders_);
        return std::nullopt;
    }

    // A stop or a failure still finishes the batch: every file before the
    // current one has been moved, and the current one is in its source.
    RunResult Ended(RunResult result) override {
        if (pending_.empty()) return result;
        if (ItemOutcome end = RemovePending(); end && result.end != RunEnd::Failed) return *end;
        return result;
    }

private:
    ItemOutcome RemovePending() {
        if (pending_.empty()) return std::nullopt;
        for (const FolderHandle& target : state_.syncTargets) {
            if (target.SyncFileSystem()) {
                // Not known to be on the disk: both copies stay.
                pending_.clear();
                pendingBytes_ = 0;
                return FailedWith(IDS_ERROR_WRITING_FILE, options_.destinationFolder);
            }
        }
        std::vector<ItemRecord> batch;
        batch.swap(pending_);
        pendingBytes_ = 0;
        for (const ItemRecord& item : batch)
            if (!RemoveSource(item)) return FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        return std::nullopt;
    }

    // Through the folder the scan saw, and only the file it saw there.
    bool RemoveSource(const ItemRecord& item) {
        const FolderHandle* folder = nullptr;
        std::string name;
        if (const std::error_code error = ReachItemFolder(removals_, item, false, folder, name))
            return error.value() == ENOENT;
        FindData now;
        if (const std::error_code error = folder->Stat(name, now)) return error.value() == ENOENT;
        // A link's mode is its target's, so only a real file has its
        // attributes reset (so that a read-only source can go).
        if (!now.isLink) folder->SetMode(name, now.mode | S_IWUSR, item.fileId);
        const std::error_code removed = folder->Remove(name, item.fileId);
        return !removed || removed.value() == ENOENT;
    }

    TransferState state_{/*followLinks=*/false};
    FolderChain removals_;
    ScannedFolders folders_;
    std::vector<ItemRecord> pending_;
    std::uint64_t pendingBytes_ = 0;
    const MoveOptions& options_;
};

}  // namespace

RunResult MoveWorker(const FileSet* set, const MoveOptions& options, CancelFlag& cancel,
                     RunSink& sink) {
    MoveWork work(options);
    return RunItems(work, set, cancel, sink);
}

}  // namespace kivo
