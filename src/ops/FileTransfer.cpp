#include "ops/FileTransfer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "model/StringTable.h"
#include "ops/CopyHelpers.h"
#include "ops/CopyIntoItself.h"
#include "ops/ItemFolders.h"
#include "ops/TransferBuffer.h"
#include "platform/Attributes.h"
#include "platform/Paths.h"
#include "platform/PrivateTemp.h"
#include "platform/WriteBehind.h"

namespace kivo {
namespace {

FileId NameIdOf(const FindData& data) { return FileId{data.nameDevice, data.nameInode}; }

enum class Decision { Copy, Skip, KeptForRun, IsFolder };

// The overwrite policy for a destination name that exists, looked up in
// its folder: the name itself, and for the times what a link there leads
// to (as the policy always read them).
Decision Decide(const CopyOptions& options, const FolderHandle& folder, const std::string& name,
                const FindData& source, const ProtectedFiles& files) {
    FindData here;
    if (folder.Stat(name, here)) return Decision::Copy;  // gone again: a new file
    FindData followed = here;
    if (here.isLink) GetFindDataAt(folder.fd(), name, followed, /*followLinks=*/true);
    // The source itself or another name of it, or a file the run lists or
    // wrote: copying would read what it writes, or undo the run's work.
    if (IdOf(followed) == IdOf(source) || files.Protects(NameIdOf(here))) return Decision::KeptForRun;
    if (options.overwriteMode == kOverwriteNever) return Decision::Skip;
    if (options.overwriteMode == kOverwriteIfOlder && !(followed.lastWriteTime < source.lastWriteTime))
        return Decision::Skip;
    if (!here.isLink && (here.attributes & ATTR_DIRECTORY) != 0) return Decision::IsFolder;
    return Decision::Copy;
}

ItemOutcome Skipped(const ItemRecord& item, RunContext& context) {
    context.progress.Add(item.size);
    return std::nullopt;
}

ItemOutcome KeptForRun(const ItemRecord& item, const std::string& destination, RunContext& context) {
    context.sink.Notice(FormatText(IDS_NOTICE_KEPT_DESTINATION, item.path, destination));
    return Skipped(item, context);
}

void KeepSyncTarget(TransferState& state, const FolderHandle& folder) {
    if (!state.keepSyncTargets) return;
    for (const FolderHandle& target : state.syncTargets)
        if (target.id().device == folder.id().device) return;
    FolderHandle copy;
    if (!folder.Duplicate(copy)) state.syncTargets.push_back(std::move(copy));
}

// A link that Move meets below its set entry goes as a link: what it leads
// to is not the set's, to read or to remove.
ItemOutcome MoveLink(const CopyOptions& options, const ItemRecord& item, const FolderHandle& source,
                     const std::string& sourceName, const FolderHandle& folder, const std::string& name,
                     bool existed, const std::string& destination, TransferState& state, bool& copied) {
    std::string target;
    if (source.ReadLink(sourceName, target)) return FailedWith(IDS_ERROR_OPEN_READ, item.path);
    if (!existed) {
        const std::error_code made = folder.MakeLink(target, name);
        if (!made) {
            copied = true;
            KeepSyncTarget(state, folder);
            return std::nullopt;
        }
        if (made.value() != EEXIST) return FailedWith(IDS_ERROR_CREATE_FILE, destination);
        if (options.overwriteMode == kOverwriteNever) return std::nullopt;
    }
    // Replaced through a hidden name, so the name never goes missing; a
    // hidden name already taken is someone else's and is left alone.
    static std::atomic<unsigned> counter{0};
    std::string hidden;
    std::error_code made = ErrnoCode(EEXIST);
    for (int attempt = 0; attempt < 100 && made.value() == EEXIST; ++attempt) {
        hidden = ".kvt-link-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        made = folder.MakeLink(target, hidden);
    }
    if (made) return FailedWith(IDS_ERROR_CREATE_FILE, destination);
    if (folder.Rename(hidden, folder, name)) {
        folder.Remove(hidden);
        return FailedWith(IDS_ERROR_CREATE_FILE, destination);
    }
    copied = true;
    KeepSyncTarget(state, folder);
    return std::nullopt;
}

}  // namespace

std::string DestinationPathOf(const std::string& destinationFolder, const ItemRecord& item) {
    return NormalizedPath(destinationFolder + "/" + item.RelativeName());
}

ItemOutcome CopyItem(const CopyOptions& options, const ItemRecord& item, RunContext& context,
                     TransferState& state, bool& copied) {
    copied = false;
    const std::string destination = DestinationPathOf(options.destinationFolder, item);
    if (context.Cancelled()) return StoppedRun();

    // The source: only in the folder the scan saw.
    const FolderHandle* sourceFolder = nullptr;
    std::string sourceName;
    if (ReachItemFolder(state.sources, item, state.followLinks, sourceFolder, sourceName))
        return FailedWith(IDS_ERROR_OPEN_READ, item.path);
    FindData source;
    if (!GetFindDataAt(sourceFolder->fd(), sourceName, source, state.followLinks))
        return FailedWith(IDS_ERROR_OPEN_READ, item.path);
    const bool moveAsLink = source.isLink && !state.followLinks;
    // FIFOs, sockets and device nodes hold no file data: opening a FIFO to
    // read waits for a writer that may never come, and a device can read
    // without end.
    if (!moveAsLink && !source.isRegular) return Skipped(item, context);

    // The destination folder, as it is now; made only when a file goes in.
    const FolderHandle* folder = nullptr;
    std::string name;
    const std::string_view relative = std::string_view(item.path).substr(item.relativeStart);
    std::error_code reached = ReachDestinationFolder(state.destinations, options.destinationFolder, relative,
                                                     /*create=*/false, state.destinationRoot, folder, name);
    if (reached && reached.value() != ENOENT) return FailedWith(IDS_ERROR_CREATE_FILE, destination);
    FindData here;
    const bool existed = !reached && !folder->Stat(name, here);
    if (!existed) {
        if (options.skipIfMissing != 0) return Skipped(item, context);
    } else {
        switch (Decide(options, *folder, name, source, state.files)) {
            case Decision::Skip: return Skipped(item, context);
            case Decision::KeptForRun: return KeptForRun(item, destination, context);
            case Decision::IsFolder: return FailedWith(IDS_ERROR_CREATE_FILE, destination);
            case Decision::Copy: break;
        }
    }
    if (reached) {
        reached = ReachDestinationFolder(state.destinations, options.destinationFolder, relative,
                                         /*create=*/true, state.destinationRoot, folder, name);
        if (reached) return FailedWith(IDS_ERROR_CREATE_FILE, destination);
    }

    if (moveAsLink) {
        if (ItemOutcome end = MoveLink(options, item, *sourceFolder, sourceName, *folder, name, existed,
                                       destination, state, copied))
            return end;
        if (!copied) return Skipped(item, context);
        context.progress.Add(item.size);
        return std::nullopt;
    }

    // A link in the source folder is read only while it still leads to
    // the file the scan saw.
    File input;
    if (sourceFolder->OpenFile(sourceName, File::Mode::Read, input, state.followLinks,
                               source.isLink ? item.fileId : FileId{}))
        return FailedWith(IDS_ERROR_OPEN_READ, item.path);
    // What the copy must hold at least: a source cut short while it is
    // read would otherwise arrive short under its final name.
    const std::int64_t sizeAtOpen = input.Size();
    if (sizeAtOpen < 0) return FailedWith(IDS_ERROR_READING_FILE, item.path);
    PrivateTemp temp;
    if (temp.Create(*folder, name)) return FailedWith(IDS_ERROR_CREATE_FILE, destination);

    // Every early return below discards the temporary file with `temp`, so
    // the destination name never shows a partial file.
    File& output = temp.file();
    std::uint64_t copiedBytes = 0;
    WriteBehind flush(kFlushInterval);
    // The kernel copies while it will; the buffer takes over where it
    // declines (another file system, no support, a short copy).
    bool kernel = true;
    for (;;) {
        std::uint64_t bytes = 0;
        if (kernel) {
            std::size_t copied = 0;
            switch (output.CopyFrom(input, kKernelCopyStep, copied)) {
                case File::KernelCopy::Copied: bytes = copied; break;
                case File::KernelCopy::Declined: kernel = false; continue;
                case File::KernelCopy::ReadFailed: return FailedWith(IDS_ERROR_READING_FILE, item.path);
                case File::KernelCopy::WriteFailed:
                    return FailedWith(IDS_ERROR_WRITING_FILE, destination);
            }
        } else {
            const std::int64_t got = input.Read(context.buffer, kTransferBufferSize);
            if (got < 0) return FailedWith(IDS_ERROR_READING_FILE, item.path);
            if (got == 0) break;
            bytes = static_cast<std::uint64_t>(got);
            if (!output.Write(context.buffer, static_cast<std::size_t>(bytes)))
                return FailedWith(IDS_ERROR_WRITING_FILE, destination);
        }
        copiedBytes += bytes;
        // Data that did not reach the disk is a failed write.
        if (!flush.Wrote(output, bytes)) return FailedWith(IDS_ERROR_WRITING_FILE, destination);
        if (context.Cancelled()) return StoppedRun();
        context.progress.Add(bytes);
    }
    // A file that grew while it was read is copied as it was then; one that
    // lost data is no copy of anything it ever was.
    if (copiedBytes < static_cast<std::uint64_t>(sizeAtOpen))
        return FailedWith(IDS_FILE_CHANGED_WHILE_COPIED, item.path);

    // Mode and times only now that the data is complete; the file was its
    // owner's alone until here. Times or a mode that cannot be set are not
    // an error.
    struct stat st {};
    if (::fstat(input.fd(), &st) == 0) {
        output.SetTimes(FileTimeFromTimespec(st.st_atim), FileTimeFromTimespec(st.st_mtim));
        // Permission bits only: a copy made by root must not turn a user's
        // file into a set-user-id program owned by root.
        output.SetMode(st.st_mode & 0777);
    }
    input.Close();

    std::error_code named;
    if (!existed || options.overwriteMode == kOverwriteNever) {
        named = temp.LinkAsNew();
        if (named.value() == EEXIST) {
            // Someone made the name meanwhile: the policy decides again.
            if (options.overwriteMode == kOverwriteNever) return std::nullopt;
            switch (Decide(options, *folder, name, source, state.files)) {
                case Decision::Skip: return std::nullopt;
                case Decision::KeptForRun:
                    context.sink.Notice(FormatText(IDS_NOTICE_KEPT_DESTINATION, item.path, destination));
                    return std::nullopt;
                case Decision::IsFolder: return FailedWith(IDS_ERROR_CREATE_FILE, destination);
                case Decision::Copy: named = temp.Replace(); break;
            }
        }
    } else {
        named = temp.Replace();
    }
    if (named) return FailedWith(IDS_ERROR_CREATE_FILE, destination);
    std::uint64_t device = 0, inode = 0, links = 0;
    if (output.Identity(device, inode, links)) state.files.AddWritten(FileId{device, inode});
    temp.Discard();
    KeepSyncTarget(state, *folder);
    copied = true;
    return std::nullopt;
}

ItemOutcome RefuseCopyIntoItself(const FileSet& set, const CopyOptions& options) {
    if (!DestinationInsideSet(set, options.destinationFolder)) return std::nullopt;
    return FailedWith(IDS_COPY_INTO_ITSELF, options.destinationFolder);
}

}  // namespace kivo
