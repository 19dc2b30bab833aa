#pragma once
// The two stores as kivo-cli sees them: the data folder, loading, saving,
// and finding a set the way the run dialogs' set chooser does.
#include <string>

#include "model/OperationList.h"
#include "model/SetList.h"

namespace kivo::cli {

struct Context {
    std::string dataFolder;
    bool quiet = false;

    std::string SetStore() const;
    std::string BindingStore() const;
};

// The desktop program's data folder: $XDG_DATA_HOME (else ~/.local/share)
// + "/KALDORWORKS/kivo". Not created here: queries must change nothing.
std::string DefaultDataFolder();

SetList LoadSets(const Context& context);
OperationList LoadOperations(const Context& context);

// Create the data folder when missing, then write the store. A failed save
// is reported (the desktop program stays silent, but a script must know
// that its change was lost) and gives false.
bool SaveSets(const Context& context, const SetList& sets);
bool SaveOperations(const Context& context, const OperationList& operations);

// The first set whose name equals `name` ignoring letter case, or null.
FileSet* FindSet(SetList& sets, const std::string& name);
// The same, but a missing set is a usage error.
FileSet& RequireSet(SetList& sets, const std::string& name);

// The set editor's name rule: trimmed, 1 to 24 characters, different from
// every name in `sets` but `except` (compared ignoring letter case).
// Returns the trimmed name; a usage error otherwise.
std::string CheckSetName(const std::string& typed, const SetList& sets, const FileSet* except);

// The dialogs' name boxes limit characters, not bytes: UTF-8 continuation
// bytes do not start a character.
std::size_t CharacterCount(const std::string& text);

// Operation number N (from 1) as typed; a usage error when out of range.
std::size_t OperationIndex(const std::string& typed, const OperationList& operations);

}  // namespace kivo::cli
