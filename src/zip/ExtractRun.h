#pragma once
// The extraction run: works through a pending list of entries, from the
// front, and keeps the failed entry first so the next start retries it.
#include <deque>
#include <string>

#include "report/RunSink.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {

// Shows a folder to the user after a completed run (the desktop hands it
// to the system's file manager).
class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    virtual void Open(const std::string& folder) = 0;
};

// One extraction task; lives as long as its dialog, across retries.
struct ExtractTask {
    ZipDirectory* directory = nullptr;       // loaded, archive open
    std::deque<const ZipEntry*> pending;     // the first is the next one
    std::string prefix;                      // removed from every name
    std::string targetFolder;
    std::string password;                    // may be empty
    bool skipExisting = false;
    bool openFolderWhenDone = false;
};

// The start step before the worker: trims the target folder in place and
// creates it. False with "Can not create folder:\r\n%s" in `message` when
// it cannot be created.
bool PrepareTargetFolder(std::string& targetFolder, std::string& message);

// Runs the task on the caller's thread. The sink's counter label gets the
// info text "%s Files,  %s" and its phase label the current entry's name;
// `opener` (may be null) is asked to show the target folder after a
// completed run when the task says so.
RunResult RunExtraction(ExtractTask& task, RunSink& sink, const CancelFlag& cancel,
                        FolderOpener* opener);

}  // namespace kivo::zip
