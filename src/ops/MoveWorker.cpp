#include "ops/MoveWorker.h"

#include "model/StringTable.h"
#include "ops/FileTransfer.h"
#include "ops/RemoveEmptyFolders.h"
#include "ops/RunEngine.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"

namespace kivo {
namespace {

class MoveWork : public ItemWork {
public:
    explicit MoveWork(const MoveOptions& options) : options_(options) {}

    bool NeedsBuffer() const override { return true; }
    bool FollowFolderLinks() const override { return false; }
    int PhaseTextId() const override { return IDS_PHASE_MOVING; }
    std::uint64_t Total(const ItemList& list) const override { return list.TotalSize(); }

    ItemOutcome BeforeScan(const FileSet& set) override {
        return RefuseCopyIntoItself(set, options_);
    }
    FileIdentities* ListedFiles() override { return &files_.listed(); }

    ItemOutcome Process(const ItemRecord& item, RunContext& context) override {
        bool copied = false;
        if (ItemOutcome end = CopyItem(options_, item, context, files_, copied)) return end;
        if (!copied) return std::nullopt;

        // Both files are closed now. A link's attributes would be its
        // target's, so only a real file has them reset before it goes.
        FindData source;
        const bool isLink = GetFindData(item.path, source, /*followLinks=*/false) && source.isLink;
        if (!isLink) SetAttributes(item.path, ATTR_NORMAL);
        RemoveFile(item.path);
        if (GetFindData(item.path, source, /*followLinks=*/false))
            return FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        return std::nullopt;
    }

    void Finish(const FileSet& set) override { RemoveEmptySetFolders(set, options_.removeEmptyMode); }

private:
    ProtectedFiles files_;
    const MoveOptions& options_;
};

}  // namespace

RunResult MoveWorker(const FileSet* set, const MoveOptions& options, CancelFlag& cancel,
                     RunSink& sink) {
    MoveWork work(options);
    return RunItems(work, set, cancel, sink);
}

}  // namespace kivo
