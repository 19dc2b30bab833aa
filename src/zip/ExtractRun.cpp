#include "zip/ExtractRun.h"

#include "model/StringTable.h"
#include "platform/Paths.h"
#include "scan/Format.h"
#include "zip/ExtractEntry.h"
#include "zip/ExtractSession.h"
#include "zip/ExtractTarget.h"
#include "zip/ZipRunProgress.h"

namespace kivo::zip {

bool PrepareTargetFolder(std::string& targetFolder, std::string& message) {
    targetFolder = Trim(targetFolder);
    if (MakeFolders(targetFolder) == 0) return true;
    message = FormatText(IDS_CANNOT_CREATE_FOLDER, targetFolder);
    return false;
}

RunResult RunExtraction(ExtractTask& task, RunSink& sink, const CancelFlag& cancel,
                        FolderOpener* opener) {
    ZipRunProgress progress(cancel, sink);
    std::uint64_t total = 0;
    for (const ZipEntry* entry : task.pending) total += entry->uncompressedSize;
    progress.SetTotal(total);
    sink.ShowLabels();
    sink.SetCounter(FormatText(IDS_FILES_COUNTER, FormatCount(task.pending.size()),
                               FormatSize(total)));

    RunResult result;
    int code = kExtractOk;
    ExtractSession session(task.targetFolder);
    while (!task.pending.empty()) {
        const ZipEntry& entry = *task.pending.front();
        sink.SetPhase(NameAfterPrefix(entry.name, task.prefix));
        code = ExtractEntry(entry, task.directory->ArchiveFile(), task.targetFolder, task.prefix,
                            &task.password, progress, task.skipExisting, &session);
        if (code != kExtractOk) break;
        task.pending.pop_front();
        if (cancel.load(std::memory_order_relaxed)) break;
    }
    // The links and folder modes of the entries done, whatever the end:
    // those entries are no longer pending, so a retry would not make them.
    std::string linkName;
    const int finished = session.Finish(&sink, linkName);
    if (code == kExtractOk && finished != kExtractOk) {
        result.end = RunEnd::Failed;
        result.errorText = FormatText(IDS_EXTRACT_FAILED, linkName, ExtractReasonText(finished));
        return result;
    }
    if (code == kExtractOk) {
        if (task.openFolderWhenDone && opener) opener->Open(task.targetFolder);
        return result;
    }
    if (cancel.load(std::memory_order_relaxed)) {
        result.end = RunEnd::Stopped;
        return result;
    }
    result.end = RunEnd::Failed;
    result.errorText =
        FormatText(IDS_EXTRACT_FAILED, task.pending.front()->name, ExtractReasonText(code));
    return result;
}

}  // namespace kivo::zip
