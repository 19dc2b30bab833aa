#include "model/EntryDescription.h"

#include "model/EntryPath.h"
#include "model/FileSet.h"
#include "model/PatternList.h"
#include "model/StringTable.h"
#include "platform/FileSystem.h"

namespace kivo {

namespace {

// These two texts never had a string-table id.
constexpr const char* kIndividualFile = "Individual File";
constexpr const char* kScanSubfolder = "Scan Sub-folder";
constexpr const char* kJoinFormat = "%s; %s";

}  // namespace

EntryKind ClassifyEntry(const std::string& path) {
    // A path that is no full path names nothing, whatever the working
    // folder holds.
    if (!IsFullPath(path)) return EntryKind::Missing;
    if (IsFolder(path)) return EntryKind::Folder;
    if (PathExists(path)) return EntryKind::File;
    return EntryKind::Missing;
}

std::string DescribeEntry(const SetEntry& entry, EntryKind kind) {
    switch (kind) {
        case EntryKind::Missing:
            return std::string();
        case EntryKind::File:
            return kIndividualFile;
        case EntryKind::Folder:
            break;
    }
    const std::string partA = entry.includeSubfolders ? kScanSubfolder : "";
    std::string partB;
    if (entry.patterns.empty()) {
        partB = LoadText(IDS_ALL_FILES);
    } else {
        partB = FormatText(entry.filterMode == 0 ? IDS_INCLUDE_ONLY : IDS_EXCLUDE,
                           JoinPatterns(entry.patterns));
    }
    return partA.empty() ? partB : FormatWith(kJoinFormat, {partA, partB});
}

std::string DescribeEntry(const SetEntry& entry) {
    return DescribeEntry(entry, ClassifyEntry(entry.path));
}

}  // namespace kivo
