#include "ui/zipview/ZipViewer.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "model/StringTable.h"
#include "settings/Settings.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/Texts.h"
#include "ui/common/WaitCursor.h"
#include "ui/zipview/ExtractDialog.h"
#include "ui/zipview/ZipEntryModel.h"

namespace kivo {

namespace {

constexpr int kStartDelayMs = 100;
// The item's folder path inside the archive; empty for the archive item.
constexpr int kFolderPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

bool IsExistingFile(const std::string& path) {
    return !path.empty() && QFileInfo(ToQ(path)).isFile();
}

void SortChildrenByName(QTreeWidgetItem* item) {
    QList<QTreeWidgetItem*> children = item->takeChildren();
    std::stable_sort(children.begin(), children.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return a->text(0).compare(b->text(0), Qt::CaseInsensitive) < 0;
    });
    item->addChildren(children);
}

}  // namespace

ZipViewer::ZipViewer(DialogLauncher& launcher, QWidget* parent, const std::string& archivePath)
    : QDialog(parent), launcher_(launcher), archivePath_(archivePath) {
    setWindowTitle(tr("Zip File"));
    auto* layout = new QVBoxLayout(this);
    auto* views = new QHBoxLayout;
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(tr("Folders"));
    list_ = new QTreeView(this);
    list_->setAccessibleName(tr("Files"));
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new ZipEntryModel(this);
    list_->setModel(model_);
    list_->header()->setSectionsClickable(true);
    list_->header()->setStretchLastSection(false);
    const int widths[] = {150, 100, 80, 120};
    for (int column = 0; column < ZipEntryModel::ColumnCount; ++column) {
        list_->setColumnWidth(column, widths[column]);
    }
    // The viewport's own resize carries the new client width.
    list_->viewport()->installEventFilter(this);
    views->addWidget(tree_, 1);
    views->addWidget(list_, 2);
    layout->addLayout(views, 1);

    auto* buttons = new QHBoxLayout;
    auto add = [&](const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    QPushButton* open = add(tr("Open Zip File..."));
    QPushButton* extractAll = add(tr("Extract All..."));
    extractSelected_ = add(tr("Extract Seleted..."));
    selectAll_ = add(tr("Select All"));
    reverseSelect_ = add(tr("Reverse Select"));
    buttons->addStretch(1);
    QPushButton* close = add(tr("Close"));
    layout->addLayout(buttons);
    resize(640, 400);

    connect(open, &QPushButton::clicked, this, &ZipViewer::OpenArchive);
    connect(extractAll, &QPushButton::clicked, this, &ZipViewer::ExtractAll);
    connect(extractSelected_, &QPushButton::clicked, this, &ZipViewer::ExtractSelected);
    connect(selectAll_, &QPushButton::clicked, this, &ZipViewer::SelectAll);
    connect(reverseSelect_, &QPushButton::clicked, this, &ZipViewer::ReverseSelect);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(tree_, &QTreeWidget::itemExpanded, this, &ZipViewer::FillChildren);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &ZipViewer::TreeSelectionChanged);
    connect(list_->header(), &QHeaderView::sectionClicked, this, &ZipViewer::SortByColumn);
    connect(list_, &QTreeView::doubleClicked, this, &ZipViewer::Activated);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ZipViewer::RefreshButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &ZipViewer::RefreshButtons);
    RefreshButtons();
}

ZipViewer::~ZipViewer() {
    // An extraction reads the directory: it must end before the directory
    // goes, and child widgets would only go after it.
    for (ExtractDialog* dialog : findChildren<ExtractDialog*>()) delete dialog;
    // The list's rows point into the directory, which goes first as well.
    list_->viewport()->removeEventFilter(this);
    model_->Clear();
}

QPushButton* ZipViewer::button(const QString& text) const {
    for (QPushButton* candidate : findChildren<QPushButton*>()) {
        if (candidate->text() == text) return candidate;
    }
    return nullptr;
}

void ZipViewer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // The window is on screen before the chooser or the loading starts.
    QTimer::singleShot(kStartDelayMs, this, &ZipViewer::OpenFirst);
}

void ZipViewer::OpenFirst() {
    if (IsExistingFile(archivePath_)) {
        Load(archivePath_);
    } else {
        OpenArchive();
    }
}

void ZipViewer::OpenArchive() {
    const QString chosen = ChooseOpenFile(this, tr("Open Zip File"), ToQ(GetSetting("zipfilepath2")),
                                          tr("Zip Files (*.zip)"));
    if (chosen.isEmpty()) {
        if (!IsExistingFile(archivePath_)) reject();
        return;
    }
    archivePath_ = chosen.toStdString();
    PutSetting("zipfilepath2", archivePath_);
    Load(archivePath_);
}

