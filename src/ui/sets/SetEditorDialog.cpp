#include "ui/sets/SetEditorDialog.h"

#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "model/EntryDescription.h"
#include "model/EntryPath.h"
#include "model/SetName.h"
#include "model/StringTable.h"
#include "platform/Paths.h"
#include "ui/common/Accessibility.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/MessageBoxes.h"
#include "ui/sets/AddFoldersDialog.h"
#include "ui/sets/SetEditorTemplate.h"

namespace kivo {

using namespace set_editor;

namespace {

QString ShownPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string PathOf(const QString& shown) { return QFile::encodeName(shown).toStdString(); }

}  // namespace

std::optional<std::string> SetEditorDialog::EntryPathFor(const std::string& chosen) {
    const EntryPathResult result = StoredEntryPath(chosen);
    switch (result.problem) {
    case EntryPathProblem::None:
        // A ".." after a link leads elsewhere than the text suggests: say
        // which folder the set will name.
        if (result.stored != NormalizedPath(chosen)) {
            notes_ << QString::fromStdString(FormatText(IDS_STORED_AS, result.stored));
        }
        return result.stored;
    case EntryPathProblem::WholeFileSystem:
        notes_ << QString::fromStdString(LoadText(IDS_WHOLE_FILE_SYSTEM));
        return std::nullopt;
    case EntryPathProblem::NotFullPath:
        notes_ << QString::fromStdString(FormatText(IDS_NOTICE_NOT_FULL_PATH, chosen));
        return std::nullopt;
    case EntryPathProblem::Unreachable:
        break;
    }
    // The pickers only offer what exists; what vanished meanwhile is kept
    // as chosen, and a run passes it over as not found.
    return NormalizedPath(chosen);
}

void SetEditorDialog::ShowNotes() {
    if (notes_.isEmpty()) return;
    const QString text = notes_.join(QLatin1Char('\n'));
    notes_.clear();
    ShowInformation(this, text);
}

SetEditorDialog::SetEditorDialog(const FileSet* set, std::vector<std::string> namesInUse,
                                 bool nameEditable, const QString& newName, QWidget* parent)
    : QDialog(parent), namesInUse_(std::move(namesInUse)), nameEditable_(nameEditable) {
    setWindowTitle(QString::fromLatin1(kCaption));
    CreateControls();
    const QString name = set != nullptr ? QString::fromStdString(set->name) : newName;
    // Typing stops at the limit, but a longer name already stored (the
    // store takes any length) is shown whole: cutting it would rename the
    // set on OK without the user having touched the name.
    name_->setMaxLength(qMax(kNameLimit, static_cast<int>(name.size())));
    name_->setText(name);
    if (set != nullptr) {
        for (const auto& entry : set->entries) InsertEntry(entry->Clone());
    }
    SetBoxReadOnly(name_, !nameEditable_);
    ConnectCommands();
    RefreshButtons();
}

SetEditorDialog::~SetEditorDialog() = default;

void SetEditorDialog::CreateControls() {
    const DialogUnits units(font());
    setFixedSize(units.Size(kWidth, kHeight));
    QLabel* nameLabel = nullptr;
    for (const DialogControl& t : kControls) {
        QWidget* widget = nullptr;
        const QString text = QString::fromLatin1(t.text);
        switch (t.id) {
        case ID_NAME_LABEL:
            widget = nameLabel = new QLabel(text, this);
            break;
        case ID_NAME:
            widget = name_ = new QLineEdit(this);
            break;
        case ID_GROUP:
            widget = new QGroupBox(text, this);
            widget->lower();
            break;
        case ID_ENTRIES:
            entries_ = new QTreeWidget(this);
            entries_->setColumnCount(2);
            entries_->setHeaderLabels({QStringLiteral("Path"), QStringLiteral("Description")});
            entries_->setColumnWidth(0, kPathColumnWidth);
            entries_->setColumnWidth(1, kDescriptionColumnWidth);
            entries_->header()->setStretchLastSection(false);
            entries_->header()->setSectionsClickable(false);
            entries_->setRootIsDecorated(false);
            entries_->setItemsExpandable(false);
            entries_->setSelectionMode(QAbstractItemView::ExtendedSelection);
            entries_->setSelectionBehavior(QAbstractItemView::SelectRows);
            entries_->setEditTriggers(QAbstractItemView::NoEditTriggers);
            entries_->setTextElideMode(Qt::ElideMiddle);
            entries_->setUniformRowHeights(true);
            entries_->setAccessibleName(QStringLiteral("Files & Folders"));
            widget = entries_;
            break;
        default: {
            widget = MakeTemplateButton(this, text, t.id == ID_OK);
            break;
        }
        }
        widget->setGeometry(units.Rect(t.x, t.y, t.width, t.height));
        controls_[t.id] = widget;
    }
    nameLabel->setBuddy(name_);
}

void SetEditorDialog::ConnectCommands() {
    connect(button(ID_ADD_FILES), &QPushButton::clicked, this, &SetEditorDialog::AddFiles);
    connect(button(ID_ADD_FOLDERS), &QPushButton::clicked, this, &SetEditorDialog::AddFolders);
    connect(button(ID_PROPERTY), &QPushButton::clicked, this, &SetEditorDialog::EditSelectedEntry);
    connect(button(ID_REMOVE), &QPushButton::clicked, this, &SetEditorDialog::RemoveSelectedEntries);
    connect(button(ID_OK), &QPushButton::clicked, this, &SetEditorDialog::accept);
    connect(button(ID_CANCEL), &QPushButton::clicked, this, &SetEditorDialog::reject);
    connect(entries_, &QTreeWidget::itemDoubleClicked, this, &SetEditorDialog::EditSelectedEntry);
    connect(entries_, &QTreeWidget::itemSelectionChanged, this, &SetEditorDialog::QueueRefresh);
    connect(name_, &QLineEdit::textChanged, this, &SetEditorDialog::QueueRefresh);
}

QWidget* SetEditorDialog::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QPushButton* SetEditorDialog::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

void SetEditorDialog::QueueRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        RefreshButtons();
    });
}

