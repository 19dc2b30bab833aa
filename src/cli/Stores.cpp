#include "cli/Stores.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "model/NameLookup.h"
#include "model/SetName.h"
#include "model/StringTable.h"
#include "platform/Paths.h"

namespace kivo::cli {

namespace {

constexpr std::size_t kMaxSetNameCharacters = 24;

std::string WaitText(std::chrono::milliseconds wait) {
    const long long ms = wait.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    return std::to_string(ms) + " milliseconds";
}

// The kind words of KIND:SET, in kind order.
constexpr const char* kKindWords[] = {"delete", "copy", "move", "zip"};

int KindOfWord(const std::string& word) {
    for (int kind = OPERATION_DELETE; kind <= OPERATION_ZIP; ++kind) {
        if (SameSetName(word, kKindWords[kind])) return kind;
    }
    return -1;
}

// Names that differ only in letter case are told apart by their spelling;
// a name that fits several spellings but none exactly is refused.
NameMatch RequireUnambiguous(const std::vector<std::string_view>& names, const std::string& typed) {
    NameMatch match = MatchName(names, typed);
    if (match.result != NameMatchResult::Ambiguous) return match;
    std::vector<std::string_view> spellings;
    for (std::size_t i : match.candidates) {
        if (std::find(spellings.begin(), spellings.end(), names[i]) == spellings.end()) {
            spellings.push_back(names[i]);
        }
    }
    std::string listed;
    for (std::size_t i = 0; i < spellings.size(); ++i) {
        if (i > 0) listed += i + 1 == spellings.size() ? " and " : ", ";
        listed += "\"" + std::string(spellings[i]) + "\"";
    }
    throw UsageError(FormatWith(LoadText(IDS_AMBIGUOUS_NAME), {typed, listed}));
}

std::function<void()> gBeforeRecording;

// What this process has warned about: each damaged store once.
std::set<std::string> gWarnedStores;
bool gDamageSeen = false;

std::string RecordsText(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void WarnDamaged(const std::string& path, std::size_t records, const char* one, const char* many,
                 const std::string& copy) {
    gDamageSeen = true;
    const bool first = gWarnedStores.insert(path).second;
    if (first) {
        std::string text = path + " is damaged; " + RecordsText(records, one, many) +
                           " could be read from it";
        if (!copy.empty()) text += "; the damaged file was copied to " + copy;
        PrintError(text);
    } else if (!copy.empty()) {
        PrintError("the damaged " + path + " was copied to " + copy);
    }
}

void ReportStore(const StoreReport& report, const char* one, const char* many) {
    if (report.read.damaged()) WarnDamaged(report.path, report.read.records, one, many, report.damagedCopy);
}

}  // namespace

void ReportDamage(const ChangeResult& result) {
    if (!result.read) return;
    ReportStore(result.setStore, "set", "sets");
    ReportStore(result.bindingStore, "operation", "operations");
}

int ShownStatus(int status) { return gDamageSeen && status == kExitOk ? kExitFailed : status; }

void SetBeforeRecordingHook(std::function<void()> hook) { gBeforeRecording = std::move(hook); }

void BeforeRecording() {
    if (gBeforeRecording) gBeforeRecording();
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++count;
    }
    return count;
}

std::string Context::SetStore() const { return SetStorePath(dataFolder); }
std::string Context::BindingStore() const { return BindingStorePath(dataFolder); }

std::string DefaultDataFolder() { return NormalizedPath(DataFolderOf("kivo")); }

SetList LoadSets(const Context& context) {
    SetList sets;
    const StoreRead read = sets.Load(context.SetStore());
    if (read.damaged()) WarnDamaged(context.SetStore(), read.records, "set", "sets", std::string());
    return sets;
}

OperationList LoadOperations(const Context& context) {
    OperationList operations;
    const StoreRead read = operations.Load(context.BindingStore());
    if (read.damaged()) {
        WarnDamaged(context.BindingStore(), read.records, "operation", "operations", std::string());
    }
    return operations;
}

std::string ChangeFailure(const Context& context, const ChangeResult& result) {
    const std::string reason = result.error != 0 ? std::strerror(result.error) : std::string();
    switch (result.end) {
        case ChangeEnd::Written:
        case ChangeEnd::Declined:
            return std::string();
        case ChangeEnd::NoFolder:
            return "can not create the data folder " + context.dataFolder;
        case ChangeEnd::LockTimedOut:
            return "another program has been changing the stores in " + context.dataFolder +
                   " for more than " + WaitText(StoreLockWait());
        case ChangeEnd::LockFailed:
            return "can not lock " + StoreLockPath(context.dataFolder) + ": " + reason;
        case ChangeEnd::SaveFailed:
        case ChangeEnd::Unrestored:
            return "can not write " + result.failedStore + ": " + reason;
        case ChangeEnd::CopyFailed:
            return "can not copy the damaged " + result.failedStore + " aside: " + reason;
        case ChangeEnd::RecoveryFailed:
            return "can not put back " + KeptSetStorePath(result.failedStore) +
                   ", the set store an interrupted change kept: " + reason;
    }
    return std::string();
}

int ChangeStores(const Context& context, const std::function<void(StoreSnapshot&)>& change) {
    const ChangeResult result = kivo::ChangeStores(context.dataFolder, [&](StoreSnapshot& stores) {
        change(stores);
        return true;
    });
    ReportDamage(result);
    switch (result.end) {
        case ChangeEnd::Written:
        case ChangeEnd::Declined:
            return kExitOk;
        case ChangeEnd::NoFolder:
            PrintError(ChangeFailure(context, result));
            break;
        case ChangeEnd::LockTimedOut:
            PrintError(ChangeFailure(context, result) + "; nothing was changed, try again later");
            break;
        case ChangeEnd::LockFailed:
        case ChangeEnd::SaveFailed:
        case ChangeEnd::CopyFailed:
        case ChangeEnd::RecoveryFailed:
            PrintError(ChangeFailure(context, result) + "; nothing was changed");
            break;
        case ChangeEnd::Unrestored:
            PrintError(ChangeFailure(context, result) + "; the set store was changed, and its " +
                       "previous version, kept as " + KeptSetStorePath(context.SetStore()) +
                       ", is put back by the next change");
            break;
    }
    return kExitFailed;
}

FileSet* FindSet(SetList& sets, const std::string& name) {
    std::vector<std::string_view> names;
    for (const auto& set : sets.sets) names.push_back(set->name);
    const NameMatch match = RequireUnambiguous(names, name);
    return match.found() ? sets.sets[match.index].get() : nullptr;
}

std::vector<std::string> OtherSetNames(const SetList& sets, const FileSet* except) {
    std::vector<std::string> names;
    for (const auto& set : sets.sets) {
        if (set.get() != except) names.push_back(set->name);
    }
    return names;
}

FileSet& RequireSet(SetList& sets, const std::string& name) {
    FileSet* set = FindSet(sets, name);
    if (set == nullptr) throw UsageError("no set named \"" + name + "\"");
    return *set;
}

std::string CheckSetName(const std::string& typed, const SetList& sets, const FileSet* except) {
    const std::string name = Trim(typed);
    if (name.empty()) throw UsageError("a set name must not be empty");
    if (CharacterCount(name) > kMaxSetNameCharacters) {
        throw UsageError("a set name has at most 24 characters: \"" + name + "\"");
    }
    for (const auto& set : sets.sets) {
        if (set.get() != except && SameSetName(set->name, name)) {
            throw UsageError("a set named \"" + set->name + "\" exists already");
        }
    }
    return name;
}

std::size_t OperationIndex(const std::string& typed, const OperationList& operations) {
    const std::string text = Trim(typed);
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const int kind = KindOfWord(Trim(text.substr(0, colon)));
        const std::string setName = Trim(text.substr(colon + 1));
        if (kind < 0 || setName.empty()) {
            throw UsageError("\"" + typed + "\" is not N or KIND:SET (KIND: delete, copy, move or zip)");
        }
        std::vector<std::size_t> ofKind;
        std::vector<std::string_view> names;
        for (std::size_t i = 0; i < operations.operations.size(); ++i) {
            const Operation& operation = *operations.operations[i];
            if (operation.kind != kind) continue;
            ofKind.push_back(i);
            names.push_back(operation.setName);
        }
        const NameMatch match = RequireUnambiguous(names, setName);
        if (match.found()) return ofKind[match.index];
        throw UsageError("no saved " + std::string(kKindWords[kind]) + " operation on the set \"" +
                         setName + "\" (see kivo-cli ops)");
    }
    bool digits = !text.empty() && text.size() <= 9;
    for (char c : text) digits = digits && c >= '0' && c <= '9';
    const std::size_t number = digits ? std::stoul(text) : 0;
    if (number < 1 || number > operations.operations.size()) {
        throw UsageError("no saved operation number " + typed + " (see kivo-cli ops)");
    }
    return number - 1;
}

}  // namespace kivo::cli
