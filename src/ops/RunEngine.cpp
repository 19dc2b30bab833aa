#include "ops/RunEngine.h"

#include "model/StringTable.h"
#include "ops/TransferBuffer.h"
#include "scan/Expand.h"

namespace kivo {

RunResult FailedWith(int textId, const std::string& path) {
    return RunResult{RunEnd::Failed, FormatText(textId, path)};
}

RunResult FailedWith(int textId) { return RunResult{RunEnd::Failed, LoadText(textId)}; }

RunResult StoppedRun() { return RunResult{RunEnd::Stopped, std::string()}; }

RunResult RunItems(ItemWork& work, const FileSet* set, CancelFlag& cancel, RunSink& sink) {
    sink.ShowLabels();
    sink.SetPhase(kScanningText);

    TransferBuffer buffer;
    if (work.NeedsBuffer()) {
        buffer = AllocateTransferBuffer();
        if (!buffer) return FailedWith(IDS_OUT_OF_MEMORY);
    }
    if (set == nullptr) return RunResult{};
    if (ItemOutcome end = work.BeforeScan(*set)) return *end;

    ItemList list(&cancel, &sink);
    ExpandOptions options;
    options.followFolderLinks = work.FollowFolderLinks();
    options.listed = work.ListedFiles();
    ExpandSet(*set, list, options);
    if (options.listed != nullptr) options.listed->Sort();
    // Nothing on disk has been touched yet, so a cancel here costs nothing.
    if (cancel.load() != 0) return StoppedRun();
    // A list that lost files would end the run as done with files never
    // processed: a failure reported as success.
    if (!list.Complete()) return FailedWith(IDS_INTERNAL_ERROR);

    sink.SetPhase(LoadText(work.PhaseTextId()));
    RunProgress progress(sink);
    progress.Start(work.Total(list));
    RunContext context{buffer.get(), progress, cancel, sink};

    const std::uint64_t count = list.Count();
    ItemRecord item;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!list.ReadNext(item)) return FailedWith(IDS_INTERNAL_ERROR);
        if (ItemOutcome end = work.Process(item, context)) return *end;
    }
    work.Finish(*set);
    return RunResult{};
}

}  // namespace kivo
