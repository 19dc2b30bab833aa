#pragma once
// Where an entry lands: the target folder joined with the entry's name after
// the prefix, refused when it could end anywhere but inside the target.
#include <string>

namespace kivo::zip {

// The entry name from the prefix's length on, leading slashes removed.
std::string NameAfterPrefix(const std::string& name, const std::string& prefix);

// Joins and normalises. False (nothing to write) when the target folder is
// empty, when the joined path is too long for the system, when `relative`
// has a ".." component, or when an existing folder on the way below the
// target folder is a symbolic link, which could lead anywhere. The target
// folder itself is the user's choice and may be a link.
bool MakeTargetPath(const std::string& targetFolder, const std::string& relative,
                    std::string& out);

// Creates a folder below the target and its missing parents, one level at a
// time and with every byte of each name: entry names may end in blanks or
// control characters, which MakeFolders trims. 0 or the error of the
// failed level.
int MakeEntryFolders(const std::string& path);

}  // namespace kivo::zip
