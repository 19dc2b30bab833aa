// list and unzip: the zip viewer's list and its "Extract Zip File" dialog.
#include <cstdio>
#include <unordered_set>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/PathArgs.h"
#include "cli/Password.h"
#include "cli/RunExecution.h"
#include "model/StringTable.h"
#include "platform/Paths.h"
#include "zip/ExtractEntry.h"
#include "zip/ExtractRun.h"
#include "zip/ZipRunProgress.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::cli {

namespace {

using zip::ZipDirectory;
using zip::ZipEntry;

// Names the method the desktop program only calls unknown, so a user knows
// which tool to reach for.
void ReportUnsupportedMethod(const ZipEntry& entry) {
    if (entry.isFolder || zip::IsMethodSupported(entry.dataMethod) ||
        entry.encryption == zip::EntryEncryption::Strong)
        return;
    const char* name = zip::MethodName(entry.dataMethod);
    std::string text = "Unsupported compression method " + std::to_string(entry.dataMethod);
    if (name != nullptr) text += std::string(" (") + name + ")";
    PrintMessage(text + ": " + entry.name);
}

bool LoadArchive(ZipDirectory& directory, const std::string& typed) {
    const std::string path = AbsolutePath(typed);
    if (!path.empty() && directory.Load(path) != 0) return true;
    PrintMessage(LoadText(IDS_CANNOT_OPEN_ZIP));
    return false;
}

std::string TimeText(FileTime time) {
    TimeParts parts;
    if (time == 0 || !FileTimeToLocalParts(time, parts)) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second);
    return text;
}

std::string CrcText(std::uint32_t crc) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

// A folder path inside the archive as typed: no leading or trailing slash.
std::string ArchiveFolder(const std::string& typed) {
    const std::size_t begin = typed.find_first_not_of('/');
    if (begin == std::string::npos) return std::string();
    const std::size_t end = typed.find_last_not_of('/');
    return typed.substr(begin, end - begin + 1);
}

const ZipEntry* FindEntry(const ZipDirectory& directory, const std::string& name) {
    for (const auto& entry : directory.Entries()) {
        if (entry->name == name) return entry.get();
    }
    return nullptr;
}

// One ENTRY operand: a file adds itself, a folder everything below it (as
// "Extract Seleted..." does with a folder of the list). Names are tried as
// given and, with --folder, below that folder.
void AddNamed(const ZipDirectory& directory, const std::string& folder, const std::string& typed,
              std::vector<const ZipEntry*>& out) {
    std::vector<std::string> candidates = {typed, typed + "/"};
    if (!folder.empty()) {
        candidates.push_back(folder + "/" + typed);
        candidates.push_back(folder + "/" + typed + "/");
    }
    const ZipEntry* entry = nullptr;
    for (const std::string& candidate : candidates) {
        if (entry == nullptr) entry = FindEntry(directory, candidate);
    }
    if (entry == nullptr) throw UsageError("no entry \"" + typed + "\" in the archive");
    if (!folder.empty() && entry->IsChildOf(folder, true) == 0) {
        throw UsageError("entry \"" + entry->name + "\" is not below --folder " + folder);
    }
    if (!entry->isFolder) {
        out.push_back(entry);
        return;
    }
    for (const ZipEntry* child : directory.CollectEntries(entry->name, true)) out.push_back(child);
}

}  // namespace

int CommandList(const Context&, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {});
    args.RequireOperands(1, 1, "list");
    ZipDirectory directory;
    if (!LoadArchive(directory, args.operands[0])) return kExitFailed;
    for (const auto& entry : directory.Entries()) {
        const char* encrypted = zip::EncryptionName(entry->encryption);
        if (entry->isFolder) {
            PrintRow({entry->name, "", "", "", encrypted});
        } else {
            std::string name = entry->name;
            std::string target;
            if (entry->IsLink() &&
                zip::ReadLinkTarget(*entry, directory.ArchiveFile(), target)) {
                name += " -> " + target;
            }
            PrintRow({name, std::to_string(entry->uncompressedSize), TimeText(entry->time),
                      CrcText(entry->crc), encrypted});
        }
    }
    return kExitOk;
}

