#pragma once
// Reading and replacing a whole store file. Both stores are small and are
// rewritten in full after every change, so a save builds the new file beside
// the old one and renames it into place: a crash, a full disk or a failed
// write leaves the previous store whole instead of truncated.
#include <functional>
#include <string>

namespace kivo {

class Archive;

// Opens `path` for reading and hands a loading archive to `read`. False when
// the file cannot be opened; the result of `read` is returned otherwise.
bool ReadStoreFile(const std::string& path, const std::function<bool(Archive&)>& read);

// Writes the store through `write` to a temporary file in the same folder,
// flushes it to disk and renames it over `path`. On any failure the
// temporary file is removed and `path` is left as it was. A store that is
// read-only is not replaced, as writing to it would fail. A store that is a
// symbolic link is replaced at its target.
//
// The binding store holds Zip passwords as plain text, so no store is ever
// readable by anyone but its owner: the temporary file is created private,
// a new store gets mode 0600, and a replaced one keeps its owner's bits but
// loses every group and other bit. A mode that cannot be set fails the save.
bool ReplaceStoreFile(const std::string& path, const std::function<bool(Archive&)>& write);

}  // namespace kivo
