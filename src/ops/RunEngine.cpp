#include "ops/RunEngine.h"

#include <set>

#include "model/EntryPath.h"
#include "model/StringTable.h"
#include "ops/TransferBuffer.h"
#include "platform/FileSystem.h"
#include "scan/Expand.h"

namespace kivo {
namespace {

RunHooksForTesting& Hooks() {
    static RunHooksForTesting hooks;
    return hooks;
}

}  // namespace

void SetRunHooksForTesting(RunHooksForTesting hooks) { Hooks() = std::move(hooks); }

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
    ScannedFolders* folders = work.Folders();
    if (folders != nullptr) {
        options.folders = &folders->met;
        options.enteredFolders = &folders->entered;
    }
    std::vector<FileId> entryIds;
    options.entryIds = &entryIds;
    std::vector<std::string> passedLinks;
    if (!options.followFolderLinks) options.passedFolderLinks = &passedLinks;
    ExpandSet(*set, list, options);
    if (options.listed != nullptr) options.listed->Sort();
    if (folders != nullptr) {
        folders->met.Sort();
        folders->entered.Sort();
    }
    // Nothing on disk has been touched yet, so a cancel here costs nothing.
    if (cancel.load() != 0) return StoppedRun();
    // A list that lost files would end the run as done with files never
    // processed: a failure reported as success.
    if (!list.Complete()) return FailedWith(IDS_INTERNAL_ERROR);
    // An entry that led nowhere is passed over, but not in silence: a run
    // of a set whose folder is gone must not look like a run that did it.
    for (std::size_t i = 0; i < set->entries.size() && i < entryIds.size(); ++i) {
        const auto& entry = set->entries[i];
        FindData found;
        if (entry && IsFullPath(entry->path) && !entryIds[i].Known() && !GetFindData(entry->path, found))
            sink.Notice(FormatText(IDS_NOTICE_NOT_FOUND, entry->path));
    }
    // What lies below a folder link is left alone by a run that follows no
    // links; it is said, once for each link however often the set reaches
    // it, so a run that left files behind does not look complete.
    std::set<std::string> told;
    for (const std::string& link : passedLinks)
        if (told.insert(link).second) sink.Notice(FormatText(IDS_NOTICE_LINK_NOT_FOLLOWED, link));

    sink.SetPhase(LoadText(work.PhaseTextId()));
    RunProgress progress(sink);
    progress.Start(work.Total(list));
    RunContext context{buffer.get(), progress, cancel, sink};

    if (Hooks().afterScan) Hooks().afterScan();
    const std::uint64_t count = list.Count();
    ItemRecord item;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!list.ReadNext(item)) return work.Ended(FailedWith(IDS_INTERNAL_ERROR));
        if (ItemOutcome end = work.Process(item, context)) return work.Ended(*end);
    }
    if (Hooks().beforeFinish) Hooks().beforeFinish();
    if (ItemOutcome end = work.Finish(*set, entryIds)) return work.Ended(*end);
    return work.Ended(RunResult{});
}

}  // namespace kivo
