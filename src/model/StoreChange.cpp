#include "model/StoreChange.h"

#include <atomic>
#include <cerrno>

#include "platform/File.h"
#include "platform/FileLock.h"
#include "platform/Links.h"
#include "platform/Paths.h"

namespace kivo {

namespace {

std::atomic<long long> lockWaitMs{10000};

std::string BesideTarget(const std::string& storePath, const std::string& suffix) {
    const std::string target = WriteThroughPath(storePath);
    const std::string folder = ParentFolder(target.empty() ? storePath : target);
    return JoinPath(folder.empty() ? std::string(".") : folder,
                    StoreTemporaryPrefix(storePath) + suffix);
}

bool IsPlainFile(const std::string& path) {
    FindData data;
    return GetFindData(path, data, false) && !data.isLink && data.isRegular;
}

// Only ever the lists' own failure when the error is unknown.
int ErrorOr(int error) { return error != 0 ? error : EIO; }

// A copy of `from` under `to`, made whole under a temporary name first.
int CopyUnder(const std::string& from, const std::string& to, const std::string& prefix) {
    File source;
    if (!source.Open(from, File::Mode::Read)) return ErrorOr(source.lastError());
    File copy;
    std::string temporary;
    const std::string folder = ParentFolder(to);
    if (!copy.CreateSiblingTemp(folder.empty() ? "." : folder, prefix, temporary,
                                File::Access::OwnerOnly)) {
        return ErrorOr(copy.lastError());
    }
    char buffer[16384];
    bool copied = true;
    for (;;) {
        const std::int64_t got = source.Read(buffer, sizeof buffer);
        if (got < 0) {
            copied = false;
            break;
        }
        if (got == 0) break;
        if (!copy.Write(buffer, static_cast<std::size_t>(got))) {
            copied = false;
            break;
        }
    }
    copied = copied && copy.Flush();
    const int error = ErrorOr(copy.lastError() != 0 ? copy.lastError() : source.lastError());
    copied = copy.Close() && copied;
    if (copied && RenamePath(temporary, to)) return 0;
    const int renameError = errno;
    RemoveFile(temporary);
    return copied ? ErrorOr(renameError) : error;
}

// Keeps the set store's present version under `kept`: a second name for
// the same file where the file system has hard links, else a copy. A set
// store that does not exist is kept as an empty one, which loads the same.
int KeepSetStore(const std::string& setStore, const std::string& target, bool exists,
                 const std::string& kept) {
    RemoveFile(kept);
    if (!exists) {
        File empty;
        if (!empty.Open(kept, File::Mode::CreateNew) || !empty.SetMode(0600) || !empty.Flush()) {
            const int error = ErrorOr(empty.lastError());
            empty.Close();
            RemoveFile(kept);
            return error;
        }
        return empty.Close() ? 0 : ErrorOr(empty.lastError());
    }
    const int error = HardLink(target, kept);
    if (error == 0) return 0;
    return CopyUnder(target, kept, StoreTemporaryPrefix(setStore));
}

// Puts back what a writer that died between the two replacements of a
// change of both stores left: the kept set store, when the pending binding
// store shows the binding store was not yet replaced. A kept set store
// without a pending binding store belongs to a change that was complete
// (or never began replacing): it is only removed.
int RepairInterruptedChange(const std::string& setStore, const std::string& bindingStore,
                            bool& repaired) {
    const std::string kept = KeptSetStorePath(setStore);
    const std::string pending = PendingBindingStorePath(bindingStore);
    if (IsPlainFile(kept)) {
        if (IsPlainFile(pending)) {
            const std::string target = WriteThroughPath(setStore);
            if (target.empty()) return ELOOP;
            if (!RenamePath(kept, target)) return ErrorOr(errno);
            repaired = true;
        } else {
            RemoveFile(kept);
        }
    }
    if (IsPlainFile(pending)) RemoveFile(pending);
    return 0;
}

// Copies every damaged store the change is about to write over.
bool KeepDamagedStores(ChangeResult& result) {
    const struct {
        bool changed;
        StoreReport& report;
    } stores[] = {{result.stores.setsChanged, result.setStore},
                  {result.stores.operationsChanged, result.bindingStore}};
    for (const auto& store : stores) {
        if (!store.changed || !store.report.read.damaged()) continue;
        int error = 0;
        store.report.damagedCopy = KeepDamagedStore(store.report.path, error);
        if (store.report.damagedCopy.empty()) {
            result.end = ChangeEnd::CopyFailed;
            result.error = error;
            result.failedStore = store.report.path;
            return false;
        }
    }
    return true;
}

void FailSave(ChangeResult& result, ChangeEnd end, const std::string& store, int error) {
    result.end = end;
    result.failedStore = store;
    result.error = ErrorOr(error);
}

void WriteOne(ChangeResult& result, const std::string& path,
              const std::function<bool(Archive&)>& write) {
    StoreDraft draft;
    if (!draft.Write(path, write) || !draft.Commit()) {
        FailSave(result, ChangeEnd::SaveFailed, path, draft.error());
    }
}

void WriteBoth(ChangeResult& result) {
    const std::string& setStore = result.setStore.path;
    const std::string& bindingStore = result.bindingStore.path;
    const StoreSnapshot& stores = result.stores;
    StoreDraft sets;
    StoreDraft operations;
    if (!sets.Write(setStore, [&](Archive& a) { return stores.sets.Store(a); })) {
        return FailSave(result, ChangeEnd::SaveFailed, setStore, sets.error());
    }
    if (!operations.Write(bindingStore, [&](Archive& a) { return stores.operations.Store(a); })) {
        return FailSave(result, ChangeEnd::SaveFailed, bindingStore, operations.error());
    }
    const std::string kept = KeptSetStorePath(setStore);
    const bool existed = PathExists(sets.target());
    if (const int error = KeepSetStore(setStore, sets.target(), existed, kept); error != 0) {
        return FailSave(result, ChangeEnd::SaveFailed, setStore, error);
    }
    // From here until the kept version is removed, a writer that dies
    // leaves enough for the next one to put the set store back.
    if (!operations.Park(PendingBindingStorePath(bindingStore))) {
        RemoveFile(kept);
        return FailSave(result, ChangeEnd::SaveFailed, bindingStore, operations.error());
    }
    if (!sets.Commit()) {
        RemoveFile(kept);
        return FailSave(result, ChangeEnd::SaveFailed, setStore, sets.error());
    }
    if (!operations.Commit()) {
        const int error = operations.error();
        const bool restored = existed ? RenamePath(kept, sets.target())
                                      : RemoveFile(sets.target()) && RemoveFile(kept);
        if (!restored) {
            // The pending binding store must stay: it tells the next
            // writer that the kept set store is the one to put back.
            operations.Abandon();
            return FailSave(result, ChangeEnd::Unrestored, bindingStore, error);
        }
        return FailSave(result, ChangeEnd::SaveFailed, bindingStore, error);
    }
    RemoveFile(kept);
}

ChangeResult Change(const std::string& dataFolder, bool createFolder,
                    const std::function<bool(StoreSnapshot&)>& change) {
    ChangeResult result;
    result.setStore.path = SetStorePath(dataFolder);
    result.bindingStore.path = BindingStorePath(dataFolder);
    if (!createFolder && !IsFolder(dataFolder)) {
        result.read = true;
        result.end = ChangeEnd::Declined;
        return result;
    }
    if (const int error = MakePrivateFolder(dataFolder); error != 0) {
        result.end = ChangeEnd::NoFolder;
        result.error = error;
        return result;
    }
    FileLock lock;
    const LockState state = lock.Acquire(StoreLockPath(dataFolder), StoreLockWait());
    switch (state) {
        case LockState::Held:
        case LockState::Unsupported:
            break;
        case LockState::TimedOut:
            result.end = ChangeEnd::LockTimedOut;
            return result;
        case LockState::Failed:
            result.end = ChangeEnd::LockFailed;
            result.error = lock.lastError();
            return result;
    }

    const std::string& setStore = result.setStore.path;
    const std::string& bindingStore = result.bindingStore.path;
    if (state == LockState::Held) {
        // Whatever another writer left is its last act: it can no longer
        // be at work while we hold the lock.
        if (const int error = RepairInterruptedChange(setStore, bindingStore, result.repaired);
            error != 0) {
            FailSave(result, ChangeEnd::RecoveryFailed, setStore, error);
            return result;
        }
        RemoveDeadTemporaries(setStore);
        RemoveDeadTemporaries(bindingStore);
    }

    StoreSnapshot& stores = result.stores;
    result.setStore.read = stores.sets.Load(setStore);
    result.bindingStore.read = stores.operations.Load(bindingStore);
    result.read = true;
    if (!change(stores)) {
        result.end = ChangeEnd::Declined;
    } else if (KeepDamagedStores(result)) {
        if (stores.setsChanged && stores.operationsChanged) {
            WriteBoth(result);
        } else if (stores.setsChanged) {
            WriteOne(result, setStore, [&](Archive& a) { return stores.sets.Store(a); });
        } else if (stores.operationsChanged) {
            WriteOne(result, bindingStore, [&](Archive& a) { return stores.operations.Store(a); });
        }
    }
    result.setStamp = StampOf(setStore);
    result.bindingStamp = StampOf(bindingStore);
    return result;
}

}  // namespace

std::chrono::milliseconds StoreLockWait() { return std::chrono::milliseconds(lockWaitMs.load()); }

void SetStoreLockWait(std::chrono::milliseconds wait) { lockWaitMs.store(wait.count()); }

std::string KeptSetStorePath(const std::string& setStorePath) {
    return BesideTarget(setStorePath, "kept");
}

std::string PendingBindingStorePath(const std::string& bindingStorePath) {
    return BesideTarget(bindingStorePath, "next");
}

ChangeResult ChangeStores(const std::string& dataFolder,
                          const std::function<bool(StoreSnapshot&)>& change) {
    return Change(dataFolder, true, change);
}

ChangeResult ReadStores(const std::string& dataFolder) {
    return Change(dataFolder, false, [](StoreSnapshot&) { return false; });
}

}  // namespace kivo