bool SetEditorDialog::NameAcceptable() const {
    if (!nameEditable_) return true;
    const std::string name = Trim(name_->text().toStdString());
    if (name.empty()) return false;
    for (const std::string& used : namesInUse_) {
        if (SameSetName(name, used)) return false;
    }
    return true;
}

void SetEditorDialog::RefreshButtons() {
    const int selected = static_cast<int>(entries_->selectedItems().size());
    button(ID_PROPERTY)->setEnabled(selected == 1);
    button(ID_REMOVE)->setEnabled(selected >= 1);
    const bool acceptable = NameAcceptable();
    button(ID_OK)->setEnabled(!copies_.empty() && acceptable);
    // A name taken in another letter case looks free: say why OK is grey.
    QString why;
    if (!acceptable && nameEditable_) {
        const std::string name = Trim(name_->text().toStdString());
        for (const std::string& used : namesInUse_) {
            if (!name.empty() && SameSetName(name, used)) {
                why = tr("A set named \"%1\" already exists.").arg(QString::fromStdString(used));
                break;
            }
        }
    }
    button(ID_OK)->setToolTip(why);
}

int SetEditorDialog::FirstSelectedRow() const {
    for (int row = 0; row < entries_->topLevelItemCount(); ++row) {
        if (entries_->topLevelItem(row)->isSelected()) return row;
    }
    return -1;
}

void SetEditorDialog::InsertEntry(std::unique_ptr<SetEntry> entry, int row) {
    if (row < 0 || row > static_cast<int>(copies_.size())) row = static_cast<int>(copies_.size());
    copies_.insert(copies_.begin() + row, std::move(entry));
    entries_->insertTopLevelItem(row, new QTreeWidgetItem());
    ShowEntry(row);
}

void SetEditorDialog::ShowEntry(int row) {
    static const QFileIconProvider icons;
    const SetEntry& entry = *copies_[static_cast<std::size_t>(row)];
    QTreeWidgetItem* item = entries_->topLevelItem(row);
    const QString path = ShownPath(entry.path);
    item->setText(0, path);
    // Long paths are cut in the middle, where they differ least; the whole
    // path shows on hovering.
    item->setToolTip(0, path);
    item->setText(1, QString::fromStdString(DescribeEntry(entry)));
    item->setIcon(0, icons.icon(QFileInfo(path)));
}

