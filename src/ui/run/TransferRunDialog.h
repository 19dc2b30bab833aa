#pragma once
// What "Kivo Copy" and "Kivo Move" share: the destination folder with its
// "..." button and remembered folder, the overwrite policy and the skip
// box. The destination is created, with its parents, before a run starts.
#include "ops/CopyWorker.h"
#include "ui/run/RunDialogBase.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QVBoxLayout;

namespace kivo {

enum TransferControlId : int {
    ID_DESTINATION = 1023,
    ID_DESTINATION_BROWSE = 1024,
    ID_OVERWRITE_ALWAYS = 1025,
    ID_OVERWRITE_NEVER = 1026,
    ID_OVERWRITE_IF_OLDER = 1027,
    ID_SKIP_IF_MISSING = 1059,
};

class TransferRunDialog : public RunDialogBase {
    Q_OBJECT

public:
    void FillFrom(const Operation& operation) override;

public slots:
    // "...": the folder chooser, starting at the destination or else at the
    // remembered folder; a chosen folder is remembered and becomes the
    // destination.
    void Browse();

protected:
    // `folderSetting` names the remembered folder ("copyfolder").
    TransferRunDialog(const QString& caption, const char* folderSetting, const std::string& setName,
                      bool autoStart, DialogLauncher& launcher, QWidget* parent);

    // The controls up to the skip box, in their order.
    void AddTransferControls(QVBoxLayout* layout);
    // Trims the destination, shows the trimmed text and creates the folder;
    // false, after telling the user, when it cannot be created.
    bool PrepareDestination(CopyOptions& options);

    void Refresh() override;
    bool ReadyToAutoStart() const override;

    std::string TrimmedDestination() const;

private:
    const char* folderSetting_;
    QLineEdit* destination_ = nullptr;
    QButtonGroup* overwrite_ = nullptr;
    QCheckBox* skipIfMissing_ = nullptr;
};

}  // namespace kivo
