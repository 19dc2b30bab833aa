#include "app/DesktopConfiguration.h"

#include "app/Shortcuts.h"

namespace kivo {

bool DesktopConfiguration::DesktopShortcutExists() {
    return kivo::DesktopShortcutExists(kShortcutName);
}

bool DesktopConfiguration::CreateDesktopShortcut() {
    return kivo::CreateDesktopShortcut(kShortcutName);
}

bool DesktopConfiguration::DeleteDesktopShortcut() {
    return kivo::DeleteDesktopShortcut(kShortcutName);
}

void DesktopConfiguration::Uninstall(QWidget* parent) { kivo::Uninstall(parent, target_); }

}  // namespace kivo
