#pragma once
// The first-run marker "InitFlag" (organisation "KALDORWORKS", application
// "Kivo"), kept in the user's own settings. The launchers a first run
// creates are the user's, so the marker is too: one machine-wide marker
// written by a first run as root would keep every other user's first run
// from creating theirs. A marker an older version left in the system scope
// is ignored, and left where it is (it may belong to the package).
#include <functional>

namespace kivo {

inline constexpr char kFirstRunApplication[] = "Kivo";
inline constexpr char kFirstRunValue[] = "InitFlag";

// The first-run actions: creating the desktop and program-menu shortcuts
// (CreateShortcutsOnFirstRun, app/Shortcuts.h).
using FirstRunActions = std::function<void()>;

// True when the user's settings hold the marker.
bool FirstRunMarkerPresent();

// Start-up step 1: without a marker, writes it in the user's settings, runs
// `actions` and returns true. With a marker returns false and
// does nothing. Failures are silent: a marker that cannot be written at all
// only makes the next start a first run again.
bool HandleFirstRun(const FirstRunActions& actions);

}  // namespace kivo
