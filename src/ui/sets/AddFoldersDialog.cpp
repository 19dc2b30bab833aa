#include "ui/sets/AddFoldersDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "model/PatternList.h"
#include "scan/Patterns.h"
#include "settings/Settings.h"
#include "ui/common/DialogUnits.h"
#include "ui/sets/AddFoldersTemplate.h"
#include "ui/sets/FilterBuilderDialog.h"
#include "ui/sets/FolderTree.h"
#include "ui/sets/SubFolderList.h"

namespace kivo {

using namespace add_folders;

namespace {

constexpr char kFilterTypeSetting[] = "filtertype";

}  // namespace

AddFoldersDialog::AddFoldersDialog(const FolderOptions& start, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    CreateControls();

    includeSubfoldersBox_->setChecked(start.includeSubfolders != 0);
    int type = FILTER_ALL;
    const std::string text = JoinPatterns(start.patterns);
    filter_->setPlainText(QString::fromStdString(text));
    if (!text.empty()) type = start.filterMode != 0 ? FILTER_EXCLUDE : FILTER_INCLUDE;
    if (start.folder.empty()) {
        const int stored = GetSettingInt(kFilterTypeSetting, FILTER_ALL);
        type = (stored >= FILTER_ALL && stored <= FILTER_EXCLUDE) ? stored : FILTER_ALL;
    }
    typeButtons_[type]->setChecked(true);

    ConnectCommands();
    tree_->Fill(FolderTree::StartingFolder(start.folder));
    RefreshStates();
    subFolders_->setFocus();
}

void AddFoldersDialog::CreateControls() {
    const DialogUnits units(font());
    setFixedSize(units.Size(kWidth, kHeight));
    auto* group = new QButtonGroup(this);
    for (const DialogControl& t : kControls) {
        QWidget* widget = nullptr;
        const QString text = QString::fromLatin1(t.text);
        switch (t.id) {
        case ID_FOLDER_TREE:
            widget = tree_ = new FolderTree(this);
            tree_->setAccessibleName(QStringLiteral("Folders"));
            break;
        case ID_SUBFOLDERS:
            widget = subFolders_ = new SubFolderList(this);
            subFolders_->setAccessibleName(QStringLiteral("Sub-folders"));
            break;
        case ID_INCLUDE_SUBFOLDERS:
            widget = includeSubfoldersBox_ = new QCheckBox(text, this);
            break;
        case ID_FILTER_GROUP:
            widget = new QGroupBox(text, this);
            widget->lower();
            break;
        case ID_ALL_FILES:
        case ID_INCLUDE_LISTED:
        case ID_EXCLUDE_LISTED: {
            const int type = t.id - ID_ALL_FILES;
            typeButtons_[type] = new QRadioButton(text, this);
            group->addButton(typeButtons_[type], type);
            widget = typeButtons_[type];
            break;
        }
        case ID_FILTER_TEXT: {
            filter_ = new QPlainTextEdit(this);
            QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            fixed.setPixelSize(kFilterFontPixels);
            fixed.setWeight(QFont::Normal);
            fixed.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
            filter_->setFont(fixed);
            filter_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            filter_->setTabChangesFocus(true);
            filter_->setAccessibleName(QStringLiteral("Filter"));
            widget = filter_;
            break;
        }
        case ID_HINT:
            widget = new QLabel(text, this);
            break;
        default: {
            widget = MakeTemplateButton(this, text, t.id == ID_OK);
            break;
        }
        }
        widget->setGeometry(units.Rect(t.x, t.y, t.width, t.height));
        controls_[t.id] = widget;
    }
}

void AddFoldersDialog::ConnectCommands() {
    connect(button(ID_OK), &QPushButton::clicked, this, &AddFoldersDialog::accept);
    connect(button(ID_CANCEL), &QPushButton::clicked, this, &AddFoldersDialog::reject);
    connect(button(ID_SCAN_TYPES), &QPushButton::clicked, this, &AddFoldersDialog::ScanFileTypes);
    connect(tree_, &FolderTree::folderSelected, this, [this] {
        subFolders_->Fill(tree_->SelectedFolder());
        QueueRefresh();
    });
    connect(subFolders_, &QTreeWidget::itemSelectionChanged, this, [this] { QueueRefresh(); });
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] { QueueRefresh(); });
    connect(includeSubfoldersBox_, &QCheckBox::toggled, this, [this] { QueueRefresh(); });
    for (QRadioButton* radio : typeButtons_) {
        connect(radio, &QRadioButton::toggled, this, [this] { QueueRefresh(); });
    }
    connect(filter_, &QPlainTextEdit::textChanged, this, [this] { QueueRefresh(); });
}

QWidget* AddFoldersDialog::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QPushButton* AddFoldersDialog::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

QRadioButton* AddFoldersDialog::filterTypeButton(int type) const {
    return (type >= FILTER_ALL && type <= FILTER_EXCLUDE) ? typeButtons_[type] : nullptr;
}

int AddFoldersDialog::FilterType() const {
    for (int type = FILTER_ALL; type <= FILTER_EXCLUDE; ++type) {
        if (typeButtons_[type]->isChecked()) return type;
    }
    return FILTER_ALL;
}

bool AddFoldersDialog::SomethingChosen() const {
    return !subFolders_->selectedItems().isEmpty() || !tree_->SelectedFolder().empty();
}

std::vector<std::string> AddFoldersDialog::ChosenFolders() const {
    std::vector<std::string> folders = subFolders_->SelectedPaths();
    if (folders.empty()) {
        const std::string folder = tree_->SelectedFolder();
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

void AddFoldersDialog::QueueRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        RefreshStates();
    });
}

void AddFoldersDialog::RefreshStates() {
    const bool chosen = SomethingChosen();
    if (FilterType() == FILTER_ALL) {
        filter_->setReadOnly(true);
        button(ID_SCAN_TYPES)->setEnabled(false);
        button(ID_OK)->setEnabled(chosen);
        return;
    }
    filter_->setReadOnly(false);
    button(ID_SCAN_TYPES)->setEnabled(chosen);
    button(ID_OK)->setEnabled(chosen && !ParsePatterns(filter_->toPlainText().toStdString()).empty());
}

void AddFoldersDialog::ScanFileTypes() {
    if (builder_ != nullptr) return;
    builder_ = new FilterBuilderDialog(ChosenFolders(), includeSubfoldersBox_->isChecked(), this);
    builder_->setAttribute(Qt::WA_DeleteOnClose);
    FilterBuilderDialog* builder = builder_;
    connect(builder, &QDialog::accepted, this, [this, builder] {
        filter_->setPlainText(QString::fromStdString(JoinPatterns(builder->patterns())));
        QueueRefresh();
    });
    connect(builder_, &QDialog::finished, this, [this] { builder_ = nullptr; });
    builder_->open();
}

void AddFoldersDialog::accept() {
    // The button is the gate; a stray Enter must not get past it.
    RefreshStates();
    if (!button(ID_OK)->isEnabled()) return;
    const int type = FilterType();
    includeSubfolders_ = includeSubfoldersBox_->isChecked() ? 1 : 0;
    patterns_.clear();
    filterMode_ = 1;
    if (type != FILTER_ALL) {
        ParsePatterns(filter_->toPlainText().toStdString(), patterns_);
        filterMode_ = type == FILTER_EXCLUDE ? 1 : 0;
    }
    folders_ = ChosenFolders();
    PutSettingInt(kFilterTypeSetting, type);
    QDialog::accept();
}

void AddFoldersDialog::done(int result) {
    tree_->RememberFolder();
    QDialog::done(result);
}

}  // namespace kivo
