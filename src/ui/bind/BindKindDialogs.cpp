#include "ui/bind/BindKindDialogs.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "model/Operation.h"
#include "platform/Paths.h"
#include "ui/common/OperationControls.h"

namespace kivo {

namespace {

constexpr int kPassesMaxLength = 3;
constexpr int kZipNameMaxLength = 32;
constexpr char kForbiddenNameCharacters[] = "/\\:*?\"<>|";

// The passes as the box holds them: its leading digits, 0 when it has none.
std::uint32_t LeadingNumber(const QString& text) {
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        value = value * 10 + static_cast<unsigned>(c.unicode() - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::numeric_limits<std::uint32_t>::max();
        }
    }
    return static_cast<std::uint32_t>(value);
}

QString Trimmed(const QLineEdit* box) {
    return QString::fromStdString(Trim(box->text().toStdString()));
}

void Check(QButtonGroup* group, int id) {
    QAbstractButton* button = group->button(id);
    if (button != nullptr) button->setChecked(true);
}

}  // namespace

bool IsUsableZipName(const QString& name) {
    const QString trimmed = QString::fromStdString(Trim(name.toStdString()));
    if (trimmed.isEmpty()) return false;
    for (const char c : std::string(kForbiddenNameCharacters)) {
        if (trimmed.contains(QLatin1Char(c))) return false;
    }
    return true;
}

// ---------------------------------------------------------------- Delete

BindDeleteDialog::BindDeleteDialog(QWidget* parent)
    : BindDialogBase(tr("Bind Kivo Delete"), 129, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooser(layout);
    const ControlRegistry registry = [this](int id, QWidget* w) { AddControl(id, w); };
    emptyFolders_ = AddEmptyFoldersGroup(layout, this, registry, tr("Remove Empty Folders"));

    auto* row = new QHBoxLayout;
    auto* before = new QLabel(tr("Erase the files "), this);
    passes_ = new QLineEdit(QStringLiteral("0"), this);
    passes_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), passes_));
    passes_->setMaximumWidth(passes_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    passes_->setAccessibleName(tr("Erase the files"));
    before->setBuddy(passes_);
    row->addWidget(before);
    row->addWidget(passes_);
    row->addWidget(new QLabel(tr("times before deleting (257 Max)"), this), 1);
    layout->addLayout(row);
    AddControl(ID_BIND_PASSES, passes_);
    AddButtons(layout);
}

void BindDeleteDialog::FillFrom(const Operation& operation) {
    BindDialogBase::FillFrom(operation);
    Check(emptyFolders_, EmptyFolderModeOf(operation.flags));
    const QString text = QString::number(operation.erasePasses);
    passes_->setText(text);
    // Typing stops at three digits; a longer stored count is still shown
    // whole, so that OK does not cut it.
    passes_->setMaxLength(std::max(kPassesMaxLength, static_cast<int>(text.size())));
}

void BindDeleteDialog::ApplyTo(Operation& operation) const {
    BindDialogBase::ApplyTo(operation);
    operation.erasePasses = LeadingNumber(passes_->text());
    // A stored mode the dialog has no button for stays as it was.
    if (emptyFolders_->checkedId() >= 0) {
        operation.flags = WithEmptyFolderMode(operation.flags, emptyFolders_->checkedId());
    }
}

// ---------------------------------------------------------- Copy and Move

BindTransferDialog::BindTransferDialog(bool move, QWidget* parent)
    : BindDialogBase(move ? tr("Bind Kivo Move") : tr("Bind Kivo Copy"), move ? 175 : 146, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooser(layout);
    AddDestination(layout, move ? "movefolder" : "copyfolder");
    const ControlRegistry registry = [this](int id, QWidget* w) { AddControl(id, w); };
    overwrite_ = AddRadioGroup(layout, this, registry, tr("Overwrite Destination File"),
                               ID_BIND_OVERWRITE_ALWAYS, {"Always", "Never", "If Older"});
    skipIfMissing_ = new QCheckBox(tr("Skip if the destination file not exists."), this);
    layout->addWidget(skipIfMissing_);
    AddControl(ID_BIND_SKIP_IF_MISSING, skipIfMissing_);
    if (move) {
        emptyFolders_ =
            AddEmptyFoldersGroup(layout, this, registry, tr("Remove Empty Source Folders"));
    }
    AddButtons(layout);
}

void BindTransferDialog::FillFrom(const Operation& operation) {
    BindDialogBase::FillFrom(operation);
    destination()->setText(QString::fromStdString(operation.destination));
    Check(overwrite_, operation.overwriteMode);
    skipIfMissing_->setChecked(SkipIfMissing(operation.flags));
    if (emptyFolders_ != nullptr) Check(emptyFolders_, EmptyFolderModeOf(operation.flags));
}

void BindTransferDialog::ApplyTo(Operation& operation) const {
    BindDialogBase::ApplyTo(operation);
    operation.destination = TrimmedDestination();
    if (overwrite_->checkedId() >= 0) operation.overwriteMode = overwrite_->checkedId();
    if (emptyFolders_ != nullptr && emptyFolders_->checkedId() >= 0) {
        operation.flags = WithEmptyFolderMode(operation.flags, emptyFolders_->checkedId());
    }
    operation.flags = WithSkipIfMissing(operation.flags, skipIfMissing_->isChecked());
}

