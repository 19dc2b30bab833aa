#pragma once
// The two stores as kivo-cli sees them: the data folder, loading, saving,
// and finding a set the way the run dialogs' set chooser does.
#include <functional>
#include <string>
#include <vector>

#include "model/OperationList.h"
#include "model/SetList.h"
#include "model/StoreChange.h"

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

// The stores as they are now, read without the lock (a store is replaced by
// a rename, so a reader sees one version whole). A damaged store gives what
// could be read and a warning on standard error: which file, how many
// records were read.
SetList LoadSets(const Context& context);
OperationList LoadOperations(const Context& context);

// Warns, once per store and process, about a damaged store a change or a
// locked read found, saying where it was copied when it was.
void ReportDamage(const ChangeResult& result);

// The exit status of a command that only shows what it read: 1 when a
// store was damaged (the listing then misses records), else `status`.
int ShownStatus(int status);

// Why a change or a locked read did not happen, for a message: "another
// program has been changing the stores in DIR for more than 10 seconds",
// "can not write PATH: REASON", ... Empty for Written and Declined.
std::string ChangeFailure(const Context& context, const ChangeResult& result);

// One change of the stores: both are read afresh under the data folder's
// lock (the data folder is created first when missing), `change` is applied
// to them and the stores it marks changed are written before the lock is
// released, so concurrent commands and the desktop program never undo one
// another's changes. A UsageError thrown by `change` passes through with
// nothing written. A failure (no lock within the wait, a store that cannot
// be written) is reported, since a script must know its change was lost,
// and gives kExitFailed. A damaged store is reported as LoadSets does, with
// where it was copied before it was written over.
int ChangeStores(const Context& context, const std::function<void(StoreSnapshot&)>& change);

// Test seam: called by `run` after a completed run, before its last run is
// recorded.
void SetBeforeRecordingHook(std::function<void()> hook);
void BeforeRecording();

// The set named `name`: the one spelled exactly so, else the one whose name
// equals it ignoring letter case, or null. A name that fits sets whose
// names differ only in letter case, none of them spelled exactly so, is a
// usage error (ambiguous).
FileSet* FindSet(SetList& sets, const std::string& name);
// The same, but a missing set is a usage error.
FileSet& RequireSet(SetList& sets, const std::string& name);

// The names of all sets but `except`, for the cascades of a rename or a
// removal into the operations.
std::vector<std::string> OtherSetNames(const SetList& sets, const FileSet* except);

// The set editor's name rule: trimmed, 1 to 24 characters, different from
// every name in `sets` but `except` (compared ignoring letter case).
// Returns the trimmed name; a usage error otherwise.
std::string CheckSetName(const std::string& typed, const SetList& sets, const FileSet* except);

// The dialogs' name boxes limit characters, not bytes: UTF-8 continuation
// bytes do not start a character.
std::size_t CharacterCount(const std::string& text);

// The saved operation an argument names, as an index: its number N (from
// 1), or KIND:SET, the first operation of that kind (delete, copy, move,
// zip) on that set, which stays right when rows above it are removed.
// Letter case is ignored in both halves, as in set names, and the set name
// is matched as FindSet matches it. A usage error when none matches.
std::size_t OperationIndex(const std::string& typed, const OperationList& operations);

}  // namespace kivo::cli
