#pragma once
// "Extract Zip File": the target folder, the skip and open-folder options
// and the password for one extraction task. Unlike the other run dialogs
// it stays open after a failure, and "Start" then resumes from the entry
// that failed.
#include <memory>
#include <string>
#include <vector>

#include "ui/run/RunDialogBase.h"
#include "zip/ExtractRun.h"

class QCheckBox;
class QLineEdit;

namespace kivo {

// Shows a folder in the desktop's file manager.
class DesktopFolderOpener : public zip::FolderOpener {
public:
    void Open(const std::string& folder) override;
};

class ExtractDialog : public RunDialogBase {
    Q_OBJECT

public:
    // `directory` stays loaded, with the archive open, while the dialog lives.
    ExtractDialog(zip::ZipDirectory& directory, std::vector<const zip::ZipEntry*> entries,
                  const std::string& prefix, DialogLauncher& launcher, QWidget* parent);

    // Extraction has no saved operations.
    void FillFrom(const Operation&) override {}

    // Where a completed run shows its target folder; tests record instead.
    void SetFolderOpener(zip::FolderOpener* opener) { opener_ = opener; }
    const zip::ExtractTask& task() const { return task_; }
    QLineEdit* targetEdit() const { return target_; }
    QLineEdit* passwordEdit() const { return password_; }
    QCheckBox* skipExisting() const { return skip_; }
    QCheckBox* openFolder() const { return open_; }

public slots:
    void Browse();  // "..."

protected:
    Job PrepareJob() override;
    void Refresh() override;
    void HandleEnd(const RunResult& result) override;

private:
    zip::ExtractTask task_;
    DesktopFolderOpener desktopOpener_;
    zip::FolderOpener* opener_ = &desktopOpener_;
    QLineEdit* target_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* skip_ = nullptr;
    QCheckBox* open_ = nullptr;
};

}  // namespace kivo
