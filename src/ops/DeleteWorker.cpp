#include "ops/DeleteWorker.h"

#include <sys/stat.h>

#include <algorithm>

#include "model/StringTable.h"
#include "ops/DataFolderGuard.h"
#include "ops/ItemFolders.h"
#include "ops/RemoveEmptyFolders.h"
#include "ops/RunEngine.h"
#include "ops/TransferBuffer.h"
#include "ops/WipePattern.h"
#include "platform/Attributes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Folder.h"

namespace kivo {
namespace {

FileId NameIdOf(const FindData& data) { return FileId{data.nameDevice, data.nameInode}; }

class DeleteWork : public ItemWork {
public:
    explicit DeleteWork(const DeleteOptions& options)
        : passes_(ParsePasses(options.passesText)),
          removeEmptyMode_(options.removeEmptyMode),
          dataFolder_(options.dataFolder) {}

    bool NeedsBuffer() const override { return passes_ >= 1; }
    bool FollowFolderLinks() const override { return false; }
    int PhaseTextId() const override { return IDS_PHASE_DELETING; }
    ScannedFolders* Folders() override { return &folders_; }

    ItemOutcome BeforeScan(const FileSet& set) override { return RefuseDataFolder(set, dataFolder_); }

    std::uint64_t Total(const ItemList& list) const override {
        return passes_ >= 1 ? list.TotalSize() * passes_ : list.Count();
    }

    ItemOutcome Process(const ItemRecord& item, RunContext& context) override {
        // The file is reached only through the folder the scan saw, opened
        // level by level without following a link: a folder renamed away
        // and replaced (by a link or by another folder) ends here.
        const FolderHandle* folder = nullptr;
        std::string name;
        if (const std::error_code error = ReachItemFolder(chain_, item, false, folder, name)) {
            if (error.value() == ENOENT) return Gone(item, context);
            return Failed(item);
        }
        // The name itself, not what a link points to: a link is removed as a
        // link and its target is neither overwritten nor deleted.
        FindData found;
        if (folder->Stat(name, found)) return Gone(item, context);
        // A FIFO, socket or device node has no data of its own to erase, and
        // opening one can block or act on the device: it goes like a link.
        const bool special = (found.attributes & (ATTR_DIRECTORY | ATTR_ARCHIVE)) == 0;
        if (found.isLink || special) return RemoveName(*folder, name, item, found, context);
        // Another name holds the same data, maybe outside the set: erasing
        // would destroy it there, and resetting the attributes would change
        // that file too. Only this name goes.
        if (found.linkCount > 1) {
            if (ItemOutcome end = RemoveName(*folder, name, item, found, context)) return end;
            if (passes_ >= 1) context.sink.Notice(FormatText(IDS_NOTICE_NOT_ERASED, item.path));
            return std::nullopt;
        }

        const FileId erased = NameIdOf(found);
        if (passes_ >= 1) {
            File file;
            if (ItemOutcome end = Erase(*folder, name, item, erased, file, context)) return end;
            // The mode belongs to the inode: it is reset on the file that
            // was erased, through its own handle, whatever the name leads
            // to by now.
            file.SetMode(found.mode | S_IWUSR);
            file.Close();
        } else {
            folder->SetMode(name, found.mode | S_IWUSR, erased);
        }
        // Only while the name still leads to that very file does it go.
        if (const std::error_code error = folder->Remove(name, erased))
            return error.value() == kChangedError ? Failed(item)
                                                  : FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        if (passes_ == 0) context.progress.Add(1);
        if (context.Cancelled()) return StoppedRun();
        return std::nullopt;
    }

    ItemOutcome Finish(const FileSet& set, const std::vector<FileId>& entryIds) override {
        chain_.Reset();
        RemoveEmptySetFolders(set, removeEmptyMode_, entryIds, &folders_);
        return std::nullopt;
    }

private:
    std::uint64_t ShareOf(const ItemRecord& item) const {
        return passes_ >= 1 ? item.size * passes_ : 1;
    }

