#include "ops/CopyWorker.h"

#include "model/StringTable.h"
#include "ops/FileTransfer.h"
#include "ops/RunEngine.h"

namespace kivo {
namespace {

class CopyWork : public ItemWork {
public:
    explicit CopyWork(const CopyOptions& options) : options_(options) {}

    bool NeedsBuffer() const override { return true; }
    bool FollowFolderLinks() const override { return true; }
    int PhaseTextId() const override { return IDS_PHASE_COPYING; }
    std::uint64_t Total(const ItemList& list) const override { return list.TotalSize(); }

    ItemOutcome BeforeScan(const FileSet& set) override {
        return RefuseCopyIntoItself(set, options_);
    }
    FileIdentities* ListedFiles() override { return &state_.files.listed(); }

    ItemOutcome Process(const ItemRecord& item, RunContext& context) override {
        bool copied = false;
        return CopyItem(options_, item, context, state_, copied);
    }

private:
    TransferState state_{/*followLinks=*/true};
    const CopyOptions& options_;
};

}  // namespace

RunResult CopyWorker(const FileSet* set, const CopyOptions& options, CancelFlag& cancel,
                     RunSink& sink) {
    CopyWork work(options);
    return RunItems(work, set, cancel, sink);
}

}  // namespace kivo
