#pragma once
// The per-file copy that Copy and Move share: open, stream, times,
// attributes, then the finished file takes the destination's name.
#include <string>

#include "ops/CopyWorker.h"
#include "ops/RunEngine.h"

namespace kivo {

// Copies sourcePath to destinationPath through the context's buffer,
// counting written bytes as progress. Returns nullopt when the copy is in
// place, or the run's end (failed with its message, or stopped). On any end
// the destination is as it was before.
ItemOutcome TransferFile(const std::string& sourcePath, const std::string& destinationPath,
                         RunContext& context);

// Copy's unit of work, shared with Move: the record goes to its place under
// the destination folder unless the overwrite policy skips it (then its size
// counts as done and `copied` is false).
ItemOutcome CopyItem(const CopyOptions& options, const ItemRecord& item, RunContext& context,
                     bool& copied);

// The destination of a record: the destination folder plus the record's
// relative name, in canonical form.
std::string DestinationPathOf(const std::string& destinationFolder, const ItemRecord& item);

}  // namespace kivo
