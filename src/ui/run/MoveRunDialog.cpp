#include "ui/run/MoveRunDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QVBoxLayout>

#include "model/Operation.h"
#include "platform/Paths.h"
#include "ops/MoveWorker.h"
#include "ui/common/OperationControls.h"

namespace kivo {

MoveRunDialog::MoveRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                             QWidget* parent)
    : TransferRunDialog(tr("Kivo Move"), "movefolder", setName, autoStart, launcher, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooserGroup(layout);
    AddTransferControls(layout);
    emptyFolders_ = AddEmptyFoldersGroup(layout, this, tr("Remove Empty Source Folders"));
    AddProgressArea(layout);
    AddButtons(layout);
}

void MoveRunDialog::FillFrom(const Operation& operation) {
    TransferRunDialog::FillFrom(operation);
    QAbstractButton* mode = emptyFolders_->button(EmptyFolderModeOf(operation.flags));
    if (mode != nullptr) mode->setChecked(true);
}

RunDialogBase::Job MoveRunDialog::PrepareJob() {
    MoveOptions options;
    if (!PrepareDestination(options)) return {};
    options.removeEmptyMode = std::max(0, emptyFolders_->checkedId());
    options.dataFolder = DataFolder();
    return [set = SelectedSetCopy(), options](CancelFlag& cancel, RunSink& sink) {
        return MoveWorker(set.get(), options, cancel, sink);
    };
}

}  // namespace kivo