void SetEditorDialog::AddFiles() {
    const QStringList files = ChooseOpenFiles(this, QString(), QString());
    for (const QString& file : files) {
        const std::optional<std::string> path = EntryPathFor(PathOf(file));
        if (!path) continue;
        auto entry = std::make_unique<SetEntry>();
        entry->path = *path;
        InsertEntry(std::move(entry));
    }
    QueueRefresh();
    ShowNotes();
}

void SetEditorDialog::AddFolders() { OpenAddFolders(SetEntry(), -1); }

void SetEditorDialog::OpenAddFolders(const SetEntry& start, int editedRow) {
    if (addFolders_ != nullptr) return;
    FolderOptions options;
    options.folder = start.path;
    options.includeSubfolders = start.includeSubfolders;
    options.patterns = start.patterns;
    options.filterMode = start.filterMode;
    addFolders_ = new AddFoldersDialog(options, this);
    addFolders_->setAttribute(Qt::WA_DeleteOnClose);
    AddFoldersDialog* dialog = addFolders_;
    connect(dialog, &QDialog::accepted, this, [this, dialog, editedRow] { TakeAddedFolders(*dialog, editedRow); });
    connect(addFolders_, &QDialog::finished, this, [this] {
        addFolders_ = nullptr;
        QueueRefresh();
    });
    addFolders_->open();
}

void SetEditorDialog::TakeAddedFolders(const AddFoldersDialog& dialog, int editedRow) {
    int next = editedRow;  // where the next folder goes; -1 appends
    for (const std::string& folder : dialog.folders()) {
        const std::optional<std::string> path = EntryPathFor(folder);
        if (!path) continue;
        auto entry = std::make_unique<SetEntry>();
        entry->path = *path;
        entry->includeSubfolders = dialog.includeSubfolders();
        entry->filterMode = dialog.filterMode();
        entry->patterns = dialog.patterns();
        if (next >= 0 && next == editedRow) {
            // The edited entry takes the first folder; the others follow it.
            copies_[static_cast<std::size_t>(next)] = std::move(entry);
            ShowEntry(next);
            ++next;
        } else {
            InsertEntry(std::move(entry), next);
            if (next >= 0) ++next;
        }
    }
    QueueRefresh();
    ShowNotes();
}

void SetEditorDialog::EditSelectedEntry() {
    const int row = FirstSelectedRow();
    if (row < 0) return;
    SetEntry& entry = *copies_[static_cast<std::size_t>(row)];
    switch (ClassifyEntry(entry.path)) {
    case EntryKind::Folder:
        OpenAddFolders(entry, row);
        break;
    case EntryKind::File: {
        const QString file = ChooseOpenFile(this, QString(), ShownPath(entry.path), QString());
        const std::optional<std::string> path =
            file.isEmpty() ? std::nullopt : EntryPathFor(PathOf(file));
        if (path) {
            entry.path = *path;
            ShowEntry(row);
        }
        ShowNotes();
        break;
    }
    case EntryKind::Missing:
        break;
    }
    QueueRefresh();
}

void SetEditorDialog::RemoveSelectedEntries() {
    for (int row = entries_->topLevelItemCount() - 1; row >= 0; --row) {
        if (!entries_->topLevelItem(row)->isSelected()) continue;
        delete entries_->takeTopLevelItem(row);
        copies_.erase(copies_.begin() + row);
    }
    QueueRefresh();
}

void SetEditorDialog::accept() {
    // OK's enabled state is the gate, also for Enter.
    RefreshButtons();
    if (button(ID_OK)->isEnabled()) QDialog::accept();
}

void SetEditorDialog::ApplyTo(FileSet& set) {
    set.entries.clear();
    set.name = Trim(name_->text().toStdString());
    set.entries = std::move(copies_);
    copies_.clear();
    entries_->clear();
}

}  // namespace kivo
