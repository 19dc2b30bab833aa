#pragma once
// One change of the stores, safe with several writers at once (the desktop
// program, kivo-cli, a cron job). The data folder's lock is taken, both
// stores are read as they are on disk now, the change is applied to what
// was read, and the stores it changed are written back, all before the
// lock is released. A change is therefore a function of the current stores,
// never a write of an older copy held in memory.
#include <chrono>
#include <functional>
#include <string>

#include "model/OperationList.h"
#include "model/SetList.h"
#include "platform/FileSystem.h"

namespace kivo {

// Both stores as read under the lock; a change marks what it changed.
struct StoreSnapshot {
    SetList sets;
    OperationList operations;
    bool setsChanged = false;
    bool operationsChanged = false;
};

enum class ChangeEnd {
    Written,       // the change was applied and what it changed was written
    Declined,      // the change returned false: nothing was written
    NoFolder,      // the data folder could not be created
    LockTimedOut,  // another writer held the lock for the whole wait
    LockFailed,    // the lock file could not be opened or locked
    SaveFailed,    // a store could not be written (`failedStore` names it)
};

struct ChangeResult {
    ChangeEnd end = ChangeEnd::Written;
    int error = 0;            // errno of NoFolder and LockFailed
    bool read = false;        // `stores` holds what was read (and changed)
    StoreSnapshot stores;
    std::string failedStore;  // the path of the store that could not be written
    // Both stores as they were when the lock was released.
    FileStamp setStamp;
    FileStamp bindingStamp;
};

// Reads both stores under the lock of `dataFolder`, applies `change`, and
// writes the stores it marked changed: the set store first, so that a
// binding store that then cannot be written at worst leaves operations
// bound to a name no set has, which every reader already copes with.
// Exceptions from `change` pass through after the lock is
// released, with nothing written. A file system that cannot lock at all is
// written without the lock, as a single writer would.
ChangeResult ChangeStores(const std::string& dataFolder,
                          const std::function<bool(StoreSnapshot&)>& change);

// How long a writer waits for the lock: 10 seconds, shorter in tests.
std::chrono::milliseconds StoreLockWait();
void SetStoreLockWait(std::chrono::milliseconds wait);

}  // namespace kivo
