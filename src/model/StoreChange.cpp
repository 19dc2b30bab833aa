#include "model/StoreChange.h"

#include <atomic>

#include "platform/FileLock.h"
#include "platform/Paths.h"

namespace kivo {

namespace {

std::atomic<long long> lockWaitMs{10000};

}  // namespace

std::chrono::milliseconds StoreLockWait() { return std::chrono::milliseconds(lockWaitMs.load()); }

void SetStoreLockWait(std::chrono::milliseconds wait) { lockWaitMs.store(wait.count()); }

ChangeResult ChangeStores(const std::string& dataFolder,
                          const std::function<bool(StoreSnapshot&)>& change) {
    ChangeResult result;
    if (const int error = MakePrivateFolder(dataFolder); error != 0) {
        result.end = ChangeEnd::NoFolder;
        result.error = error;
        return result;
    }
    FileLock lock;
    switch (lock.Acquire(StoreLockPath(dataFolder), StoreLockWait())) {
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

    const std::string setStore = SetStorePath(dataFolder);
    const std::string bindingStore = BindingStorePath(dataFolder);
    StoreSnapshot& stores = result.stores;
    stores.sets.Load(setStore);
    stores.operations.Load(bindingStore);
    result.read = true;
    if (!change(stores)) {
        result.end = ChangeEnd::Declined;
    } else if (stores.setsChanged && !stores.sets.Save(setStore)) {
        result.end = ChangeEnd::SaveFailed;
        result.failedStore = setStore;
    } else if (stores.operationsChanged && !stores.operations.Save(bindingStore)) {
        result.end = ChangeEnd::SaveFailed;
        result.failedStore = bindingStore;
    }
    result.setStamp = StampOf(setStore);
    result.bindingStamp = StampOf(bindingStore);
    return result;
}

}  // namespace kivo
