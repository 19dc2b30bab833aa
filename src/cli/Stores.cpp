#include "cli/Stores.h"

#include <cstdlib>

#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "model/SetName.h"
#include "platform/Paths.h"

namespace kivo::cli {

namespace {

constexpr std::size_t kMaxSetNameCharacters = 24;

bool EnsureDataFolder(const Context& context) {
    if (MakePrivateFolder(context.dataFolder) == 0) return true;
    PrintError("can not create the data folder " + context.dataFolder);
    return false;
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

bool SaveSets(const Context& context, const SetList& sets) {
    if (!EnsureDataFolder(context)) return false;
    if (sets.Save(context.SetStore())) return true;
    PrintError("can not write " + context.SetStore());
    return false;
}

bool SaveOperations(const Context& context, const OperationList& operations) {
    if (!EnsureDataFolder(context)) return false;
    if (operations.Save(context.BindingStore())) return true;
    PrintError("can not write " + context.BindingStore());
    return false;
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
    bool digits = !text.empty() && text.size() <= 9;
    for (char c : text) digits = digits && c >= '0' && c <= '9';
    const std::size_t number = digits ? std::stoul(text) : 0;
    if (number < 1 || number > operations.operations.size()) {
        throw UsageError("no saved operation number " + typed + " (see kivo-cli ops)");
    }
    return number - 1;
}

}  // namespace kivo::cli
