#pragma once
// Removing Kivo from the computer, after the user's Yes: the two launchers
// (and the "Kaldorworks" menu folder when empty), the settings and the
// first-run markers (and each KALDORWORKS settings folder left empty), then
// the executable itself, after which the process ends at once with
// kUninstalledExitCode and writes nothing more. The user's data folder is
// never touched.
//
// An executable that the system's package manager installed is left to the
// package manager: removing it behind the manager's back would leave the
// package database claiming a file that is gone. Then the uninstall stops
// after the settings and says so.
#include <functional>
#include <string>

class QWidget;

namespace kivo {

inline constexpr int kUninstalledExitCode = 123;

// The package that owns `path`, or empty when none does.
using PackageOwner = std::function<std::string(const std::string& path)>;

// Asks dpkg; empty when dpkg is missing or knows no owner.
std::string DpkgOwnerOf(const std::string& path);

struct UninstallTarget {
    std::string executable;
    PackageOwner packageOwner;
};

// The running executable, checked through dpkg.
UninstallTarget RunningProgram();

enum class UninstallResult {
    Declined,        // the answer was not Yes: nothing changed
    PackageKept,     // a package owns the executable: the user was told
    ExecutableKept,  // the executable could not be deleted: the user was told
};

// Returns only when the program goes on running.
UninstallResult Uninstall(QWidget* parent, const UninstallTarget& target);

}  // namespace kivo
