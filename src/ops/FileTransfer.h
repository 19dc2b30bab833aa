#pragma once
// The per-file copy that Copy and Move share: open, stream, times,
// attributes, then the finished file takes the destination's name.
#include <string>

#include "ops/CopyWorker.h"
#include "ops/ProtectedFiles.h"
#include "ops/RunEngine.h"

namespace kivo {

// Copies sourcePath to destinationPath through the context's buffer,
// counting written bytes as progress. Returns nullopt when the copy is in
// place, or the run's end (failed with its message, or stopped). On any end
// the destination is as it was before.
ItemOutcome TransferFile(const std::string& sourcePath, const std::string& destinationPath,
                         RunContext& context);

// Copy's unit of work, shared with Move: the record goes to its place under
// the destination folder unless the overwrite policy skips it, or the file
// there is one of the run's own (then the sink hears of it). A skipped
// record's size counts as done and `copied` is false. Every file written is
// added to `files`.
ItemOutcome CopyItem(const CopyOptions& options, const ItemRecord& item, RunContext& context,
                     ProtectedFiles& files, bool& copied);

// The refusal of a Copy or Move whose destination lies in a tree the set
// scans, or nullopt.
ItemOutcome RefuseCopyIntoItself(const FileSet& set, const CopyOptions& options);

// The destination of a record: the destination folder plus the record's
// relative name, in canonical form.
std::string DestinationPathOf(const std::string& destinationFolder, const ItemRecord& item);

}  // namespace kivo
