#pragma once
// Path helpers: canonical form, folder creation, the data folder and the
// two store paths.
#include <cerrno>
#include <string>

namespace kivo {

constexpr int kErrorDirectory = ENOTDIR;  // unusable path for MakeFolders

// Collapses runs of separators and removes trailing ones; the separator of
// the root "/" stays. Paths shorter than 3 bytes are left as they are.
// Never lengthens the path.
void NormalizePath(std::string& path);
std::string NormalizedPath(std::string path);

// The full path `path` with its "." and ".." steps taken as the kernel takes
// them: a ".." leaves the folder the path has reached at that point, so when
// the step before it is a symbolic link, the link is followed first (as
// `cd -P` does) and ".." leads to the parent of the link's target, not back
// to the folder holding the link. Steps that are no link are dropped by
// text, keeping the names as written. Separators are normalised. 0 with the
// result in `resolved`; EINVAL for a path that is not full, else the errno
// of the step the kernel would fail on (ENOENT, ENOTDIR, ELOOP, ...).
int ResolveParentSteps(const std::string& path, std::string& resolved);

// Creates a folder with all missing parents: 0 when it exists afterwards,
// kErrorDirectory for an unusable path, ENAMETOOLONG (nothing created) for
// a path of PATH_MAX bytes or more, else the errno of the failed mkdir.
int MakeFolders(const char* path);
inline int MakeFolders(const std::string& path) { return MakeFolders(path.c_str()); }

// The data folder holds the saved Zip passwords: when missing it is created
// (with its missing parents) for its owner alone, mode 0700. An existing
// folder is left as it is. 0 when it exists afterwards, else as MakeFolders.
int MakePrivateFolder(const std::string& path);

// Base name of the running executable (/proc/self/exe), without extension.
std::string ExecutableBaseName();

// $XDG_DATA_HOME (else ~/.local/share) + "/KALDORWORKS/" + base name
// [+ "/" + sub], created when missing (see MakePrivateFolder).
std::string DataFolder(const std::string& sub = std::string());

// The data folder of the program named `appName` (kivo-cli shares the
// desktop program's folder), not created.
std::string DataFolderOf(const std::string& appName);

// The two store files inside a data folder.
std::string SetStorePath(const std::string& dataFolder);
std::string BindingStorePath(const std::string& dataFolder);
// The lock file that writers of either store take turns on.
std::string StoreLockPath(const std::string& dataFolder);

// Text after the last separator / before it.
std::string BaseName(const std::string& path);
std::string ParentFolder(const std::string& path);
// folder + "/" + name without doubling a separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// Trims white space at both ends, as dialogs do with typed text.
std::string Trim(const std::string& text);

}  // namespace kivo
