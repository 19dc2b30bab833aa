#pragma once
// The machine-wide first-run marker "InitFlag" (organisation "KALDORWORKS",
// application "Kivo", system scope).
//
// Only an administrator can write the system scope here. An ordinary user's
// first run therefore keeps the marker in the user's own scope instead;
// otherwise every start would count as a first run and re-create the
// shortcuts the user may have deleted on purpose.
#include <functional>

namespace kivo {

inline constexpr char kFirstRunApplication[] = "Kivo";
inline constexpr char kFirstRunValue[] = "InitFlag";

// The first-run actions: creating the desktop and program-menu shortcuts
// (CreateShortcutsOnFirstRun, app/Shortcuts.h).
using FirstRunActions = std::function<void()>;

// True when a marker is found in the system scope or, failing that, in the
// user scope.
bool FirstRunMarkerPresent();

// Start-up step 1: without a marker, writes it (system scope, else user
// scope), runs `actions` and returns true. With a marker returns false and
// does nothing. Failures are silent: a marker that cannot be written at all
// only makes the next start a first run again.
bool HandleFirstRun(const FirstRunActions& actions);

}  // namespace kivo
