#include "ui/main/WindowLauncher.h"

#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/bind/BindKindDialogs.h"
#include "ui/main/AboutDialog.h"
#include "ui/main/ConfigureDialog.h"
#include "ui/main/RowRoles.h"
#include "ui/run/RunDialogFactory.h"
#include "ui/sets/SetEditorDialog.h"
#include "ui/zipview/ZipViewer.h"

namespace kivo {

std::unique_ptr<FileSet> WindowLauncher::CreateSet(QWidget* parent,
                                                   const std::vector<std::string>& namesInUse) {
    SetEditorDialog editor(nullptr, namesInUse, true, QString(), parent);
    if (editor.exec() != QDialog::Accepted) return nullptr;
    auto set = std::make_unique<FileSet>();
    editor.ApplyTo(*set);
    return set;
}

bool WindowLauncher::EditSet(QWidget* parent, FileSet& set,
                             const std::vector<std::string>& namesInUse) {
    SetEditorDialog editor(&set, namesInUse, true, QString(), parent);
    if (editor.exec() != QDialog::Accepted) return false;
    editor.ApplyTo(set);
    return true;
}

std::unique_ptr<FileSet> WindowLauncher::CreateNamedSet(QWidget* parent, const std::string& fixedName) {
    SetEditorDialog editor(nullptr, {}, false, QString::fromStdString(fixedName), parent);
    if (editor.exec() != QDialog::Accepted) return nullptr;
    auto set = std::make_unique<FileSet>();
    editor.ApplyTo(*set);
    return set;
}

bool WindowLauncher::BindOperation(QWidget* parent, Operation& operation, bool) {
    // A new record holds the values of an empty dialog, so new and saved
    // operations are filled alike.
    std::unique_ptr<BindDialogBase> dialog = MakeBindDialog(operation.kind, parent);
    if (dialog == nullptr) return false;
    dialog->FillFrom(operation);
    if (dialog->exec() != QDialog::Accepted) return false;
    dialog->ApplyTo(operation);
    return true;
}

bool WindowLauncher::RunOperation(QWidget* parent, int kind, const std::string& setName,
                                  const Operation* saved) {
    if (kind == IMAGE_UNZIP) {
        ShowZipViewer(parent);
        return false;
    }
    std::unique_ptr<RunDialogBase> dialog = MakeRunDialog(kind, setName, saved, *this, parent);
    return dialog != nullptr && dialog->exec() == QDialog::Accepted;
}

void WindowLauncher::ShowZipViewer(QWidget* parent) {
    ZipViewer viewer(*this, parent);
    viewer.exec();
}

void WindowLauncher::ShowAbout(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

void WindowLauncher::ShowConfigure(QWidget* parent) {
    ConfigureActions* actions = InstalledConfigureActions();
    if (actions == nullptr) return;
    ConfigureDialog dialog(*actions, parent);
    dialog.exec();
}

DialogLauncher& DefaultDialogLauncher() {
    static WindowLauncher launcher;
    return launcher;
}

}  // namespace kivo
