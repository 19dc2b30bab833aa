#pragma once
// The description column of a set's entry, shown by the set editor and the
// command line.
#include <string>

namespace kivo {

class SetEntry;

// What an entry's path names right now; the set store does not record it.
enum class EntryKind { Missing, File, Folder };

// Missing also for a path that is no full path.
EntryKind ClassifyEntry(const std::string& path);

// Missing: empty. File: "Individual File". Folder: "Scan Sub-folder; " when
// sub-folders are scanned, followed by "All Files", "Includ Only: <patterns>"
// or "Exclude: <patterns>", the patterns joined by "; ".
std::string DescribeEntry(const SetEntry& entry, EntryKind kind);
// The same, looking the path up in the file system.
std::string DescribeEntry(const SetEntry& entry);

}  // namespace kivo
