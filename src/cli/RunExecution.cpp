#include "cli/RunExecution.h"

#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/TerminalProgress.h"
#include "model/StringTable.h"
#include "ops/CopyIntoItself.h"
#include "ops/DataFolderGuard.h"
#include "platform/Paths.h"

namespace kivo::cli {

namespace {

int ParseWord(const ParsedArgs& args, const std::string& option,
              const std::vector<std::string>& words, int fallback) {
    const auto value = args.Value(option);
    if (!value) return fallback;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (*value == words[i]) return static_cast<int>(i);
    }
    std::string known;
    for (const std::string& word : words) known += (known.empty() ? "" : ", ") + word;
    throw UsageError(option + " takes one of " + known + ", not \"" + *value + "\"");
}

}  // namespace

int ExecuteRun(const Context& context, const RunBody& body) {
    CancelFlag& cancel = InterruptFlag();
    RunResult result;
    {
        const InterruptibleWork interruptible;
        TerminalProgress progress(context.quiet);
        result = body(cancel, progress);
        progress.Finish();
    }
    switch (result.end) {
        case RunEnd::Done:
            return kExitOk;
        case RunEnd::Stopped:
            return InterruptedStatus();
        case RunEnd::Failed:
            break;
    }
    PrintMessage(result.errorText);
    return kExitFailed;
}

int ParseRemoveEmpty(const ParsedArgs& args, int fallback) {
    return ParseWord(args, "--remove-empty", {"yes", "no", "sub"}, fallback);
}

int ParseOverwrite(const ParsedArgs& args, int fallback) {
    return ParseWord(args, "--overwrite", {"always", "never", "if-older"}, fallback);
}

bool PrepareDestination(std::string& folder) {
    if (MakeFolders(folder) == 0) return true;
    PrintMessage(FormatText(IDS_CANNOT_CREATE_FOLDER, folder));
    return false;
}

bool PrepareDestination(const FileSet& set, std::string& folder) {
    if (DestinationInsideSet(set, folder)) {
        PrintMessage(FormatText(IDS_COPY_INTO_ITSELF, folder));
        return false;
    }
    return PrepareDestination(folder);
}

bool RefuseDataFolderRun(const FileSet& set, const std::string& dataFolder) {
    if (!SetHoldsDataFolder(set, dataFolder)) return false;
    PrintMessage(FormatText(IDS_SET_HOLDS_DATA_FOLDER, dataFolder));
    return true;
}

}  // namespace kivo::cli
