#pragma once
// The program's two launchers ("shortcuts"): one on the user's desktop and
// one in the user's applications menu, in the folder "Kaldorworks" (desktop
// file id "Kaldorworks-Kivo.desktop", the id of the menu entry a package
// installs, so the user's own launcher replaces it instead of doubling it).
// Each launcher is the file "<name>.desktop" that starts the running
// executable. Every operation fails, silently, when the name is empty or
// its place is unavailable.
#include <string>

#include "app/FirstRun.h"

namespace kivo {

inline constexpr char kShortcutName[] = "Kivo";
inline constexpr char kProgramsFolderName[] = "Kaldorworks";

// The places, each ending with '/'; empty when unavailable. The desktop is
// the user's desktop folder, when it exists. The programs place is the
// user's applications folder plus "Kaldorworks/", created when missing.
std::string DesktopPlace();
std::string ProgramsPlace();

bool DesktopShortcutExists(const std::string& name);
// True at once when the launcher exists, else when it was written.
bool CreateDesktopShortcut(const std::string& name);
// True at once when there is none, else when it is gone.
bool DeleteDesktopShortcut(const std::string& name);

bool ProgramsShortcutExists(const std::string& name);
bool CreateProgramsShortcut(const std::string& name);
// Also removes the "Kaldorworks" folder when nothing else is left in it.
// True when the launcher is gone.
bool DeleteProgramsShortcut(const std::string& name);

// The first-run actions: both launchers named "Kivo"; an existing one is
// left as it is.
FirstRunActions CreateShortcutsOnFirstRun();

}  // namespace kivo
