#include "ops/DeleteWorker.h"

#include "model/StringTable.h"
#include "ops/RemoveEmptyFolders.h"
#include "ops/RunEngine.h"
#include "ops/TransferBuffer.h"
#include "ops/WipePattern.h"
#include "platform/Attributes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace kivo {
namespace {

class DeleteWork : public ItemWork {
public:
    explicit DeleteWork(const DeleteOptions& options)
        : passes_(ParsePasses(options.passesText)), removeEmptyMode_(options.removeEmptyMode) {}

    bool NeedsBuffer() const override { return passes_ >= 1; }
    bool FollowFolderLinks() const override { return false; }
    int PhaseTextId() const override { return IDS_PHASE_DELETING; }

    std::uint64_t Total(const ItemList& list) const override {
        return passes_ >= 1 ? list.TotalSize() * passes_ : list.Count();
    }

    ItemOutcome Process(const ItemRecord& item, RunContext& context) override {
        // The name itself, not what a link points to: a link is removed as a
        // link and its target is neither overwritten nor deleted.
        FindData found;
        if (!GetFindData(item.path, found, /*followLinks=*/false)) {
            // Gone since the scan: counted as done, nothing to report.
            context.progress.Add(ShareOf(item));
            if (context.Cancelled()) return StoppedRun();
            return std::nullopt;
        }
        // A FIFO, socket or device node has no data of its own to erase, and
        // opening one can block or act on the device: it goes like a link.
        const bool special = (found.attributes & (ATTR_DIRECTORY | ATTR_ARCHIVE)) == 0;
        if (found.isLink || special) return RemoveLink(item, context);
        // Another name holds the same data, maybe outside the set: erasing
        // would destroy it there, and resetting the attributes would change
        // that file too. Only this name goes.
        if (found.linkCount > 1) return RemoveSharedName(item, context);

        for (unsigned pass = 0; pass < passes_; ++pass) {
            if (ItemOutcome end = Overwrite(item, found, pass, context)) return end;
        }
        // The mode belongs to the inode: it is reset only while the name
        // still leads to the file that was erased, and to nothing else.
        FindData now;
        if (GetFindData(item.path, now, /*followLinks=*/false) && IsTheFileFound(now, found))
            SetAttributes(item.path, ATTR_NORMAL);
        if (!RemoveFile(item.path)) return FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        if (passes_ == 0) context.progress.Add(1);
        if (context.Cancelled()) return StoppedRun();
        return std::nullopt;
    }

    void Finish(const FileSet& set) override { RemoveEmptySetFolders(set, removeEmptyMode_); }

private:
    std::uint64_t ShareOf(const ItemRecord& item) const {
        return passes_ >= 1 ? item.size * passes_ : 1;
    }

    static bool IsTheFileFound(const FindData& now, const FindData& found) {
        return !now.isLink && now.device == found.device && now.inode == found.inode &&
               now.linkCount == 1;
    }

    ItemOutcome RemoveSharedName(const ItemRecord& item, RunContext& context) {
        if (!RemoveFile(item.path)) return FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        if (passes_ >= 1) context.sink.Notice(FormatText(IDS_NOTICE_NOT_ERASED, item.path));
        context.progress.Add(ShareOf(item));
        if (context.Cancelled()) return StoppedRun();
        return std::nullopt;
    }

    ItemOutcome RemoveLink(const ItemRecord& item, RunContext& context) {
        if (!RemoveFile(item.path)) return FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        context.progress.Add(ShareOf(item));
        if (context.Cancelled()) return StoppedRun();
        return std::nullopt;
    }

    // One pass over exactly the recorded size, from the file's start; the
    // file is neither truncated nor extended beyond that size.
    // The file opened must be the one looked up: a link or another file put
    // in its place since then is never written through.
    ItemOutcome Overwrite(const ItemRecord& item, const FindData& found, unsigned pass,
                          RunContext& context) {
        File file;
        if (!file.Open(item.path, File::Mode::WriteInPlace))
            return FailedWith(IDS_CANNOT_ERASE_FILE, item.path);
        FindData opened;
        if (!file.Identity(opened.device, opened.inode, opened.linkCount) ||
            !IsTheFileFound(opened, found))
            return FailedWith(IDS_CANNOT_ERASE_FILE, item.path);
        FillWipePattern(context.buffer, kTransferBufferSize, pass);
        std::uint64_t remaining = item.size;
        std::uint64_t sinceFlush = 0;
        while (remaining != 0) {
            const std::uint64_t chunk = remaining > kTransferBufferSize ? kTransferBufferSize : remaining;
            if (!file.Write(context.buffer, static_cast<std::size_t>(chunk)))
                return FailedWith(IDS_CANNOT_ERASE_FILE, item.path);
            sinceFlush += chunk;
            if (sinceFlush >= kFlushInterval) {
                // A pattern that never reached the disk did not erase anything.
                if (!file.Flush()) return FailedWith(IDS_CANNOT_ERASE_FILE, item.path);
                sinceFlush = 0;
            }
            remaining -= chunk;
            context.progress.Add(chunk);
            if (context.Cancelled()) return StoppedRun();
        }
        return std::nullopt;
    }

    unsigned passes_;
    int removeEmptyMode_;
};

}  // namespace

RunResult DeleteWorker(const FileSet* set, const DeleteOptions& options, CancelFlag& cancel,
                       RunSink& sink) {
    DeleteWork work(options);
    return RunItems(work, set, cancel, sink);
}

}  // namespace kivo
