#include "ui/run/RunDialogFactory.h"

#include "model/Operation.h"
#include "ui/run/CopyRunDialog.h"
#include "ui/run/DeleteRunDialog.h"
#include "ui/run/MoveRunDialog.h"
#include "ui/run/ZipRunDialog.h"

namespace kivo {

std::unique_ptr<RunDialogBase> MakeRunDialog(int kind, const std::string& setName,
                                         const Operation* saved, DialogLauncher& launcher,
                                         QWidget* parent) {
    const bool autoStart = saved != nullptr;
    std::unique_ptr<RunDialogBase> dialog;
    switch (kind) {
    case OPERATION_DELETE:
        dialog = std::make_unique<DeleteRunDialog>(setName, autoStart, launcher, parent);
        break;
    case OPERATION_COPY:
        dialog = std::make_unique<CopyRunDialog>(setName, autoStart, launcher, parent);
        break;
    case OPERATION_MOVE:
        dialog = std::make_unique<MoveRunDialog>(setName, autoStart, launcher, parent);
        break;
    case OPERATION_ZIP:
        dialog = std::make_unique<ZipRunDialog>(setName, autoStart, launcher, parent);
        break;
    default:
        return nullptr;
    }
    if (saved != nullptr) dialog->FillFrom(*saved);
    return dialog;
}

}  // namespace kivo
