#pragma once
// One change of the stores, safe with several writers at once (the desktop
// program, kivo-cli, a cron job). The data folder's lock is taken, both
// stores are read as they are on disk now, the change is applied to what
// was read, and the stores it changed are written back, all before the
// lock is released. A change is therefore a function of the current stores,
// never a write of an older copy held in memory.
//
// What a change leaves on disk:
// - A damaged store is never written over: it is first copied aside (see
//   KeepDamagedStore); when that fails nothing is written.
// - A change of both stores (a set renamed or removed, with the operations
//   bound to it) makes both or neither: the new stores are written to
//   temporaries first, the set store's present version is kept under a
//   second name (".kivos.kvd.kept"), the new binding store is put under a
//   name that marks it pending (".kvbind.kvb.next"), and only then are the
//   set store and the binding store replaced. When the second replacement
//   fails, the kept version is put back. When the writer dies between the
//   two, the next change (or ReadStores) finds the kept version together
//   with the pending binding store and puts it back before anything else.
// - Temporaries of a writer that died are removed by the next one that
//   really holds the lock.
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
    Written,         // the change was applied and what it changed was written
    Declined,        // the change returned false: nothing was written
    NoFolder,        // the data folder could not be created
    LockTimedOut,    // another writer held the lock for the whole wait
    LockFailed,      // the lock file could not be opened or locked
    SaveFailed,      // a store could not be written (`failedStore`, `error`);
                     // both stores are as they were
    CopyFailed,      // a damaged store could not be copied aside (`failedStore`,
                     // `error`): nothing was written
    Unrestored,      // the set store was replaced, the binding store could
                     // not be (`failedStore`, `error`), and the set store's
                     // previous version could not be put back either: it is
                     // kept, and the next change puts it back first
    RecoveryFailed,  // the kept set store of an interrupted change could not
                     // be put back (`failedStore`, `error`): nothing was read
                     // or written
};

// One store as a change (or ReadStores) found it.
struct StoreReport {
    std::string path;         // the store's own path (a link stays named so)
    StoreRead read;           // what loading it found
    std::string damagedCopy;  // where a damaged store was copied before it
                              // was written over; empty when it was not
};

struct ChangeResult {
    ChangeEnd end = ChangeEnd::Written;
    int error = 0;            // errno of every end but Written and Declined
    bool read = false;        // `stores` holds what was read (and changed)
    StoreSnapshot stores;
    StoreReport setStore;
    StoreReport bindingStore;
    bool repaired = false;    // an interrupted change of both stores was undone first
    std::string failedStore;  // the path of the store that could not be written
    // Both stores as they were when the lock was released.
    FileStamp setStamp;
    FileStamp bindingStamp;
};

// Reads both stores under the lock of `dataFolder`, applies `change`, and
// writes the stores it marked changed as described above. Exceptions from
// `change` pass through after the lock is released, with nothing written.
// A file system that cannot lock at all is written without the lock, as a
// single writer would; nothing left by another writer is then removed or
// put back, since that writer may still be at work.
ChangeResult ChangeStores(const std::string& dataFolder,
                          const std::function<bool(StoreSnapshot&)>& change);

// Reads both stores under the lock, after repairing what a dead writer left,
// and releases it. Ends Declined when they were read; a missing data folder
// is not created (both stores read as missing).
ChangeResult ReadStores(const std::string& dataFolder);

// How long a writer waits for the lock: 10 seconds, shorter in tests.
std::chrono::milliseconds StoreLockWait();
void SetStoreLockWait(std::chrono::milliseconds wait);

// The names a change of both stores keeps its work under, beside the
// stores' targets.
std::string KeptSetStorePath(const std::string& setStorePath);
std::string PendingBindingStorePath(const std::string& bindingStorePath);

}  // namespace kivo
