#pragma once
// The part every Delete, Copy and Move run shares: labels, the transfer
// buffer, the scan into an item list, the phase text, the counters, and
// reading back exactly the records the scan produced. An operation supplies
// only what it does per record and after the last one.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "ops/RunProgress.h"
#include "report/RunSink.h"
#include "scan/FileIdentities.h"
#include "scan/ItemList.h"
#include "ops/RemoveEmptyFolders.h"

namespace kivo {

// Template text of the phase label while the set is expanded.
inline constexpr const char* kScanningText = "Scanning Files...";

// What the per-record work may use.
struct RunContext {
    unsigned char* buffer = nullptr;  // kTransferBufferSize bytes, or null when not asked for
    RunProgress& progress;
    const CancelFlag& cancel;
    RunSink& sink;

    bool Cancelled() const { return cancel.load(std::memory_order_relaxed) != 0; }
};

// A record's work either lets the run go on (nullopt) or ends it.
using ItemOutcome = std::optional<RunResult>;

class ItemWork {
public:
    virtual ~ItemWork() = default;
    virtual bool NeedsBuffer() const = 0;
    // Copy enters folders reached through links; Delete and Move never do,
    // so they cannot reach data outside the set.
    virtual bool FollowFolderLinks() const = 0;
    virtual int PhaseTextId() const = 0;
    virtual std::uint64_t Total(const ItemList& list) const = 0;
    // Before the set is scanned: an end here leaves everything untouched.
    virtual ItemOutcome BeforeScan(const FileSet& /*set*/) { return std::nullopt; }
    // Receives the device and inode of every file the scan lists, sorted
    // once the scan is over; null when the work does not need them.
    virtual FileIdentities* ListedFiles() { return nullptr; }
    // Receive the device and inode of every folder the scan met, and of
    // those it listed, sorted once the scan is over; null when the work
    // does not need them.
    virtual ScannedFolders* Folders() { return nullptr; }
    virtual ItemOutcome Process(const ItemRecord& item, RunContext& context) = 0;
    // After the last record; the set is the one the run expanded, and
    // `entryIds` what each of its entries led to when it was scanned.
    virtual ItemOutcome Finish(const FileSet& /*set*/, const std::vector<FileId>& /*entryIds*/) {
        return std::nullopt;
    }
    // Every end once records began to be processed (done, stopped or
    // failed) passes here; the work may finish what it left pending and
    // change the end.
    virtual RunResult Ended(RunResult result) { return result; }
};

// Tests only: `afterScan` runs between the scan and the first record,
// `beforeFinish` after the last record and before the closing step, on the
// run's thread. Empty functions remove them.
struct RunHooksForTesting {
    std::function<void()> afterScan;
    std::function<void()> beforeFinish;
};
void SetRunHooksForTesting(RunHooksForTesting hooks);

// Runs `work` on `set` (may be null: nothing to do) and returns how the run
// ended. A record the item list cannot give back ends the run as failed with
// "Internal error.": the list is a private temporary file, so this is a fault
// of the machine, and going on would silently leave files unprocessed.
RunResult RunItems(ItemWork& work, const FileSet* set, CancelFlag& cancel, RunSink& sink);

// The end of a failed run: a table text with the path on its own line.
RunResult FailedWith(int textId, const std::string& path);
RunResult FailedWith(int textId);
RunResult StoppedRun();

}  // namespace kivo
