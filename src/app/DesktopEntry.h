#pragma once
// The text of a launcher file (freedesktop desktop entry) that starts a
// program by its full path.
#include <optional>
#include <string>

namespace kivo {

// The icon name under which the program's icon is installed.
inline constexpr char kDesktopIconName[] = "kivo";

// The Exec value that runs `program` with no arguments: quoted when the path
// holds a character the launcher would read as syntax, with '"', '`', '$'
// and '\' escaped inside the quotes, '%' doubled, and every '\' of the
// result doubled once more, as the value of a string key requires.
std::string ExecValue(const std::string& program);

// The whole entry: Type, Name and Comment `name`, TryExec and Exec the
// program, Icon the program's icon. Empty when the path cannot be written
// into a desktop entry (not UTF-8, or holding control characters).
std::optional<std::string> DesktopEntryText(const std::string& name, const std::string& program);

}  // namespace kivo
