#include "ui/run/TransferRunDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/Operation.h"
#include "model/StringTable.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/OperationControls.h"
#include "ui/common/PickFolder.h"
#include "ui/common/SetChooser.h"
#include "ui/common/Texts.h"

namespace kivo {

TransferRunDialog::TransferRunDialog(const QString& caption, const char* folderSetting,
                                     const std::string& setName, bool autoStart,
                                     DialogLauncher& launcher, QWidget* parent)
    : RunDialogBase(caption, setName, autoStart, launcher, parent), folderSetting_(folderSetting) {}

void TransferRunDialog::AddTransferControls(QVBoxLayout* layout) {
    auto* box = new QGroupBox(tr("Destination Folder"), this);
    auto* row = new QHBoxLayout(box);
    destination_ = new QLineEdit(QString::fromStdString(GetSetting(folderSetting_)), box);
    destination_->setAccessibleName(tr("Destination Folder"));
    auto* browse = new QPushButton(tr("..."), box);
    browse->setAutoDefault(false);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    row->addWidget(destination_, 1);
    row->addWidget(browse);
    layout->addWidget(box);
    AddControl(ID_DESTINATION, destination_);
    AddControl(ID_DESTINATION_BROWSE, browse);
    connect(destination_, &QLineEdit::textChanged, this, &TransferRunDialog::QueueRefresh);
    connect(browse, &QPushButton::clicked, this, &TransferRunDialog::Browse);

    overwrite_ = AddRadioGroup(layout, this, tr("Overwrite Destination File"), ID_OVERWRITE_ALWAYS,
                               {"Always", "Never", "If Older"});
    overwrite_->button(OVERWRITE_IF_OLDER)->setChecked(true);

    skipIfMissing_ = new QCheckBox(tr("Skip if the destination file not exists."), this);
    layout->addWidget(skipIfMissing_);
    AddControl(ID_SKIP_IF_MISSING, skipIfMissing_);
}

void TransferRunDialog::FillFrom(const Operation& operation) {
    destination_->setText(QString::fromStdString(operation.destination));
    QAbstractButton* mode = overwrite_->button(operation.overwriteMode);
    if (mode != nullptr) mode->setChecked(true);
    skipIfMissing_->setChecked(SkipIfMissing(operation.flags));
}

std::string TransferRunDialog::TrimmedDestination() const {
    return Trim(destination_->text().toStdString());
}

void TransferRunDialog::Refresh() {
    RunDialogBase::Refresh();
    if (TrimmedDestination().empty()) button(ID_START)->setEnabled(false);
}

bool TransferRunDialog::ReadyToAutoStart() const {
    return RunDialogBase::ReadyToAutoStart() && !TrimmedDestination().empty();
}

void TransferRunDialog::Browse() {
    if (BrowseForFolder(this, destination_, folderSetting_)) QueueRefresh();
}

bool TransferRunDialog::PrepareDestination(CopyOptions& options) {
    options.overwriteMode = std::max(0, overwrite_->checkedId());
    options.skipIfMissing = skipIfMissing_->isChecked() ? 1 : 0;
    // Start is disabled for an empty destination, but a queued auto-start
    // must not copy into the working folder either.
    return CreateTypedFolder(this, destination_, options.destinationFolder);
}

}  // namespace kivo
