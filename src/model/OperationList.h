#pragma once
// The saved operations of the binding store ("kvbind.kvb"), and how they
// follow the renaming and removal of sets.
//
// File layout: i32 operation count, then per operation: i32 kind, str set
// name, str destination, i32 overwrite mode, i32 erase passes, str zip
// password, str zip name, i32 zip-name-by-time, i32 last-run high half,
// i32 last-run low half, i32 flags.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/Operation.h"
#include "model/StoreFile.h"

namespace kivo {

using Operations = std::vector<std::unique_ptr<Operation>>;

class OperationList {
public:
    Operations operations;

    // As SetList::Load: appends what was read completely and says what the
    // file held.
    StoreRead Load(const std::string& path);
    StoreRead LoadFromBytes(std::string_view bytes);

    bool Save(const std::string& path) const;
    std::string SaveToBytes() const;
    bool Store(Archive& archive) const;
};

bool SaveOperations(const std::vector<const Operation*>& operations, const std::string& path);
std::string OperationStoreBytes(const std::vector<const Operation*>& operations);

// True when the two records agree in every field but `lastRun`.
bool SameOptions(const Operation& a, const Operation& b);

// Finds again, in operations read afresh, the saved operation that was
// `remembered` when an action on it began: the record with the same options
// (SameOptions: a last run recorded meanwhile by another program does not
// make it another operation). Among several such records the one at
// `rememberedIndex` wins, else the first. npos when none matches: another
// program changed or removed it.
std::size_t FindSavedOperation(const Operations& operations, const Operation& remembered,
                               std::size_t rememberedIndex);

// After a set was renamed: every operation bound to `oldName` (any letter
// case) is bound to `newName`. A change of letter case only is not passed
// on: the operations still find their set. Returns how many operations
// changed; the caller saves the store when that is not zero.
std::size_t RenameSet(Operations& operations, std::string_view oldName, std::string_view newName);
// The same in a store whose other sets are named `otherSets`: only the
// operations that mean the renamed set (MeansSet) follow it, so renaming
// "WORK" leaves the operations of "Work" where they are.
std::size_t RenameSet(Operations& operations, std::string_view oldName, std::string_view newName,
                      const std::vector<std::string>& otherSets);

// After a set was removed: every operation bound to `name` (any letter case)
// is removed, keeping the order of the others. Returns how many were
// removed; the caller saves the store after every call, even when none was.
std::size_t RemoveSet(Operations& operations, std::string_view name);
// The same in a store whose remaining sets are named `otherSets`: only the
// operations that mean the removed set (MeansSet) go.
std::size_t RemoveSet(Operations& operations, std::string_view name,
                      const std::vector<std::string>& otherSets);

}  // namespace kivo
