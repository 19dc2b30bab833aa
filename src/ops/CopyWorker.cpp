#include "ops/CopyWorker.h"

#include "model/StringTable.h"
#include "ops/CopyHelpers.h"
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

    ItemOutcome Process(const ItemRecord& item, RunContext& context) override {
        const std::string destination = DestinationPathOf(options_.destinationFolder, item);
        if (context.Cancelled()) return StoppedRun();
        if (ShouldSkipCopy(item.path, destination, options_.overwriteMode,
                           options_.skipIfMissing) != 0) {
            context.progress.Add(item.size);
            return std::nullopt;
        }
        return TransferFile(item.path, destination, context);
    }

private:
    const CopyOptions& options_;
};

}  // namespace

RunResult CopyWorker(const FileSet* set, const CopyOptions& options, CancelFlag& cancel,
                     RunSink& sink) {
    CopyWork work(options);
    return RunItems(work, set, cancel, sink);
}

}  // namespace kivo
