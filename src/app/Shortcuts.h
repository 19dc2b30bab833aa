#pragma once
// The first-run actions. The desktop and program-menu shortcuts are made by
// the configuration code; until it exists a first run only records its
// marker.
#include "app/FirstRun.h"

namespace kivo {

FirstRunActions CreateShortcutsOnFirstRun();

}  // namespace kivo
