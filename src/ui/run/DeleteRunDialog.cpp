#include "ui/run/DeleteRunDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "model/Operation.h"
#include "platform/Paths.h"
#include "ui/common/OperationControls.h"

namespace kivo {

namespace {

constexpr int kPassesMaxLength = 3;

}  // namespace

DeleteRunDialog::DeleteRunDialog(const std::string& setName, bool autoStart,
                                 DialogLauncher& launcher, QWidget* parent)
    : RunDialogBase(tr("Kivo Delete"), setName, autoStart, launcher, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooserGroup(layout);
    emptyFolders_ = AddEmptyFoldersGroup(layout, this, tr("Remove Empty Folders"));

    auto* passesRow = new QHBoxLayout;
    auto* before = new QLabel(tr("Erase the files "), this);
    before->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    passes_ = new QLineEdit(QStringLiteral("0"), this);
    passes_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), passes_));
    passes_->setMaximumWidth(passes_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    before->setBuddy(passes_);
    passes_->setAccessibleName(tr("Erase the files"));
    auto* after = new QLabel(tr("times before deleting (257 Max)"), this);
    passesRow->addWidget(before, 1);
    passesRow->addWidget(passes_);
    passesRow->addWidget(after, 1);
    layout->addLayout(passesRow);
    AddControl(ID_DELETE_PASSES, passes_);

    AddProgressArea(layout);

    auto* warning = new QLabel(tr("Warning:"), this);
    MakeRed(warning);
    AddControl(ID_DELETE_WARNING, warning);
    layout->addWidget(warning);
    layout->addWidget(new QLabel(tr("This will delete a set of folders and files."), this));
    layout->addWidget(new QLabel(tr("The deleted files and folders can not be recovered."), this));

    AddButtons(layout);
}

void DeleteRunDialog::FillFrom(const Operation& operation) {
    passes_->setText(QString::number(operation.erasePasses));
    QAbstractButton* mode = emptyFolders_->button(EmptyFolderModeOf(operation.flags));
    if (mode != nullptr) mode->setChecked(true);
}

void DeleteRunDialog::InitialFocus() {
    passes_->setMaxLength(kPassesMaxLength);
    passes_->setFocus();
    passes_->selectAll();
}

RunDialogBase::Job DeleteRunDialog::PrepareJob() {
    DeleteOptions options;
    // Not checked here: the engine reads the leading digits and caps them.
    options.passesText = passes_->text().toStdString();
    options.removeEmptyMode = std::max(0, emptyFolders_->checkedId());
    options.dataFolder = DataFolder();
    return [set = SelectedSetCopy(), options, runner = runner_](CancelFlag& cancel,
                                                                 RunSink& sink) {
        return runner(set.get(), options, cancel, sink);
    };
}

}  // namespace kivo
