#pragma once
// Links as the stores meet them: a store may be a symbolic link to a file
// kept elsewhere (a synced folder, say), and a change of both stores keeps
// the set store's previous version under a second name while it works.
#include <string>

namespace kivo {

// The file a write through `path` must reach for a symbolic link there to
// stay a link: `path` itself when it is not a link, else the file the link
// names, followed through further links (a relative target is taken from
// the folder of the link that holds it). The target need not exist: a
// dangling link names the file a write creates. Empty when the links go
// round in a loop or nest too deep.
std::string WriteThroughPath(const std::string& path);

// A second name `to` for the file `from` (link(2)); 0 or the errno. Fails
// through fault point Rename on `to`, as the other ways a name is given.
int HardLink(const std::string& from, const std::string& to);

}  // namespace kivo