void BindTransferDialog::Refresh() {
    BindDialogBase::Refresh();
    if (TrimmedDestination().empty()) button(ID_BIND_OK)->setEnabled(false);
}

bool BindTransferDialog::Confirm() { return ConfirmDestination(); }

// -------------------------------------------------------------------- Zip

BindZipDialog::BindZipDialog(QWidget* parent) : BindDialogBase(tr("Bind Kivo Zip"), 154, parent) {
    auto* layout = new QVBoxLayout(this);
    AddChooser(layout);
    AddDestination(layout, "zipfolder");

    layout->addWidget(new QLabel(tr("File Name:"), this));
    auto* names = new QGridLayout;
    nameChoice_ = new QButtonGroup(this);
    const struct {
        int choiceId;
        int boxId;
        const char* text;
        QLineEdit** box;
    } rows[] = {{ID_BIND_FIXED_NAME_CHOICE, ID_BIND_FIXED_NAME, "Fixed File Name:", &fixedName_},
                {ID_BIND_PREFIX_CHOICE, ID_BIND_PREFIX, "DateTime with Prefix:", &prefix_}};
    int index = 0;
    for (const auto& row : rows) {
        auto* choice = new QRadioButton(tr(row.text), this);
        auto* box = new QLineEdit(this);
        box->setMaxLength(kZipNameMaxLength);
        // The radio button before the box is its label; the box carries the
        // same words without the colon so the two are told apart.
        box->setAccessibleName(tr(row.text).chopped(1));
        nameChoice_->addButton(choice, index);
        names->addWidget(choice, index, 0);
        names->addWidget(box, index, 1);
        AddControl(row.choiceId, choice);
        AddControl(row.boxId, box);
        *row.box = box;
        // A name typed into a box picks that box; blanking it leaves the
        // choice alone.
        connect(box, &QLineEdit::textChanged, this, [this, choice](const QString& text) {
            if (!Trim(text.toStdString()).empty()) choice->setChecked(true);
            QueueRefresh();
        });
        ++index;
    }
    nameChoice_->button(0)->setChecked(true);
    connect(nameChoice_, &QButtonGroup::idToggled, this, [this] { QueueRefresh(); });
    layout->addLayout(names);

    auto* passwordRow = new QHBoxLayout;
    auto* passwordLabel = new QLabel(tr("Encrypt with Password:"), this);
    password_ = new QLineEdit(this);  // shown as typed, never masked
    password_->setAccessibleName(tr("Encrypt with Password:"));
    passwordLabel->setBuddy(password_);
    passwordRow->addWidget(passwordLabel);
    passwordRow->addWidget(password_, 1);
    aes_ = new QCheckBox(tr("Use AES-256 encryption"), this);
    passwordRow->addWidget(aes_);
    layout->addLayout(passwordRow);
    AddControl(ID_BIND_PASSWORD, password_);
    AddControl(ID_BIND_AES, aes_);
    AddButtons(layout);
}

QLineEdit* BindZipDialog::chosenNameBox() const {
    return nameChoice_->checkedId() == 1 ? prefix_ : fixedName_;
}

void BindZipDialog::FillFrom(const Operation& operation) {
    BindDialogBase::FillFrom(operation);
    destination()->setText(QString::fromStdString(operation.destination));
    const bool byTime = operation.zipNameByTime != 0;
    QLineEdit* nameBox = byTime ? prefix_ : fixedName_;
    const QString name = QString::fromStdString(operation.zipName);
    // As with the passes: a longer stored name is shown whole.
    nameBox->setMaxLength(std::max(kZipNameMaxLength, static_cast<int>(name.size())));
    nameBox->setText(name);
    Check(nameChoice_, byTime ? 1 : 0);
    password_->setText(QString::fromStdString(operation.zipPassword));
    aes_->setChecked(ZipAes(operation.flags));
}

void BindZipDialog::ApplyTo(Operation& operation) const {
    BindDialogBase::ApplyTo(operation);
    operation.destination = TrimmedDestination();
    operation.zipNameByTime = nameChoice_->checkedId() == 1 ? 1 : 0;
    operation.zipName = Trim(chosenNameBox()->text().toStdString());
    operation.zipPassword = Trim(password_->text().toStdString());
    operation.flags = WithZipAes(operation.flags, aes_->isChecked());
}

void BindZipDialog::Refresh() {
    BindDialogBase::Refresh();
    if (TrimmedDestination().empty() || !IsUsableZipName(chosenNameBox()->text())) {
        button(ID_BIND_OK)->setEnabled(false);
    }
}

bool BindZipDialog::Confirm() {
    if (!ConfirmDestination()) return false;
    chosenNameBox()->setText(Trimmed(chosenNameBox()));
    password_->setText(Trimmed(password_));
    return true;
}

std::unique_ptr<BindDialogBase> MakeBindDialog(int kind, QWidget* parent) {
    switch (kind) {
        case OPERATION_DELETE: return std::make_unique<BindDeleteDialog>(parent);
        case OPERATION_COPY: return std::make_unique<BindTransferDialog>(false, parent);
        case OPERATION_MOVE: return std::make_unique<BindTransferDialog>(true, parent);
        case OPERATION_ZIP: return std::make_unique<BindZipDialog>(parent);
        default: return nullptr;
    }
}

}  // namespace kivo
