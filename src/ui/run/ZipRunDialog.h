#pragma once
// "Kivo Zip": packs the set's files into one archive, optionally with a
// password. The output path is only ever chosen through "...".
#include "ui/run/RunDialogBase.h"

class QCheckBox;
class QLineEdit;

namespace kivo {

enum ZipControlId : int {
    ID_ZIP_OUTPUT_PATH = 1029,
    ID_ZIP_BROWSE = 1030,
    ID_ZIP_PASSWORD = 1031,
    ID_ZIP_AES = 1032,
};

class ZipRunDialog : public RunDialogBase {
    Q_OBJECT

public:
    ZipRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                 QWidget* parent = nullptr);

    // The password, the AES choice and an output path built from the folder
    // and name, with the local date and time when the operation asks for it.
    void FillFrom(const Operation& operation) override;

public slots:
    // "...": the save dialog for zip files; the chosen path is remembered.
    void Browse();

protected:
    Job PrepareJob() override;
    void Refresh() override;
    bool ReadyToAutoStart() const override;

private:
    QLineEdit* outputPath_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* aes_ = nullptr;
};

}  // namespace kivo
