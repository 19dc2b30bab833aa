#include "ui/run/CopyRunDialog.h"

#include <QVBoxLayout>

namespace kivo {

CopyRunDialog::CopyRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                             QWidget* parent)
    : TransferRunDialog(tr("Kivo Copy"), "copyfolder", setName, autoStart, launcher, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooserGroup(layout);
    AddTransferControls(layout);
    AddProgressArea(layout);
    AddButtons(layout);
}

RunDialogBase::Job CopyRunDialog::PrepareJob() {
    CopyOptions options;
    if (!PrepareDestination(options)) return {};
    return [set = SelectedSetCopy(), options](CancelFlag& cancel, RunSink& sink) {
        return CopyWorker(set.get(), options, cancel, sink);
    };
}

}  // namespace kivo
