#pragma once
// "Kivo Configure": switches the desktop launcher on and off and starts the
// uninstall. The launcher and uninstall mechanics belong to the desktop
// program's start-up code, which installs them here before any window
// opens.
#include <QDialog>

class QCheckBox;

namespace kivo {

class ConfigureActions {
public:
    virtual ~ConfigureActions() = default;
    virtual bool DesktopShortcutExists() = 0;
    virtual bool CreateDesktopShortcut() = 0;
    virtual bool DeleteDesktopShortcut() = 0;
    // Returns only when the program goes on running.
    virtual void Uninstall(QWidget* parent) = 0;
};

// The actions "Configure..." works with; none until the program installs
// them, and then the main window's command opens nothing.
void SetConfigureActions(ConfigureActions* actions);
ConfigureActions* InstalledConfigureActions();

class ConfigureDialog : public QDialog {
public:
    explicit ConfigureDialog(ConfigureActions& actions, QWidget* parent = nullptr);

    QCheckBox* desktopBox() const { return desktopBox_; }

    // OK: the desktop launcher follows the box; failures show next time.
    void accept() override;

private:
    ConfigureActions& actions_;
    QCheckBox* desktopBox_ = nullptr;
};

}  // namespace kivo