void ZipViewer::Load(const std::string& path) {
    WaitCursor wait;
    archivePath_ = path;
    tree_->clear();
    model_->Clear();
    currentFolder_.clear();
    if (directory_.Load(path) == 0) {
        tree_->show();
        ShowInformation(this, UiText(IDS_CANNOT_OPEN_ZIP));
        return;
    }
    if (!directory_.HasFolders()) {
        // The list takes the tree's room.
        tree_->hide();
        ShowFolder(std::string());
        return;
    }
    tree_->show();
    // The archive itself is the top item, so files at its top level can be
    // seen and chosen like those of any folder.
    auto* top = new QTreeWidgetItem(tree_, QStringList{QFileInfo(ToQ(path)).fileName()});
    top->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    top->setData(0, kFolderPathRole, QString());
    top->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    FillChildren(top);
    top->setExpanded(true);
    tree_->setCurrentItem(top);
}

void ZipViewer::FillChildren(QTreeWidgetItem* item) {
    if (item->data(0, kFilledRole).toBool()) return;
    item->setData(0, kFilledRole, true);
    const std::string path = item->data(0, kFolderPathRole).toString().toStdString();
    for (const std::string& name : directory_.ListSubfolders(path)) {
        auto* child = new QTreeWidgetItem(item, QStringList{ToQ(name)});
        child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        child->setData(0, kFolderPathRole, ToQ(path.empty() ? name : path + "/" + name));
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    SortChildrenByName(item);
    if (item->childCount() == 0) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
}

void ZipViewer::TreeSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty()) {
        currentFolder_.clear();
        model_->Clear();
        return;
    }
    ShowFolder(selected.front()->data(0, kFolderPathRole).toString().toStdString());
}

void ZipViewer::ShowFolder(const std::string& folderPath) {
    currentFolder_ = folderPath;
    model_->SetEntries(directory_.CollectEntries(folderPath, false));
}

void ZipViewer::SortByColumn(int column) {
    if (model_->rowCount() < 2) return;
    WaitCursor wait;
    descending_ = !descending_;
    model_->SortBy(column, descending_);
}

void ZipViewer::Activated(const QModelIndex& index) {
    const zip::ZipEntry* entry = model_->entryAt(index.row());
    if (entry == nullptr) return;
    if (!entry->isFolder) {
        ExtractSelected();
        return;
    }
    QTreeWidgetItem* current = tree_->currentItem();
    if (current == nullptr) return;
    FillChildren(current);
    current->setExpanded(true);
    const QString name = ToQ(entry->displayName);
    for (int i = 0; i < current->childCount(); ++i) {
        if (current->child(i)->text(0).compare(name, Qt::CaseInsensitive) == 0) {
            tree_->setCurrentItem(current->child(i));
            return;
        }
    }
}

void ZipViewer::SelectAll() { list_->selectAll(); }

void ZipViewer::ReverseSelect() {
    const int rows = model_->rowCount();
    if (rows == 0) return;
    const QItemSelection all(model_->index(0, 0),
                             model_->index(rows - 1, ZipEntryModel::ColumnCount - 1));
    list_->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void ZipViewer::ExtractAll() {
    std::vector<const zip::ZipEntry*> entries;
    for (const auto& entry : directory_.Entries()) entries.push_back(entry.get());
    if (!entries.empty()) OpenExtractDialog(std::move(entries), std::string());
}

void ZipViewer::ExtractSelected() {
    QModelIndexList rows = list_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<const zip::ZipEntry*> entries;
    for (const QModelIndex& index : rows) {
        const zip::ZipEntry* entry = model_->entryAt(index.row());
        if (entry == nullptr) continue;
        if (!entry->isFolder) {
            entries.push_back(entry);
            continue;
        }
        // A folder of the top level is its bare name; its files create it.
        std::string path = currentFolder_.empty() ? entry->displayName
                                                  : currentFolder_ + "/" + entry->displayName;
        for (std::size_t at = path.find("//"); at != std::string::npos; at = path.find("//")) {
            path.erase(at, 1);
        }
        for (zip::ZipEntry* inside : directory_.CollectEntries(path, true)) {
            entries.push_back(inside);
        }
    }
    if (!entries.empty()) OpenExtractDialog(std::move(entries), currentFolder_);
}

void ZipViewer::OpenExtractDialog(std::vector<const zip::ZipEntry*> entries,
                                  const std::string& prefix) {
    auto* dialog = new ExtractDialog(directory_, std::move(entries), prefix, launcher_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void ZipViewer::RefreshButtons() {
    const bool hasItems = model_->rowCount() > 0;
    selectAll_->setEnabled(hasItems);
    reverseSelect_->setEnabled(hasItems);
    extractSelected_->setEnabled(list_->selectionModel()->hasSelection());
}

bool ZipViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        const int client = static_cast<QResizeEvent*>(event)->size().width();
        list_->setColumnWidth(ZipEntryModel::ColName, std::max(0, client - 320));
        list_->setColumnWidth(ZipEntryModel::ColType, 120);
        list_->setColumnWidth(ZipEntryModel::ColSize, 80);
        list_->setColumnWidth(ZipEntryModel::ColTime, 120);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kivo
