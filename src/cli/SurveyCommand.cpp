// survey: the Filter Builder's rows and totals.
#include <QMimeDatabase>
#include <optional>
#include <QString>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/PathArgs.h"
#include "cli/TerminalProgress.h"
#include "platform/FileSystem.h"
#include "scan/Format.h"
#include "scan/Survey.h"

namespace kivo::cli {

namespace {

// The type name the desktop program shows for a file of this name: the
// description of its MIME type, found from the name alone (the file is not
// opened, as the shell is not asked to open it either).
std::string TypeNameOf(const QMimeDatabase& database, const std::string& sampleName) {
    const QMimeType type =
        database.mimeTypeForFile(QString::fromStdString(sampleName), QMimeDatabase::MatchExtension);
    return type.comment().toStdString();
}

}  // namespace

int CommandSurvey(const Context& context, const Arguments& raw) {
    const ParsedArgs args = ParseArgs(raw, {{"--no-subfolders", false}});
    args.RequireOperands(1, SIZE_MAX, "survey");
    std::vector<std::string> folders;
    for (const std::string& typed : args.operands) {
        const std::string folder = AbsolutePath(typed);
        if (!IsFolder(folder)) throw UsageError("no folder " + (folder.empty() ? "\"\"" : folder));
        folders.push_back(folder);
    }

    CancelFlag& cancel = InterruptFlag();
    std::optional<InterruptibleWork> interruptible(std::in_place);
    TerminalProgress progress(context.quiet);
    FileTypeSurvey survey;
    survey.Run(
        folders, !args.Has("--no-subfolders"),
        [&](std::uint64_t count) { progress.SetCounter(FormatCount(count)); }, &cancel);
    progress.Finish();
    interruptible.reset();
    if (cancel.load() != 0) return InterruptedStatus();

    const QMimeDatabase database;
    for (const FileTypeRecord& record : survey.Records()) {
        PrintRow({record.Extension(), TypeNameOf(database, record.sampleName),
                  FormatCount(record.fileCount), FormatSize(record.totalSize)});
    }
    PrintLine("Total Files: " + FormatCount(survey.TotalFiles()));
    PrintLine("Total Size: " + FormatSize(survey.TotalSize()));
    return kExitOk;
}

}  // namespace kivo::cli
