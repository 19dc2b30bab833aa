#pragma once
// The launcher the program uses: each request opens the real window. Tests
// derive from it to record or replace single requests.
#include "ui/common/DialogLauncher.h"

namespace kivo {

class WindowLauncher : public DialogLauncher {
public:
    std::unique_ptr<FileSet> CreateSet(QWidget* parent,
                                       const std::vector<std::string>& namesInUse) override;
    bool EditSet(QWidget* parent, FileSet& set, const std::vector<std::string>& namesInUse) override;
    std::unique_ptr<FileSet> CreateNamedSet(QWidget* parent, const std::string& fixedName) override;
    bool BindOperation(QWidget* parent, Operation& operation, bool isNew) override;
    bool RunOperation(QWidget* parent, int kind, const std::string& setName,
                      const Operation* saved) override;
    void ShowZipViewer(QWidget* parent) override;
    void ShowAbout(QWidget* parent) override;
    void ShowConfigure(QWidget* parent) override;
};

// What the program opens by default.
DialogLauncher& DefaultDialogLauncher();

}  // namespace kivo
