#pragma once
// "Kivo Copy": the set's files into a destination folder.
#include "ui/run/TransferRunDialog.h"

namespace kivo {

class CopyRunDialog : public TransferRunDialog {
    Q_OBJECT

public:
    CopyRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                  QWidget* parent = nullptr);

protected:
    Job PrepareJob() override;
};

}  // namespace kivo
