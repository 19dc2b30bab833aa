#include "ui/DialogLauncher.h"

#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/RowRoles.h"
#include "ui/RunDialogs.h"
#include "ui/SetEditorDialog.h"
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

void DialogLauncher::ShowZipViewer(QWidget* parent) {
    ZipViewer viewer(parent);
    viewer.exec();
}
void DialogLauncher::ShowAbout(QWidget*) {}
void DialogLauncher::ShowConfigure(QWidget*) {}

DialogLauncher& DefaultDialogLauncher() {
    static DialogLauncher launcher;
    return launcher;
}

}  // namespace kivo
