#include "ui/run/ZipRunDialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/Operation.h"
#include "model/ZipOutputPath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/common/Accessibility.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/LocalClock.h"
#include "ui/common/MessageBoxes.h"
#include "zip/ZipWorker.h"

namespace kivo {

namespace {

constexpr char kZipPathSetting[] = "zipfilepath";

}  // namespace

ZipRunDialog::ZipRunDialog(const std::string& setName, bool autoStart, DialogLauncher& launcher,
                           QWidget* parent)
    : RunDialogBase(tr("Kivo Zip"), setName, autoStart, launcher, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooserGroup(layout);

    auto* box = new QGroupBox(tr("Output Path"), this);
    auto* row = new QHBoxLayout(box);
    outputPath_ = new QLineEdit(QString::fromStdString(GetSetting(kZipPathSetting)), box);
    SetBoxReadOnly(outputPath_, true);
    outputPath_->setAccessibleName(tr("Output Path"));
    auto* browse = new QPushButton(tr("..."), box);
    browse->setAccessibleName(tr("Choose output path..."));
    browse->setAutoDefault(false);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    row->addWidget(outputPath_, 1);
    row->addWidget(browse);
    layout->addWidget(box);
    AddControl(ID_ZIP_OUTPUT_PATH, outputPath_);
    AddControl(ID_ZIP_BROWSE, browse);
    connect(browse, &QPushButton::clicked, this, &ZipRunDialog::Browse);

    auto* passwordRow = new QHBoxLayout;
    auto* passwordLabel = new QLabel(tr("Encrypt with password:"), this);
    password_ = new QLineEdit(this);  // shown as typed, never masked
    passwordLabel->setBuddy(password_);
    password_->setAccessibleName(tr("Encrypt with password:"));
    passwordRow->addWidget(passwordLabel);
    passwordRow->addWidget(password_, 1);
    aes_ = new QCheckBox(tr("Use AES-256 encryption"), this);
    passwordRow->addWidget(aes_);
    layout->addLayout(passwordRow);
    AddControl(ID_ZIP_PASSWORD, password_);
    AddControl(ID_ZIP_AES, aes_);

    AddProgressArea(layout);
    AddButtons(layout);
}

void ZipRunDialog::FillFrom(const Operation& operation) {
    password_->setText(QString::fromStdString(operation.zipPassword));
    aes_->setChecked(ZipAes(operation.flags));
    // Without a folder the path would point at the root of the file system;
    // the dialog then waits for a path chosen with "...".
    if (Trim(operation.destination).empty()) {
        outputPath_->clear();
        return;
    }
    outputPath_->setText(QString::fromStdString(SavedZipOutputPath(operation, LocalTimeNow())));
}

void ZipRunDialog::Refresh() {
    RunDialogBase::Refresh();
    if (outputPath_->text().isEmpty()) button(ID_START)->setEnabled(false);
}

bool ZipRunDialog::ReadyToAutoStart() const {
    return RunDialogBase::ReadyToAutoStart() && !outputPath_->text().isEmpty();
}

void ZipRunDialog::Browse() {
    QString start = outputPath_->text();
    if (start.isEmpty()) start = QString::fromStdString(GetSetting(kZipPathSetting));
    // The suffix is added here rather than by the chooser: some desktops'
    // choosers confirm overwriting only the name as typed, so only here is
    // it known that the name changed and its file must be asked about.
    QString chosen =
        ChooseSaveFile(this, QString(), start, tr("Zip Files (*.zip)"), QString());
    if (chosen.isEmpty()) return;
    if (QFileInfo(chosen).suffix().isEmpty()) {
        chosen += QStringLiteral(".zip");
        if (PathExists(chosen.toStdString()) &&
            !AskYesNo(this, tr("%1 already exists.\nDo you want to replace it?").arg(chosen))) {
            return;
        }
    }
    outputPath_->setText(chosen);
    PutSetting(kZipPathSetting, chosen.toStdString());
    QueueRefresh();
}

RunDialogBase::Job ZipRunDialog::PrepareJob() {
    zip::ZipJob job;
    job.outputPath = outputPath_->text().toStdString();
    job.password = Trim(password_->text().toStdString());
    job.aes = aes_->isChecked();
    return [set = SelectedSetCopy(), job](CancelFlag& cancel, RunSink& sink) {
        return zip::ZipWorker(set.get(), job, cancel, sink);
    };
}

}  // namespace kivo