    // Delete's message for a file it could not finish: the erase message,
    // or with no passes to make the delete message.
    ItemOutcome Failed(const ItemRecord& item) const {
        return FailedWith(passes_ >= 1 ? IDS_CANNOT_ERASE_FILE : IDS_CANNOT_DELETE_FILE, item.path);
    }

    // Gone since the scan: counted as done, nothing to report.
    ItemOutcome Gone(const ItemRecord& item, RunContext& context) {
        context.progress.Add(ShareOf(item));
        if (context.Cancelled()) return StoppedRun();
        return std::nullopt;
    }

    ItemOutcome RemoveName(const FolderHandle& folder, const std::string& name, const ItemRecord& item,
                           const FindData& found, RunContext& context) {
        if (folder.Remove(name, NameIdOf(found))) return FailedWith(IDS_CANNOT_DELETE_FILE, item.path);
        context.progress.Add(ShareOf(item));
        if (context.Cancelled()) return StoppedRun();
        return std::nullopt;
    }

    // Every pass over the file as it is, from its start: the recorded size
    // or, when the file has grown since the scan, its size when the pass
    // begins, so no data appended meanwhile is left behind unerased. A file
    // that has shrunk is written back up to the recorded size; none is
    // truncated. A file still growing when a pass ends holds data no pass
    // covered, so it is not deleted. The file opened must be the one looked
    // up, with no other name: a link or another file put in its place is
    // never written through. Each pass ends on the disk before the next
    // begins, or it erased nothing.
    ItemOutcome Erase(const FolderHandle& folder, const std::string& name, const ItemRecord& item,
                      const FileId& expected, File& file, RunContext& context) {
        if (folder.OpenFile(name, File::Mode::WriteInPlace, file, false, expected)) return Failed(item);
        std::uint64_t device = 0, inode = 0, links = 0;
        if (!file.Identity(device, inode, links) || links != 1) return Failed(item);
        for (unsigned pass = 0; pass < passes_; ++pass) {
            const std::int64_t atStart = file.Size();
            if (atStart < 0) return Failed(item);
            const std::uint64_t size = std::max(item.size, static_cast<std::uint64_t>(atStart));
            FillWipePattern(context.buffer, kTransferBufferSize, pass);
            std::uint64_t offset = 0;
            std::uint64_t sinceFlush = 0;
            while (offset < size) {
                const std::uint64_t left = size - offset;
                const std::uint64_t chunk = left > kTransferBufferSize ? kTransferBufferSize : left;
                if (!file.WriteAt(offset, context.buffer, static_cast<std::size_t>(chunk)))
                    return Failed(item);
                offset += chunk;
                sinceFlush += chunk;
                if (sinceFlush >= kFlushInterval && offset < size) {
                    if (!file.Flush()) return Failed(item);
                    sinceFlush = 0;
                }
                context.progress.Add(chunk);
                if (context.Cancelled()) return StoppedRun();
            }
            if (!file.Flush()) return Failed(item);
            const std::int64_t atEnd = file.Size();
            if (atEnd < 0) return Failed(item);
            if (static_cast<std::uint64_t>(atEnd) > size) {
                return RunResult{RunEnd::Failed, FormatText(IDS_CANNOT_ERASE_FILE, item.path) + "\r\n" +
                                                     LoadText(IDS_ERASE_KEPT_GROWING)};
            }
        }
        return std::nullopt;
    }

    unsigned passes_;
    int removeEmptyMode_;
    std::string dataFolder_;
    FolderChain chain_;
    ScannedFolders folders_;
};

}  // namespace

RunResult DeleteWorker(const FileSet* set, const DeleteOptions& options, CancelFlag& cancel,
                       RunSink& sink) {
    DeleteWork work(options);
    return RunItems(work, set, cancel, sink);
}

}  // namespace kivo
