// sets, show, set-add, set-remove, set-rename, expand: the main window's set
// list and the set editor. Every change is made to the stores as they are on
// disk at that moment, under their lock.
#include <optional>

#include <memory>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/PathArgs.h"
#include "cli/TerminalProgress.h"
#include "model/EntryDescription.h"
#include "model/EntryPath.h"
#include "model/SetName.h"
#include "ops/RunEngine.h"
#include "model/StringTable.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "scan/Expand.h"
#include "scan/Format.h"
#include "scan/Patterns.h"

namespace kivo::cli {

namespace {

// A folder entry's options as the Add Folders dialog returns them.
struct FolderOptions {
    std::int32_t includeSubfolders = 1;
    std::int32_t filterMode = 1;
    std::vector<std::string> patterns;
};

FolderOptions ReadFolderOptions(const ParsedArgs& args) {
    FolderOptions options;
    options.includeSubfolders = args.Has("--no-subfolders") ? 0 : 1;
    const std::string filter = OneOf(args, {"--include", "--exclude"});
    if (filter.empty()) return options;
    options.patterns = ParsePatterns(*args.Value(filter));
    // The dialog keeps OK disabled for a filter without a single pattern.
    if (options.patterns.empty()) throw UsageError(filter + " needs at least one pattern");
    options.filterMode = filter == "--include" ? 0 : 1;
    return options;
}

// The path an entry keeps for what was typed: made full against the working
// folder, its ".." steps taken as the kernel takes them.
std::string EntryPathFor(const std::string& typed) {
    const std::string full = FullPathAsTyped(typed);
    if (full.empty()) throw UsageError("no file or folder \"\"");
    const EntryPathResult result = StoredEntryPath(full);
    switch (result.problem) {
        case EntryPathProblem::None:
            return result.stored;
        case EntryPathProblem::WholeFileSystem:
            throw UsageError(LoadText(IDS_WHOLE_FILE_SYSTEM));
        case EntryPathProblem::NotFullPath:
        case EntryPathProblem::Unreachable:
            break;
    }
    throw UsageError("no file or folder " + full);
}

std::unique_ptr<SetEntry> MakeEntry(const std::string& typed, const FolderOptions& options) {
    const std::string path = EntryPathFor(typed);
    auto entry = std::make_unique<SetEntry>();
    entry->path = path;
    switch (ClassifyEntry(path)) {
        case EntryKind::Missing:
            throw UsageError("no file or folder " + (path.empty() ? "\"\"" : path));
        case EntryKind::File:
            break;  // a file entry keeps the defaults, as "Add Files..." gives them
        case EntryKind::Folder:
            entry->includeSubfolders = options.includeSubfolders;
            entry->filterMode = options.filterMode;
            entry->patterns = options.patterns;
            break;
    }
    return entry;
}

}  // namespace

int CommandSets(const Context& context, const Arguments& raw) {
    ParseArgs(raw, {}).RequireOperands(0, 0, "sets");
    const SetList sets = LoadSets(context);
    for (const auto& set : sets.sets) {
        PrintRow({set->name, std::to_string(set->entries.size())});
    }
    return ShownStatus(kExitOk);
}

int CommandShow(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(1, 1, "show");
    SetList sets = LoadSets(context);
    const FileSet& set = RequireSet(sets, args.operands[0]);
    for (const auto& entry : set.entries) PrintRow({entry->path, DescribeEntry(*entry)});
    return ShownStatus(kExitOk);
}

int CommandSetAdd(const Context& context, const Arguments& raw) {
    const ParsedArgs args =
        ParseArgs(raw, {{"--no-subfolders", false}, {"--include", true}, {"--exclude", true}});
    args.RequireOperands(2, SIZE_MAX, "set-add");
    const FolderOptions options = ReadFolderOptions(args);

    // Every path is checked before the stores are touched: a refused path
    // must leave them as they were.
    std::vector<std::unique_ptr<SetEntry>> entries;
    // What the set will name where it is not what was typed: a ".." after
    // a link leads elsewhere than the text suggests.
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < args.operands.size(); ++i) {
        entries.push_back(MakeEntry(args.operands[i], options));
        if (entries.back()->path != NormalizedPath(Trim(args.operands[i]))) {
            notes.push_back(FormatText(IDS_STORED_AS, entries.back()->path));
        }
    }
    const int status = ChangeStores(context, [&](StoreSnapshot& stores) {
        SetList& sets = stores.sets;
        FileSet* set = FindSet(sets, Trim(args.operands[0]));
        if (set == nullptr) {
            auto created = std::make_unique<FileSet>();
            created->name = CheckSetName(args.operands[0], sets, nullptr);
            set = created.get();
            sets.sets.push_back(std::move(created));
        }
        for (auto& entry : entries) set->entries.push_back(std::move(entry));
        stores.setsChanged = true;
    });
    if (status == kExitOk) {
        for (const std::string& note : notes) PrintRow({note});
    }
    return status;
}

int CommandSetRemove(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(1, 1, "set-remove");
    return ChangeStores(context, [&](StoreSnapshot& stores) {
        const FileSet& set = RequireSet(stores.sets, args.operands[0]);
        const std::string removedName = set.name;
        const std::vector<std::string> others = OtherSetNames(stores.sets, &set);
        std::erase_if(stores.sets.sets,
                      [&](const auto& candidate) { return candidate.get() == &set; });
        RemoveSet(stores.operations.operations, removedName, others);
        stores.setsChanged = true;
        stores.operationsChanged = true;
    });
}

int CommandSetRename(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(2, 2, "set-rename");
    return ChangeStores(context, [&](StoreSnapshot& stores) {
        FileSet& set = RequireSet(stores.sets, args.operands[0]);
        const std::string newName = CheckSetName(args.operands[1], stores.sets, &set);
        const std::string oldName = set.name;
        set.name = newName;
        stores.setsChanged = true;
        // A change of letter case only stays with the set: its operations
        // find it all the same.
        stores.operationsChanged = RenameSet(stores.operations.operations, oldName, newName,
                                             OtherSetNames(stores.sets, &set)) != 0;
    });
}

int CommandExpand(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(1, 1, "expand");
    SetList sets = LoadSets(context);
    const FileSet& set = RequireSet(sets, args.operands[0]);

    CancelFlag& cancel = InterruptFlag();
    std::optional<InterruptibleWork> interruptible(std::in_place);
    TerminalProgress progress(context.quiet);
    progress.SetPhase(kScanningText);
    ItemList list(&cancel, &progress);
    ExpandSet(set, list);
    progress.Finish();
    interruptible.reset();
    if (cancel.load() != 0) return InterruptedStatus();

    ItemRecord item;
    for (std::uint64_t i = 0; i < list.Count(); ++i) {
        // The list is a private temporary file; losing a record means the
        // output would silently miss files.
        if (!list.ReadNext(item)) {
            PrintMessage(LoadText(IDS_INTERNAL_ERROR));
            return kExitFailed;
        }
        PrintRow({item.RelativeName(), std::to_string(item.size), item.path});
    }
    PrintLine(FormatWith(LoadText(IDS_FILES_COUNTER),
                         {FormatCount(list.Count()), FormatSize(list.TotalSize())}));
    return ShownStatus(kExitOk);
}

}  // namespace kivo::cli
