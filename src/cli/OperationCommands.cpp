// ops, bind, op-remove, run: the main window's Operation list and the bind
// dialogs.
#include <memory>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Numbers.h"
#include "cli/Output.h"
#include "cli/PathArgs.h"
#include "cli/Password.h"
#include "cli/RunExecution.h"
#include "model/StringTable.h"
#include "model/ZipOutputPath.h"
#include "ops/DeleteWorker.h"
#include "ops/MoveWorker.h"
#include "ops/WipePattern.h"
#include "platform/Paths.h"
#include "zip/ZipWorker.h"

namespace kivo::cli {

namespace {

constexpr std::size_t kMaxZipNameCharacters = 32;  // the name boxes' limit
constexpr const char* kForbiddenNameCharacters = "/\\:*?\"<>|";

std::string KindText(std::int32_t kind) {
    if (kind >= OPERATION_DELETE && kind <= OPERATION_ZIP) return LoadText(IDS_ROW_DELETE + kind);
    return std::to_string(kind);
}

std::string CheckZipName(const std::string& option, const std::string& typed) {
    const std::string name = Trim(typed);
    if (name.empty()) throw UsageError(option + " must not be empty");
    if (CharacterCount(name) > kMaxZipNameCharacters) {
        throw UsageError(option + " has at most 32 characters");
    }
    if (name.find_first_of(kForbiddenNameCharacters) != std::string::npos) {
        throw UsageError(option + " must not hold any of / \\ : * ? \" < > |");
    }
    return name;
}

// The destination of a Copy, Move or Zip bind: trimmed, absolute, created.
std::string BindDestination(const std::string& typed) {
    const std::string folder = AbsolutePath(typed);
    if (folder.empty()) throw UsageError("DEST must not be empty");
    return folder;
}

// Reads the options of one kind into a new record; throws on bad input.
std::unique_ptr<Operation> BuildOperation(const std::string& kindWord, const Arguments& raw,
                                          SetList& sets, std::string& folderToCreate) {
    auto operation = std::make_unique<Operation>();
    ParsedArgs args;
    if (kindWord == "delete") {
        args = ParseArgs(raw, {{"--passes", true}, {"--remove-empty", true}});
        args.RequireOperands(1, 1, "bind delete");
        operation->kind = OPERATION_DELETE;
        // The bind dialog's box takes three digits, but a run erases at most
        // kMaxPasses times: a bigger number saved would be cut silently.
        operation->erasePasses = static_cast<std::uint32_t>(
            WholeNumberOption(args, "--passes", "PASSES", 0, kMaxPasses, 0));
        operation->flags = WithEmptyFolderMode(0, ParseRemoveEmpty(args, 0));
    } else if (kindWord == "copy" || kindWord == "move") {
        const bool move = kindWord == "move";
        std::vector<OptionDef> defs = {{"--overwrite", true}, {"--skip-missing", false}};
        if (move) defs.push_back({"--remove-empty", true});
        args = ParseArgs(raw, defs);
        args.RequireOperands(2, 2, "bind " + kindWord);
        operation->kind = move ? OPERATION_MOVE : OPERATION_COPY;
        // A new bind starts with "Always", unlike the run dialogs.
        operation->overwriteMode = ParseOverwrite(args, OVERWRITE_ALWAYS);
        operation->flags = WithSkipIfMissing(0, args.Has("--skip-missing"));
        if (move) operation->flags = WithEmptyFolderMode(operation->flags, ParseRemoveEmpty(args, 0));
        operation->destination = BindDestination(args.operands[1]);
    } else if (kindWord == "zip") {
        std::vector<OptionDef> defs = {{"--name", true}, {"--prefix", true}, {"--aes", false}};
        for (const OptionDef& def : PasswordOptions()) defs.push_back(def);
        args = ParseArgs(raw, defs);
        args.RequireOperands(2, 2, "bind zip");
        RequirePasswordForAes(args);
        const std::string nameOption = OneOf(args, {"--name", "--prefix"});
        if (nameOption.empty()) throw UsageError("bind zip needs --name NAME or --prefix PREFIX");
        operation->kind = OPERATION_ZIP;
        operation->zipNameByTime = nameOption == "--prefix" ? 1 : 0;
        operation->zipName = CheckZipName(nameOption, *args.Value(nameOption));
        operation->flags = WithZipAes(0, args.Has("--aes"));
        operation->destination = BindDestination(args.operands[1]);
    } else {
        throw UsageError("bind takes delete, copy, move or zip, not \"" + kindWord + "\"");
    }
    const FileSet& set = RequireSet(sets, args.operands[0]);
    // The chooser's selected text: the set's own spelling of its name.
    operation->setName = set.name;
    // Asked for last, so nobody types a password for a bind that is refused.
    if (operation->kind == OPERATION_ZIP) {
        operation->zipPassword = ReadZipPassword(args);
    }
    folderToCreate = operation->destination;
    return operation;
}

// The run dialog of the operation's kind, filled from the record.
RunResult RunSaved(const Operation& operation, const FileSet& set, const std::string& dataFolder,
                   CancelFlag& cancel, RunSink& sink) {
    switch (operation.kind) {
        case OPERATION_DELETE: {
            DeleteOptions options;
            options.passesText = std::to_string(operation.erasePasses);
            options.removeEmptyMode = EmptyFolderModeOf(operation.flags);
            options.dataFolder = dataFolder;
            return DeleteWorker(&set, options, cancel, sink);
        }
        case OPERATION_COPY: {
            CopyOptions options;
            options.destinationFolder = Trim(operation.destination);
            options.overwriteMode = operation.overwriteMode;
            options.skipIfMissing = SkipIfMissing(operation.flags) ? 1 : 0;
            return CopyWorker(&set, options, cancel, sink);
        }
        case OPERATION_MOVE: {
            MoveOptions options;
            options.destinationFolder = Trim(operation.destination);
            options.overwriteMode = operation.overwriteMode;
            options.skipIfMissing = SkipIfMissing(operation.flags) ? 1 : 0;
            options.removeEmptyMode = EmptyFolderModeOf(operation.flags);
            options.dataFolder = dataFolder;
            return MoveWorker(&set, options, cancel, sink);
        }
        default: {
            zip::ZipJob job;
            job.outputPath = SavedZipOutputPath(operation);
            job.password = operation.zipPassword;
            job.aes = ZipAes(operation.flags);
            return zip::ZipWorker(&set, job, cancel, sink);
        }
    }
}

// After a completed run the store is read again under its lock: the
// desktop program (or another kivo-cli) may have changed it while the run
// went on, and the record then belongs where it is now, not where it was.
// The run itself is done by then, whatever happens here.
bool RecordLastRun(const Context& context, std::size_t index, const Operation& ran) {
    const ChangeResult result = kivo::ChangeStores(context.dataFolder, [&](StoreSnapshot& stores) {
        Operations& operations = stores.operations.operations;
        const std::size_t found = FindSavedOperation(operations, ran, index);
        if (found == std::string::npos) {
            PrintError(
                "the operation was changed or removed during the run; its last run is not recorded");
            return false;
        }
        operations[found]->lastRun = CurrentFileTime();
        stores.operationsChanged = true;
        return true;
    });
    ReportDamage(result);
    if (result.end == ChangeEnd::Written || result.end == ChangeEnd::Declined) return true;
    PrintMessage("The run completed; its last run was not recorded: " +
                 ChangeFailure(context, result) + ".");
    return false;
}

}  // namespace

int CommandOps(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(0, 1, "ops");
    const OperationList operations = LoadOperations(context);
    std::size_t first = 0;
    std::size_t end = operations.operations.size();
    if (!args.operands.empty()) {
        first = OperationIndex(args.operands[0], operations);
        end = first + 1;
    }
    for (std::size_t i = first; i < end; ++i) {
        const Operation& operation = *operations.operations[i];
        PrintRow({std::to_string(i + 1), KindText(operation.kind), operation.Label()});
    }
    return ShownStatus(kExitOk);
}

int CommandBind(const Context& context, const Arguments& raw) {
    if (raw.empty()) throw UsageError("bind needs delete, copy, move or zip");
    if (raw[0] == "--help" || raw[0] == "-h") throw HelpRequested{};
    SetList sets = LoadSets(context);
    std::string folder;
    std::unique_ptr<Operation> operation =
        BuildOperation(raw[0], Arguments(raw.begin() + 1, raw.end()), sets, folder);
    bool folderMade = true;
    const int status = ChangeStores(context, [&](StoreSnapshot& stores) {
        // The set may have gone or changed its spelling since it was checked.
        operation->setName = RequireSet(stores.sets, operation->setName).name;
        // Only now, with the lock: a bind that can not be saved makes no
        // folder.
        if (!folder.empty() && !PrepareDestination(folder)) {
            folderMade = false;
            return;
        }
        stores.operations.operations.push_back(std::move(operation));
        stores.operationsChanged = true;
    });
    return folderMade ? status : kExitFailed;
}

int CommandOpRemove(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(1, 1, "op-remove");
    return ChangeStores(context, [&](StoreSnapshot& stores) {
        Operations& operations = stores.operations.operations;
        const std::size_t index = OperationIndex(args.operands[0], stores.operations);
        operations.erase(operations.begin() + static_cast<std::ptrdiff_t>(index));
        stores.operationsChanged = true;
    });
}

int CommandRun(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(1, 1, "run");
    // Read under the lock, which is let go for the run: a run may take
    // hours, and every other writer would wait for it.
    ChangeResult read = ReadStores(context.dataFolder);
    ReportDamage(read);
    if (read.end != ChangeEnd::Declined) {
        PrintError(ChangeFailure(context, read) + "; nothing was run" +
                   (read.end == ChangeEnd::LockTimedOut ? ", try again later" : ""));
        return kExitFailed;
    }
    const OperationList& operations = read.stores.operations;
    const std::size_t index = OperationIndex(args.operands[0], operations);
    const Operation& operation = *operations.operations[index];
    if (operation.kind < OPERATION_DELETE || operation.kind > OPERATION_ZIP) {
        throw UsageError("operation " + args.operands[0] + " has an unknown kind " +
                         std::to_string(operation.kind));
    }
    const FileSet* set = FindSet(read.stores.sets, operation.setName);
    // The desktop program would open an empty dialog and wait; a script
    // must hear that nothing ran.
    if (set == nullptr) {
        throw UsageError("operation " + args.operands[0] + " is bound to \"" + operation.setName +
                         "\", and no set has that name");
    }
    if (operation.kind != OPERATION_DELETE && Trim(operation.destination).empty()) {
        throw UsageError("operation " + args.operands[0] + " has no destination folder");
    }
    if ((operation.kind == OPERATION_DELETE || operation.kind == OPERATION_MOVE) &&
        RefuseDataFolderRun(*set, context.dataFolder))
        return kExitFailed;
    if (operation.kind == OPERATION_COPY || operation.kind == OPERATION_MOVE) {
        std::string folder = Trim(operation.destination);
        if (!PrepareDestination(*set, folder)) return kExitFailed;
    }
    const int status = ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        return RunSaved(operation, *set, context.dataFolder, cancel, sink);
    });
    if (status != kExitOk) return status;
    BeforeRecording();
    return RecordLastRun(context, index, operation) ? kExitOk : kExitFailed;
}

}  // namespace kivo::cli
