#include "ui/DialogLauncher.h"

#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/RowRoles.h"
#include "ui/RunDialogs.h"

namespace kivo {

std::unique_ptr<FileSet> DialogLauncher::CreateSet(QWidget*, const std::vector<std::string>&) {
    return nullptr;
}

bool DialogLauncher::EditSet(QWidget*, FileSet&, const std::vector<std::string>&) { return false; }

std::unique_ptr<FileSet> DialogLauncher::CreateNamedSet(QWidget*, const std::string&) {
    return nullptr;
}

bool DialogLauncher::BindOperation(QWidget*, Operation&, bool) { return false; }

bool DialogLauncher::RunOperation(QWidget* parent, int kind, const std::string& setName,
                                  const Operation* saved) {
    if (kind == IMAGE_UNZIP) {
        ShowZipViewer(parent);
        return false;
    }
    std::unique_ptr<RunDialog> dialog = MakeRunDialog(kind, setName, saved, *this, parent);
    return dialog != nullptr && dialog->exec() == QDialog::Accepted;
}

void DialogLauncher::ShowZipViewer(QWidget*) {}
void DialogLauncher::ShowAbout(QWidget*) {}
void DialogLauncher::ShowConfigure(QWidget*) {}

DialogLauncher& DefaultDialogLauncher() {
    static DialogLauncher launcher;
    return launcher;
}

}  // namespace kivo
