// delete, copy, move, zip: the run dialogs filled from the command line,
// with their defaults, started at once.
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Numbers.h"
#include "cli/PathArgs.h"
#include "cli/Password.h"
#include "cli/RunExecution.h"
#include "ops/DeleteWorker.h"
#include "ops/MoveWorker.h"
#include "ops/WipePattern.h"
#include "zip/ZipWorker.h"

namespace kivo::cli {

namespace {

std::string RequireFolderOperand(const std::string& typed, const char* what) {
    std::string folder = AbsolutePath(typed);
    if (folder.empty()) throw UsageError(std::string(what) + " must not be empty");
    return folder;
}

}  // namespace

int CommandDelete(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {{"--passes", true}, {"--remove-empty", true}});
    args.RequireOperands(1, 1, "delete");
    DeleteOptions options;
    options.passesText =
        std::to_string(WholeNumberOption(args, "--passes", "PASSES", 0, kMaxPasses, 0));
    options.removeEmptyMode = ParseRemoveEmpty(args, 0);
    options.dataFolder = context.dataFolder;
    SetList sets = LoadSets(context);
    const FileSet& set = RequireSet(sets, args.operands[0]);
    return ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        return DeleteWorker(&set, options, cancel, sink);
    });
}

int CommandCopy(const Context& context, const Arguments& raw) {
    const ParsedArgs args =
        ParseArgs(raw, {{"--overwrite", true}, {"--skip-missing", false}});
    args.RequireOperands(2, 2, "copy");
    CopyOptions options;
    options.overwriteMode = ParseOverwrite(args, 2);
    options.skipIfMissing = args.Has("--skip-missing") ? 1 : 0;
    options.destinationFolder = RequireFolderOperand(args.operands[1], "DEST");
    SetList sets = LoadSets(context);
    const FileSet& set = RequireSet(sets, args.operands[0]);
    if (!PrepareDestination(set, options.destinationFolder)) return kExitFailed;
    return ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        return CopyWorker(&set, options, cancel, sink);
    });
}

int CommandMove(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(
        raw, {{"--overwrite", true}, {"--skip-missing", false}, {"--remove-empty", true}});
    args.RequireOperands(2, 2, "move");
    MoveOptions options;
    options.overwriteMode = ParseOverwrite(args, 2);
    options.skipIfMissing = args.Has("--skip-missing") ? 1 : 0;
    options.removeEmptyMode = ParseRemoveEmpty(args, 0);
    options.destinationFolder = RequireFolderOperand(args.operands[1], "DEST");
    options.dataFolder = context.dataFolder;
    SetList sets = LoadSets(context);
    const FileSet& set = RequireSet(sets, args.operands[0]);
    if (RefuseDataFolderRun(set, options.dataFolder)) return kExitFailed;
    if (!PrepareDestination(set, options.destinationFolder)) return kExitFailed;
    return ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        return MoveWorker(&set, options, cancel, sink);
    });
}

int CommandZip(const Context& context, const Arguments& raw) {
    zip::ZipJob job;
    std::vector<OptionDef> defs = PasswordOptions();
    defs.push_back({"--aes", false});
    const ParsedArgs args = ParseArgs(raw, defs);
    args.RequireOperands(2, 2, "zip");
    RequirePasswordForAes(args);
    job.aes = args.Has("--aes");
    job.outputPath = AbsolutePath(args.operands[1]);
    if (job.outputPath.empty()) throw UsageError("ARCHIVE must not be empty");
    SetList sets = LoadSets(context);
    const FileSet& set = RequireSet(sets, args.operands[0]);
    job.password = ReadZipPassword(args);
    return ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        return zip::ZipWorker(&set, job, cancel, sink);
    });
}

}  // namespace kivo::cli
