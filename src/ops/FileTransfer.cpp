#include "ops/FileTransfer.h"

#include "model/StringTable.h"
#include "ops/CopyHelpers.h"
#include "ops/CopyIntoItself.h"
#include "ops/DestinationFile.h"
#include "ops/TransferBuffer.h"
#include "platform/Attributes.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

// FIFOs, sockets and device nodes hold no file data: opening a FIFO to read
// waits for a writer that may never come, and a device can read without
// end. The platform marks every regular file with the archive attribute.
bool IsSpecialFile(const std::string& path) {
    FindData data;
    if (!GetFindData(path, data)) return false;  // a vanished source fails at its open
    return (data.attributes & (ATTR_DIRECTORY | ATTR_ARCHIVE)) == 0;
}

}  // namespace

std::string DestinationPathOf(const std::string& destinationFolder, const ItemRecord& item) {
    return NormalizedPath(destinationFolder + "/" + item.RelativeName());
}

ItemOutcome TransferFile(const std::string& sourcePath, const std::string& destinationPath,
                         RunContext& context) {
    File source;
    if (!source.Open(sourcePath, File::Mode::Read))
        return FailedWith(IDS_ERROR_OPEN_READ, sourcePath);
    DestinationFile destination = CreateDestinationFile(destinationPath);
    if (!destination.IsOpen()) return FailedWith(IDS_ERROR_CREATE_FILE, destinationPath);

    // Every early return below discards the temporary file with
    // `destination`, so the destination name never shows a partial file.
    std::uint64_t sinceFlush = 0;
    for (;;) {
        const std::int64_t got = source.Read(context.buffer, kTransferBufferSize);
        if (got < 0) return FailedWith(IDS_ERROR_READING_FILE, sourcePath);
        if (got == 0) break;
        const auto bytes = static_cast<std::uint64_t>(got);
        if (!destination.file().Write(context.buffer, static_cast<std::size_t>(bytes)))
            return FailedWith(IDS_ERROR_WRITING_FILE, destinationPath);
        sinceFlush += bytes;
        if (sinceFlush >= kFlushInterval) {
            // Data that did not reach the disk is a failed write.
            if (!destination.file().Flush())
                return FailedWith(IDS_ERROR_WRITING_FILE, destinationPath);
            sinceFlush = 0;
        }
        if (context.Cancelled()) return StoppedRun();
        context.progress.Add(bytes);
    }

    CopyFileTimes(source, destination.file());  // times that cannot be set are not an error
    source.Close();
    destination.Close();
    CopyAttributes(sourcePath, destination.tempPath());  // likewise
    if (!destination.Commit()) return FailedWith(IDS_ERROR_CREATE_FILE, destinationPath);
    return std::nullopt;
}

ItemOutcome CopyItem(const CopyOptions& options, const ItemRecord& item, RunContext& context,
                     ProtectedFiles& files, bool& copied) {
    copied = false;
    const std::string destination = DestinationPathOf(options.destinationFolder, item);
    if (context.Cancelled()) return StoppedRun();
    if (ShouldSkipCopy(item.path, destination, options.overwriteMode, options.skipIfMissing) != 0 ||
        IsSpecialFile(item.path)) {
        context.progress.Add(item.size);
        return std::nullopt;
    }
    // Only a file the policy would replace is worth a word: a source still
    // to be read, or a file this run has already written there.
    if (files.Protects(destination)) {
        context.sink.Notice(FormatText(IDS_NOTICE_KEPT_DESTINATION, item.path, destination));
        context.progress.Add(item.size);
        return std::nullopt;
    }
    if (ItemOutcome end = TransferFile(item.path, destination, context)) return end;
    files.AddWritten(destination);
    copied = true;
    return std::nullopt;
}

ItemOutcome RefuseCopyIntoItself(const FileSet& set, const CopyOptions& options) {
    if (!DestinationInsideSet(set, options.destinationFolder)) return std::nullopt;
    return FailedWith(IDS_COPY_INTO_ITSELF, options.destinationFolder);
}

}  // namespace kivo
