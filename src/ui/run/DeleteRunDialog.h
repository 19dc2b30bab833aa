#pragma once
// "Kivo Delete": overwrites the set's files the chosen number of times,
// deletes them and removes the folders this empties.
#include <functional>

#include "ops/DeleteWorker.h"
#include "ui/run/RunDialogBase.h"

class QButtonGroup;
class QLineEdit;

namespace kivo {

enum DeleteControlId : int {
    ID_DELETE_PASSES = 1021,
    ID_DELETE_WARNING = 1020,
    ID_EMPTY_FOLDERS_YES = 1061,
    ID_EMPTY_FOLDERS_NO = 1062,
    ID_EMPTY_FOLDERS_SUBFOLDERS = 1063,
};

class DeleteRunDialog : public RunDialogBase {
    Q_OBJECT

public:
    using Runner = std::function<RunResult(const FileSet*, const DeleteOptions&, CancelFlag&,
                                           RunSink&)>;

    DeleteRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                    QWidget* parent = nullptr);

    void FillFrom(const Operation& operation) override;
    // The engine the run calls; DeleteWorker unless a test replaces it.
    void setRunner(Runner runner) { runner_ = std::move(runner); }

protected:
    Job PrepareJob() override;
    void InitialFocus() override;

private:
    QButtonGroup* emptyFolders_ = nullptr;
    QLineEdit* passes_ = nullptr;
    Runner runner_ = DeleteWorker;
};

}  // namespace kivo
