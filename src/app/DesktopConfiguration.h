#pragma once
// What the Configure dialog does on this desktop: the launcher named "Kivo"
// on the user's desktop, and the uninstall of the running program.
#include "app/Uninstall.h"
#include "ui/main/ConfigureDialog.h"

namespace kivo {

class DesktopConfiguration : public ConfigureActions {
public:
    DesktopConfiguration() : target_(RunningProgram()) {}
    explicit DesktopConfiguration(UninstallTarget target) : target_(std::move(target)) {}

    bool DesktopShortcutExists() override;
    bool CreateDesktopShortcut() override;
    bool DeleteDesktopShortcut() override;
    void Uninstall(QWidget* parent) override;

private:
    UninstallTarget target_;
};

}  // namespace kivo
