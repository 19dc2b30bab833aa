#include "cli/Stores.h"

#include <cstdlib>
#include <cstring>

#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "model/SetName.h"
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

}  // namespace

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
    sets.Load(context.SetStore());
    return sets;
}

OperationList LoadOperations(const Context& context) {
    OperationList operations;
    operations.Load(context.BindingStore());
    return operations;
}

int ChangeStores(const Context& context, const std::function<void(StoreSnapshot&)>& change) {
    const ChangeResult result = kivo::ChangeStores(context.dataFolder, [&](StoreSnapshot& stores) {
        change(stores);
        return true;
    });
    switch (result.end) {
        case ChangeEnd::Written:
        case ChangeEnd::Declined:
            return kExitOk;
        case ChangeEnd::NoFolder:
            PrintError("can not create the data folder " + context.dataFolder);
            break;
        case ChangeEnd::LockTimedOut:
            PrintError("another program has been changing the stores in " + context.dataFolder +
                       " for more than " + WaitText(StoreLockWait()) +
                       "; nothing was changed, try again later");
            break;
        case ChangeEnd::LockFailed:
            PrintError("can not lock " + StoreLockPath(context.dataFolder) + ": " +
                       std::strerror(result.error) + "; nothing was changed");
            break;
        case ChangeEnd::SaveFailed:
            PrintError("can not write " + result.failedStore);
            break;
    }
    return kExitFailed;
}

FileSet* FindSet(SetList& sets, const std::string& name) {
    for (auto& set : sets.sets) {
        if (SameSetName(set->name, name)) return set.get();
    }
    return nullptr;
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
        for (std::size_t i = 0; i < operations.operations.size(); ++i) {
            const Operation& operation = *operations.operations[i];
            if (operation.kind == kind && SameSetName(operation.setName, setName)) return i;
        }
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