int CommandUnzip(const Context& context, const Arguments& raw) {
    std::vector<OptionDef> defs = {{"--folder", true}, {"--skip-existing", false}};
    for (const OptionDef& def : PasswordOptions()) defs.push_back(def);
    const ParsedArgs args = ParseArgs(raw, defs);
    args.RequireOperands(2, SIZE_MAX, "unzip");
    std::string target = AbsolutePath(args.operands[1]);
    if (target.empty()) throw UsageError("TARGET must not be empty");

    ZipDirectory directory;
    if (!LoadArchive(directory, args.operands[0])) return kExitFailed;

    const bool folderGiven = args.Has("--folder");
    const std::string folder = ArchiveFolder(args.Value("--folder").value_or(std::string()));
    if (folderGiven && folder.empty()) throw UsageError("--folder needs a folder of the archive");

    std::vector<const ZipEntry*> chosen;
    if (args.operands.size() > 2) {
        for (std::size_t i = 2; i < args.operands.size(); ++i) {
            AddNamed(directory, folder, args.operands[i], chosen);
        }
    } else if (folderGiven) {
        for (const ZipEntry* entry : directory.CollectEntries(folder, true)) chosen.push_back(entry);
        if (chosen.empty()) throw UsageError("nothing below \"" + folder + "\" in the archive");
    } else {
        for (const auto& entry : directory.Entries()) chosen.push_back(entry.get());
    }

    zip::ExtractTask task;
    task.directory = &directory;
    task.prefix = folder;
    task.skipExisting = args.Has("--skip-existing");
    // Trimmed as the extract dialog trims what was typed into its box.
    task.password = Trim(ReadPassword(args).value_or(std::string()));
    // An entry named twice is extracted once. A set, not a search of the
    // pending list: "extract all" of a large archive would be quadratic.
    std::unordered_set<const ZipEntry*> seen;
    for (const ZipEntry* entry : chosen) {
        if (seen.insert(entry).second) task.pending.push_back(entry);
    }

    std::string message;
    if (!zip::PrepareTargetFolder(target, message)) {
        PrintMessage(message);
        return kExitFailed;
    }
    task.targetFolder = target;
    return ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        RunResult result = zip::RunExtraction(task, sink, cancel, nullptr);
        if (result.end == RunEnd::Failed && !task.pending.empty())
            ReportUnsupportedMethod(*task.pending.front());
        // A stop seen between two entries ends the run as completed, with
        // the rest unextracted; a script must not take that for success.
        if (result.end == RunEnd::Done && !task.pending.empty()) result.end = RunEnd::Stopped;
        return result;
    });
}

int CommandTest(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, PasswordOptions());
    args.RequireOperands(1, 1, "test");
    ZipDirectory directory;
    if (!LoadArchive(directory, args.operands[0])) return kExitFailed;
    const std::optional<std::string> typed = ReadPassword(args);
    const std::string password = Trim(typed.value_or(std::string()));
    std::size_t failed = 0;
    return ExecuteRun(context, [&](CancelFlag& cancel, RunSink& sink) {
        zip::ZipRunProgress progress(cancel, sink);
        std::uint64_t total = 0;
        for (const auto& entry : directory.Entries()) total += entry->uncompressedSize;
        progress.SetTotal(total);
        for (const auto& entry : directory.Entries()) {
            const int code = zip::TestEntry(*entry, directory.ArchiveFile(),
                                            typed ? &password : nullptr, progress);
            if (code == zip::kExtractCancelled) {
                RunResult stopped;
                stopped.end = RunEnd::Stopped;
                return stopped;
            }
            if (code == zip::kExtractOk) continue;
            ++failed;
            PrintRow({entry->name, zip::ExtractReasonText(code)});
            ReportUnsupportedMethod(*entry);
        }
        RunResult result;
        if (failed != 0) {
            result.end = RunEnd::Failed;
            result.errorText = std::to_string(failed) + " of " +
                               std::to_string(directory.Entries().size()) +
                               " entries failed the test.";
        }
        return result;
    });
}

}  // namespace kivo::cli
