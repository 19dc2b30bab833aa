#include "ui/bind/BindDialogBase.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "model/Operation.h"
#include "platform/Paths.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/OperationControls.h"
#include "ui/common/SetChooser.h"

namespace kivo {

namespace {

constexpr int kWidthUnits = 251;

}  // namespace

BindDialogBase::BindDialogBase(const QString& caption, int heightUnits, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    const DialogUnits units(font());
    setMinimumWidth(units.X(kWidthUnits));
    resize(units.Size(kWidthUnits, heightUnits));
}

BindDialogBase::~BindDialogBase() = default;

QWidget* BindDialogBase::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QPushButton* BindDialogBase::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

void BindDialogBase::AddControl(int id, QWidget* widget) { controls_[id] = widget; }

void BindDialogBase::AddChooser(QVBoxLayout* layout) {
    auto* label = new QLabel(tr("Kivo:"), this);
    // Without a launcher the chooser has no "Create..." or "Property...".
    chooser_ = new SetChooser(this, nullptr);
    chooser_->setAccessibleName(tr("Kivo:"));
    chooser_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    label->setBuddy(chooser_);
    layout->addWidget(label);
    layout->addWidget(chooser_);
    AddControl(ID_BIND_SET, chooser_);
    connect(chooser_, &SetChooser::setsChanged, this, &BindDialogBase::QueueRefresh);
}

void BindDialogBase::AddDestination(QVBoxLayout* layout, const char* setting) {
    folderSetting_ = setting;
    auto* label = new QLabel(tr("Destination Folder:"), this);
    destination_ = new QLineEdit(this);
    destination_->setAccessibleName(tr("Destination Folder:"));
    label->setBuddy(destination_);
    auto* browse = new QPushButton(tr("..."), this);
    browse->setAutoDefault(false);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto* row = new QHBoxLayout;
    row->addWidget(destination_, 1);
    row->addWidget(browse);
    layout->addWidget(label);
    layout->addLayout(row);
    AddControl(ID_BIND_DESTINATION, destination_);
    AddControl(ID_BIND_BROWSE, browse);
    connect(destination_, &QLineEdit::textChanged, this, &BindDialogBase::QueueRefresh);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (BrowseForFolder(this, destination_, folderSetting_)) QueueRefresh();
    });
}

void BindDialogBase::AddButtons(QVBoxLayout* layout) {
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok_);
    row->addWidget(cancel);
    layout->addStretch(1);
    layout->addLayout(row);
    AddControl(ID_BIND_OK, ok_);
    AddControl(ID_BIND_CANCEL, cancel);
    connect(ok_, &QPushButton::clicked, this, &BindDialogBase::accept);
    connect(cancel, &QPushButton::clicked, this, &BindDialogBase::reject);
    ok_->setEnabled(false);
}

void BindDialogBase::FillFrom(const Operation& operation) {
    chooser_->SelectByName(operation.setName);
    QueueRefresh();
}

void BindDialogBase::ApplyTo(Operation& operation) const {
    const FileSet* set = chooser_->SelectedSet();
    if (set != nullptr) operation.setName = set->name;
}

void BindDialogBase::accept() {
    // Enter may press "OK" before a queued refresh has disabled it.
    Refresh();
    if (!ok_->isEnabled()) return;
    if (!Confirm()) return;
    QDialog::accept();
}

void BindDialogBase::Refresh() {
    refreshQueued_ = false;
    ok_->setEnabled(chooser_->SelectedSet() != nullptr);
}

void BindDialogBase::QueueRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, &BindDialogBase::Refresh);
}

std::string BindDialogBase::TrimmedDestination() const {
    return Trim(destination_->text().toStdString());
}

bool BindDialogBase::ConfirmDestination() {
    std::string folder;
    return CreateTypedFolder(this, destination_, folder);
}

void BindDialogBase::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    chooser_->setFocus();
}

}  // namespace kivo
