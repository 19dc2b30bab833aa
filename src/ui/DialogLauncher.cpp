#include "ui/DialogLauncher.h"

#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/BindDialogs.h"
#include "ui/RowRoles.h"
#include "ui/RunDialogs.h"
#include "ui/SetEditorDialog.h"
#include "ui/AboutDialog.h"
#include "ui/ConfigureDialog.h"
#include "ui/ZipViewer.h"

namespace kivo {

std::unique_ptr<FileSet> DialogLauncher::CreateSet(QWidget* parent,
                                                   const std::vector<std::string>& namesInUse) {
    SetEditorDialog editor(nullptr, namesInUse, true, QString(), parent);
    if (editor.exec() != QDialog::Accepted) return nullptr;
    auto set = std::make_unique<FileSet>();
    editor.ApplyTo(*set);
    return set;
}

bool DialogLauncher::EditSet(QWidget* parent, FileSet& set,
                             const std::vector<std::string>& namesInUse) {
    SetEditorDialog editor(&set, namesInUse, true, QString(), parent);
    if (editor.exec() != QDialog::Accepted) return false;
    editor.ApplyTo(set);
    return true;
}

std::unique_ptr<FileSet> DialogLauncher::CreateNamedSet(QWidget* parent, const std::string& fixedName) {
    SetEditorDialog editor(nullptr, {}, false, QString::fromStdString(fixedName), parent);
    if (editor.exec() != QDialog::Accepted) return nullptr;
    auto set = std::make_unique<FileSet>();
    editor.ApplyTo(*set);
    return set;
}

bool DialogLauncher::BindOperation(QWidget* parent, Operation& operation, bool) {
    // A new record holds the values of an empty dialog, so new and saved
    // operations are filled alike.
    std::unique_ptr<BindDialog> dialog = MakeBindDialog(operation.kind, parent);
    if (dialog == nullptr) return false;
    dialog->FillFrom(operation);
    if (dialog->exec() != QDialog::Accepted) return false;
    dialog->ApplyTo(operation);
    return true;
}

bool DialogLauncher::RunOperation(QWidget* parent, int kind, const std::string& setName,
                                  const Operation* saved) {
    if (kind == IMAGE_UNZIP) {
        ShowZipViewer(parent);
        return false;
    }
    std::unique_ptr<RunDialog> dialog = MakeRunDialog(kind, setName, saved, *this, parent);
    return dialog != nullptr && dialog->exec() == QDialog::Accepted;
}

void DialogLauncher::ShowZipViewer(QWidget* parent) {
    ZipViewer viewer(parent);
    viewer.exec();
}

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
