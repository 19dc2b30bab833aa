#pragma once
// "Kivo Move": the set's files into a destination folder, their sources
// deleted and the source folders this empties removed.
#include "ui/run/TransferRunDialog.h"

class QButtonGroup;

namespace kivo {

class MoveRunDialog : public TransferRunDialog {
    Q_OBJECT

public:
    MoveRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                  QWidget* parent = nullptr);

    void FillFrom(const Operation& operation) override;

protected:
    Job PrepareJob() override;

private:
    QButtonGroup* emptyFolders_ = nullptr;
};

}  // namespace kivo
