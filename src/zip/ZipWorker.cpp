#include "zip/ZipWorker.h"

#include "model/StringTable.h"
#include "ops/RunEngine.h"
#include "platform/Paths.h"
#include "scan/Expand.h"
#include "zip/ZipArchiveWriter.h"
#include "zip/ZipRunProgress.h"

namespace kivo::zip {

RunResult ZipWorker(const FileSet* set, const ZipJob& job, CancelFlag& cancel, RunSink& sink) {
    sink.ShowLabels();
    sink.SetPhase(kScanningText);
    if (set == nullptr) return RunResult{};

    ItemList list(&cancel, &sink);
    ExpandOptions options;
    options.followFolderLinks = true;
    ExpandSet(*set, list, options);
    if (cancel.load() != 0) return StoppedRun();
    // An archive missing files the list lost must not pass as a backup.
    if (!list.Complete()) return FailedWith(IDS_ERROR_MAKING_ZIP, job.outputPath);

    sink.SetPhase(LoadText(IDS_PHASE_COMPRESSING));
    const std::string password = Trim(job.password);
    ZipRunProgress progress(cancel, sink);
    ZipArchiveWriter writer;
    const int built = writer.Build(list, password.empty() ? nullptr : password.data(),
                                   password.size(), job.outputPath, &progress, job.aes);
    if (built != 0) return RunResult{};
    if (cancel.load() != 0) return StoppedRun();
    return FailedWith(IDS_ERROR_MAKING_ZIP, job.outputPath);
}

}  // namespace kivo::zip
