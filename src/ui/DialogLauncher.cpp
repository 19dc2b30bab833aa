#include "ui/DialogLauncher.h"

#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/AboutDialog.h"
#include "ui/ConfigureDialog.h"

namespace kivo {

std::unique_ptr<FileSet> DialogLauncher::CreateSet(QWidget*, const std::vector<std::string>&) {
    return nullptr;
}

bool DialogLauncher::EditSet(QWidget*, FileSet&, const std::vector<std::string>&) { return false; }

std::unique_ptr<FileSet> DialogLauncher::CreateNamedSet(QWidget*, const std::string&) {
    return nullptr;
}

bool DialogLauncher::BindOperation(QWidget*, Operation&, bool) { return false; }

bool DialogLauncher::RunOperation(QWidget*, int, const std::string&, const Operation*) {
    return false;
}

void DialogLauncher::ShowZipViewer(QWidget*) {}
void DialogLauncher::ShowAbout(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

void DialogLauncher::ShowConfigure(QWidget* parent) {
    ConfigureActions* actions = InstalledConfigureActions();
    if (actions == nullptr) return;
    ConfigureDialog dialog(*actions, parent);
    dialog.exec();
}

DialogLauncher& DefaultDialogLauncher() {
    static DialogLauncher launcher;
    return launcher;
}

}  // namespace kivo
