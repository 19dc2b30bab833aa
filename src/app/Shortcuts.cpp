#include "app/Shortcuts.h"

namespace kivo {

FirstRunActions CreateShortcutsOnFirstRun() {
    // Hook for the shortcut code: nothing to create yet.
    return FirstRunActions();
}

}  // namespace kivo
